// Minimal page state for builds without the settings page: the login and connection code
// refresh the page through these; with no page there is nothing to refresh.
#include "plugins/telephony_orkane/Settings.h"

HWND g_hWndPage;
int g_bControlsReady = 1;

void DoEnableControls()
{
}

void FillDeviceCombo()
{
}
