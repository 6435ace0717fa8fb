// The exports the host binds by name (the generated module-definition file gives the plain names).
#include "bus/CommonBusTypes.h"
#include "bus/LogLine.h"
#include "bus/PluginContract.h"
#include "foundation/Format.h"
#include "foundation/PathTools.h"
#include "foundation/WindowSearch.h"
#include "plugins/info_visette/Popup.h"
#include "plugins/info_visette/SettingsPage.h"
#include "plugins/info_visette/VisetteState.h"

#include <cwchar>
#include <cwctype>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        InitModuleState(instance);
        // COM is set up by the thread that shows the popup, never here under the loader lock.
        g_hWndParent = FindOwnHostWindow();
        DoReadSettings();
    } else if (reason == DLL_PROCESS_DETACH && !reserved && IsInfoLoopThreadRunning()) {
        // Unloaded without DLL_PluginBeforeClose (a host fault): better an ended thread than
        // one that wakes up in unmapped code.
        LogLine(0, L"Func.DllMain.Error.Unloaded while the display thread runs");
        AbandonInfoLoopThread();
    }
    return TRUE;
}

extern "C" {

DWORD WINAPI DLL_PluginBusProcess(DWORD type, wchar_t* text)
{
    return VisetteBusProcess(type, text);
}

DWORD DLL_GetPluginID()
{
    return kVisettePluginId;
}

void DLL_PluginAfterLoad()
{
    VisetteStart();
}

void DLL_PluginBeforeClose()
{
    VisetteStop();
}

const wchar_t* DLL_GetPluginName()
{
    static wchar_t s_name[512];
    CopyText(s_name, _countof(s_name), L"Visette");
    wchar_t base[260];
    CopyText(base, _countof(base), GetOwnModuleBaseName());
    const wchar_t kBase[] = L"PluginInfoVisette";
    const size_t n = _countof(kBase) - 1;
    if (wcslen(base) > n && CompareStringOrdinal(base, static_cast<int>(n), kBase, static_cast<int>(n), TRUE) ==
                                CSTR_EQUAL &&
        iswdigit(base[n])) {
        AppendText(s_name, _countof(s_name), L" #");
        AppendText(s_name, _countof(s_name), base + n);
    }
    if (GetProcAddress(g_hInstance, "DLL_IsBetaVersion"))
        AppendText(s_name, _countof(s_name), L" (Beta)");
    return s_name;
}

// The module flags: switched off by the user or by QOR_BUSMSG_FORCEIGNORE, which also takes
// away the user's switch until QOR_BUSMSG_ALLOWDISABLE gives it back.
DWORD DLL_GetDisableState()
{
    return static_cast<DWORD>(ModuleGetDisableState());
}

DWORD DLL_IsUnicode()
{
    return static_cast<DWORD>(ModuleIsUnicode());
}

DWORD DLL_CanDisable()
{
    return static_cast<DWORD>(ModuleCanDisable());
}

void WINAPI DLL_SetDisableState(DWORD disabled)
{
    ModuleSetDisableState(static_cast<int>(disabled));
}

HWND WINAPI DLL_ShowConfig(HWND parent)
{
    return ShowSettingsPage(parent);
}

}  // extern "C"
