// The business-card plug-in's module-wide state: one instance of the plug-in per process.
// The host's window thread runs the bus calls, the settings page and the popup; the display
// thread only reads and writes the plain 32-bit popup values below.
#pragma once

#include "bus/CommonBusTypes.h"
#include "foundation/QorDlgColors.h"
#include "foundation/QorDlgFonts.h"
#include "foundation/RegIniAccess.h"
#include "foundation/ResourceAccess.h"
#include "plugin_support/CallStruct.h"

#include <windows.h>

constexpr DWORD kVisettePluginId = 507;

struct VisetteSettings {
    DWORD UseDuration = 1;
    DWORD UsePictures = 0;
    DWORD Duration = 10;      // seconds; a stored 0 reads as 10
    DWORD ScaleIndex = 0;
    DWORD UsedPosition = 0;   // 0..3, see CalculatePopupPosition
    DWORD PreferredMonitor = 0;
};

extern HINSTANCE g_hInstance;
extern VisetteSettings g_Settings;
extern DWORD g_dwScalePercent;
extern DWORD g_dwPopupWidth;

extern HWND g_hConfigPage;
extern BOOL g_bPageFilled;

// The scheme index, font and language of the last scheme message: g_dwSchemeIndex,
// g_szUsedFont and g_szUsedLanguage of bus/CommonBusTypes.h.

extern CRegIniAccess g_RegIni;
extern CResourceAccess g_Resource;
extern CQorDlgColors g_DlgColors;
extern CQorDlgFonts g_DlgFonts;

// Popup state shared with the display thread.
extern CQorCallStruct g_CallStruct;
extern volatile LONG g_dwRestLoopCount;
extern volatile LONG g_bPopupClosed;
extern CRITICAL_SECTION g_csPopup;

// Initialises what must exist before any export is called (once per process).
void InitModuleState(HINSTANCE instance);

// Settings in section "General" of the module's store.
void DoReadSettings();
void DoSaveSettings();

// The common part of every bus type (26, 34, 51, 53, 76).
void DoBusProcessCommon(DWORD type, const wchar_t* text);
// The whole bus handling of DLL_PluginBusProcess.
DWORD VisetteBusProcess(DWORD type, const wchar_t* text);

// Start and stop (DLL_PluginAfterLoad / DLL_PluginBeforeClose); stop is idempotent.
void VisetteStart();
void VisetteStop();
