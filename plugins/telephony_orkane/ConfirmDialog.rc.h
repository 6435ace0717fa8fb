// Resource ids of the two-factor confirmation dialog (ConfirmDialog.rc).
#pragma once

#define IDD_CONFIRM_LOGIN 104
#define IDC_CONFIRM_TEXT 1040
