// The host's own settings through its settings store: the window position and the plug-in
// load order rule.
#include "host/app/MainConfig.h"

#include "foundation/Format.h"
#include "foundation/RegIniAccess.h"
#include "host/PluginBase.h"
#include "host/app/HostGlobals.h"

namespace {

wchar_t g_szPosition[64] = L"";
DWORD g_dwUseLoadSortRule = 0;

}  // namespace

void LoadMainConfig()
{
    CopyText(g_szPosition, _countof(g_szPosition), g_RegIniAccess.ReadStringDefault(L"", L"Position", L""));
    g_dwUseLoadSortRule = g_RegIniAccess.ReadDword(L"", L"UseLoadSortRule");
    const wchar_t* rule = g_RegIniAccess.ReadStringDefault(L"", L"PluginLoadSortRule", L"");
    CPluginBase::SetLoadSortRule(g_dwUseLoadSortRule && rule[0] ? rule : nullptr);
}

void SaveMainConfig()
{
    if (g_bServiceMode)
        return;
    g_RegIniAccess.WriteString(L"", L"Position", g_szPosition);
    g_RegIniAccess.WriteDword(L"", L"UseLoadSortRule", g_dwUseLoadSortRule);
    g_RegIniAccess.WriteString(L"", L"PluginLoadSortRule", CPluginBase::GetLoadSortRule());
}
