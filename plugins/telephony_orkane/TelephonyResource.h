// Resource identifiers of the telephony plug-in's own module.
#pragma once

#define IDD_TELEPHONY_CONFIG 101
#define IDC_FRAME_NETWORK 1010
#define IDC_LABEL_URL 1001
#define IDC_EDIT_URL 1011
#define IDC_LABEL_USER 1002
#define IDC_EDIT_USER 1012
#define IDC_LABEL_PASSWORD 1003
#define IDC_EDIT_PASSWORD 1013
#define IDC_LABEL_DEVICE 1004
#define IDC_COMBO_DEVICE 1015
