#include "host/TrayCheck.h"

#include "host/TrayIcon.h"

void CheckTrayIconPresent(CTrayIcon& icon)
{
    if (!icon.IsEnabled())
        return;
    if (icon.GetIconRect() == 0)
        icon.Show(FALSE);
    icon.Update();
}
