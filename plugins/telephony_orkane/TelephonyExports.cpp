// The exports the host binds by name (the generated .def file gives the plain names).
#include "bus/CommonBusTypes.h"
#include "bus/LogLine.h"
#include "plugins/telephony_orkane/Lifecycle.h"
#include "plugins/telephony_orkane/Settings.h"
#include "plugins/telephony_orkane/SettingsPage.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        InitPluginModule(instance);
    }
    return TRUE;
}

extern "C" {

DWORD WINAPI DLL_PluginBusProcess(DWORD type, wchar_t* text)
{
    EnsureModuleInit();
    return PluginBusProcess(type, text);
}

DWORD DLL_GetPluginID()
{
    return kTelephonyPluginId;
}

void DLL_PluginAfterLoad()
{
    EnsureModuleInit();
    PluginAfterLoad();
}

void DLL_PluginBeforeClose()
{
    EnsureModuleInit();
    PluginBeforeClose();
}

const wchar_t* DLL_GetPluginName()
{
    return PluginDisplayName();
}

DWORD DLL_GetDisableState()
{
    EnsureModuleInit();
    return (DWORD)ModuleGetDisableState();
}

DWORD DLL_IsUnicode()
{
    return 1;
}

DWORD DLL_CanDisable()
{
    EnsureModuleInit();
    return (DWORD)ModuleCanDisable();
}

void WINAPI DLL_SetDisableState(DWORD disabled)
{
    EnsureModuleInit();
    ModuleSetDisableState((int)disabled);
}

HWND WINAPI DLL_ShowConfig(HWND parent)
{
    EnsureModuleInit();
    return ShowConfigPage(g_hInstance, parent);
}

}  // extern "C"
