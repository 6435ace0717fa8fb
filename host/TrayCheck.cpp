#include "host/TrayCheck.h"

#include "host/TrayIcon.h"

void CheckTrayIconPresent(CTrayIcon& icon)
{
    if (!icon.IsEnabled())
        return;
    LONG rect = icon.GetIconRect();
    if (rect == 0) {
        icon.Show(FALSE);
        icon.Update();
    } else if (!icon.Update() && rect < 0) {
        // The shell cannot locate icons: a refresh it refuses is the sign of a lost icon.
        icon.Show(FALSE);
        icon.Update();
    }
}
