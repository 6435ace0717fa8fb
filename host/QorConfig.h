// The host's settings dialog: a tree of the loaded plug-ins by category on the left and the
// selected plug-in's own page (from its DLL_ShowConfig) on the right; "Module info" is the
// host's own page listing every loaded module, where plug-ins are switched on and off. Also
// the host's main settings (dialog position and plug-in load order). Everything runs on the
// host's GUI thread; the state lives in this module's globals.
#pragma once

#include <windows.h>

class CResourceAccess;
class CRegIniAccess;
class CQorDlgColors;

// Resource ids of the dialogs (see resources/host/HostResource.h).
constexpr int kConfigDialogId = 132;
constexpr int kModuleInfoDialogId = 133;
constexpr int kModuleImagesBitmapId = 136;

// List images of a module row: CanDisable and switched on/off.
enum ConfigModuleImage {
    kImageFixedOn = 0,     // cannot be disabled, switched on
    kImageOn = 1,          // can be disabled, switched on
    kImageOff = 2,         // can be disabled, switched off
    kImageFixedOff = 3,    // cannot be disabled, switched off
};

// The behaviour lives in the free functions below; the object only marks the one dialog.
class CQorConfig {
public:
    CQorConfig() = default;
    virtual ~CQorConfig() = default;
};
extern CQorConfig g_QorConfig;

// What the dialog needs of the host. The texts and the scheme index are read where they
// point each time they are used, so the host passes its own globals once (this may happen
// during static initialisation). Any pointer may be null: no instance = the program's
// module, no host window = g_hWndParent, no product name = the program's version block, no
// language library = built-in texts.
struct ConfigHostInfo {
    HINSTANCE instance;          // the host's module: dialogs 132/133, bitmap 136, icon 128
    HWND hostWindow;             // receives WM_QOR_CONFIGCHANGED and QOR_BUSMSG_APPLYALL
    const wchar_t* productName;  // the dialog title's first part
    const wchar_t* helpFile;     // HTML Help file name, looked up beside the program
    const wchar_t* helpLink;     // used when the help file is missing
    const wchar_t* fontName;     // UsedFont; empty keeps the dialog font
    const DWORD* schemeIndex;    // SchemeIndex
    CResourceAccess* resources;
};
void SetConfigHostInfo(const ConfigHostInfo& info);

// Main settings (section "General"): Position, UseLoadSortRule, PluginLoadSortRule.
extern RECT g_rcConfigPosition;
extern int g_nUseLoadSortRule;
extern wchar_t g_szPluginLoadSortRule[1024];

// Reads the main settings, hands the load order to the plug-in manager and validates the
// position.
void LoadMainConfig(CRegIniAccess* store);
// Writes them, unless the host runs as a service.
void SaveMainConfig(CRegIniAccess* store, BOOL serviceMode);
// Keeps the rectangle when it is a real area lying inside one monitor; else (0, 0, 640, 450).
void ValidateConfigPosition(RECT* position);

// Opens the dialog at `page` (a module handle, a plug-in ID, or 0 / the host instance for
// "Module info"); brings an open dialog to the front instead.
void ShowConfig(DWORD_PTR page);
// Closes the page, then the dialog (each with IDOK).
void CloseConfig();
// Closes the dialog without asking about pending changes: call before any plug-in is
// unloaded, since the open page's code and the module handles in tree and list would dangle.
void CloseConfigBeforeUnload();
// The program ends at once: closes the page and keeps the dialog's position, without the
// pending-change question (an end must not wait on an answer; an unapplied change is
// dropped). The frame is left to the end of the process that follows: destroying a shown
// top-level window can hold the GUI thread on the window system (Wine without a window
// manager waits two seconds for it).
void ReleaseConfigForEnd();
void UpdateConfigButtons();
// Handles WM_QOR_CONFIGCHANGED at the host window: a change is pending.
void SetConfigChangePending();
BOOL IsConfigChangePending();
// DLL_SetDisableState of every plug-in row whose image says it can be disabled.
void ApplyDisableStates();
void ShowHelp(DWORD topic, DWORD toPage);
// Fills the module list: the " Main program" row, then the six categories.
void FillModuleList(HWND list);
// Fills the open "Module info" list again (the loaded modules changed).
void FillModuleList();
// Re-reads the scheme and font and redraws an open dialog (the host's scheme changed).
void RefreshConfigLook();
// Appends a file of the program folder as the row "." + file name, when it exists.
void AppendProgramFileToList(HWND list, const wchar_t* fileName);

// The host's message loop hands WM_KEYUP here; TRUE when it moved the focus or pressed a
// button (the message is then done).
BOOL HandleConfigKeyUp(const MSG* msg);

INT_PTR CALLBACK MainConfigDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ModuleInfoDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ModuleListSubclassProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam);

// The open windows (null when closed); for the host's message loop and tests.
HWND GetConfigDialog();
HWND GetConfigPage();
HWND GetConfigTree();
HWND GetConfigModuleList();
// The selected module: a plug-in's handle, the host instance for "Module info", 0 otherwise.
HMODULE GetConfigSelectedModule();

// Internal to the dialog's files.
namespace qorconfig {
const wchar_t* Text(UINT id, const wchar_t* defaultText);  // copy before the next call
const ConfigHostInfo& Host();
HINSTANCE HostInstance();
HWND HostWindow();
extern HWND g_hWndList;
extern HWND g_hWndPage;
CQorDlgColors& Colors();
void ApplyLook(HWND window);
INT_PTR ColorMessage(UINT message, WPARAM wParam);
// WM_QOR_CONFIGCHANGED to the host window (a row's image changed).
void PostConfigChanged();
}  // namespace qorconfig
