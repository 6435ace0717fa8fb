// Resource ids of the host program.
#pragma once

#define IDI_HOST_MAIN 128
#define IDI_TRAY_RUNNING 129
#define IDI_TRAY_STOPPED 130
#define IDM_TRAY_MENU 131
#define IDD_ABOUT 134
#define IDI_TRAY_PAUSED 137

#define IDC_ABOUT_VERSION 1004
#define IDC_ABOUT_PRODUCT 1013
#define IDC_ABOUT_LINK 1015
