// Resource identifiers of the business-card plug-in (shared by the .rc file and the code).
#pragma once

#define IDD_VISETTE_CONFIG 101
#define IDC_FRAME_DURATION 1001
#define IDC_FRAME_POSITION 1003
#define IDC_LABEL_MONITOR 1004
#define IDC_COMBO_MONITOR 1005
#define IDC_LABEL_POSITION 1006
#define IDC_COMBO_POSITION 1007
#define IDC_FRAME_PICTURES 1008
#define IDC_CHECK_PICTURES 1009
#define IDC_CHECK_DURATION 1010
#define IDC_EDIT_DURATION 1011
#define IDC_LABEL_SCALE 1012
#define IDC_COMBO_SCALE 1013
