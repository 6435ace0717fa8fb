// The monitor's check of the tray icon, run on the GUI thread: an icon the shell has lost
// (after the shell was restarted) is added again; a switched-off icon is left alone.
#pragma once

class CTrayIcon;

void CheckTrayIconPresent(CTrayIcon& icon);
