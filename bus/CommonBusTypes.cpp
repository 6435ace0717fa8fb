#include "bus/CommonBusTypes.h"

#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/ResourceAccess.h"
#include "foundation/TextUtils.h"

int g_bCanDisable = 1;
DWORD g_dwSchemeIndex = 0;
wchar_t g_szUsedFont[128] = L"";
wchar_t g_szUsedLanguage[32] = L"";

namespace {

CResourceAccess* g_pCommonResources = nullptr;

void HandleScheme(UINT type, const wchar_t* text)
{
    if (type == QOR_BUSMSG_DEBUGLEVEL) {
        g_dwGlobalDebugLevel = static_cast<DWORD>(ParseNumber(GetValueByKeyword(text, L"Level")));
    } else if (type == QOR_BUSMSG_SCHEME) {
        g_dwSchemeIndex = static_cast<DWORD>(ParseNumber(GetValueByKeyword(text, L"SchemeIndex")));
        CopyText(g_szUsedFont, _countof(g_szUsedFont), GetValueByKeyword(text, L"UsedFont"));
        // A message without a language leaves the language as it is (it is no request for
        // the default one).
        const wchar_t* language = GetValueByKeyword(text, L"UsedLanguage");
        if (language[0]) {
            CopyText(g_szUsedLanguage, _countof(g_szUsedLanguage), language);
            if (g_pCommonResources)
                g_pCommonResources->SwitchLanguage(g_szUsedLanguage);
        }
    }
}

}  // namespace

void SetCommonResourceAccess(CResourceAccess* resources)
{
    g_pCommonResources = resources;
}

void HandleCommonBusTypes(UINT type, const wchar_t* text)
{
    if (!text)
        text = L"";
    switch (type) {
    case QOR_BUSMSG_FORCEIGNORE:
        g_bIgnoreModule = 1;
        g_bCanDisable = 0;
        break;
    case QOR_BUSMSG_ALLOWDISABLE:
        g_bCanDisable = 1;
        break;
    default:
        HandleScheme(type, text);
        break;
    }
}

void HandleSchemeBusTypes(UINT type, const wchar_t* text)
{
    HandleScheme(type, text ? text : L"");
}

int ModuleIsUnicode() { return 1; }
int ModuleCanDisable() { return g_bCanDisable; }
int ModuleGetDisableState() { return g_bCanDisable ? g_bIgnoreModule : 1; }
int ModuleReturnsOne() { return 1; }

int ModuleSetDisableState(int state)
{
    g_bIgnoreModule = state;
    return state;
}
