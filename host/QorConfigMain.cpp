// The host's main settings: the settings dialog's position and the plug-in load order.
#include "host/QorConfig.h"

#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/MonitorAccess.h"
#include "foundation/RegIniAccess.h"
#include "host/PluginBase.h"

#include <cwchar>
#include <cwctype>

RECT g_rcConfigPosition = {0, 0, 640, 450};
int g_nUseLoadSortRule = 0;
wchar_t g_szPluginLoadSortRule[1024] = L"";

namespace {

const wchar_t kSection[] = L"General";

// Four signed numbers separated by blanks; false when any is missing. Positions left of or
// above the primary monitor are negative, and they are saved that way.
bool ParsePosition(const wchar_t* text, RECT* out)
{
    long values[4];
    const wchar_t* p = text;
    for (long& v : values) {
        while (*p == L' ' || *p == L'\t')
            ++p;
        wchar_t* end = nullptr;
        v = wcstol(p, &end, 10);
        if (end == p)
            return false;
        p = end;
    }
    *out = {values[0], values[1], values[2], values[3]};
    return true;
}

}  // namespace

void ValidateConfigPosition(RECT* position)
{
    // A real area, lying wholly on one monitor (any of them, not only the primary one).
    bool keep = false;
    if (position->right > position->left && position->bottom > position->top) {
        CMonitorAccess::Refresh();
        int count = CMonitorAccess::GetMonitorCount();
        if (count > CMonitorAccess::kSlots)
            count = CMonitorAccess::kSlots;
        for (int i = 0; i < count && !keep; ++i) {
            const RECT& m = CMonitorAccess::GetMonitorRect(i);
            keep = !IsRectEmpty(&m) && position->left >= m.left && position->top >= m.top &&
                   position->right <= m.right && position->bottom <= m.bottom;
        }
    }
    if (!keep)
        SetRect(position, 0, 0, 640, 450);
}

void LoadMainConfig(CRegIniAccess* store)
{
    LogLine(3, L"Func.LoadMainConfig.Begin");
    RECT position = {0, 0, 0, 0};
    g_nUseLoadSortRule = 0;
    g_szPluginLoadSortRule[0] = L'\0';
    if (store) {
        if (!ParsePosition(store->ReadString(kSection, L"Position", FALSE), &position))
            SetRectEmpty(&position);
        g_nUseLoadSortRule = static_cast<int>(wcstol(store->ReadString(kSection, L"UseLoadSortRule", FALSE), nullptr, 10));
        CopyTextN(g_szPluginLoadSortRule, _countof(g_szPluginLoadSortRule),
                  store->ReadString(kSection, L"PluginLoadSortRule", FALSE), 1023);
    }
    if (!g_szPluginLoadSortRule[0] || g_nUseLoadSortRule == 0)
        CopyText(g_szPluginLoadSortRule, _countof(g_szPluginLoadSortRule), kDefaultLoadSortRule);
    CPluginBase::SetLoadSortRule(g_szPluginLoadSortRule);
    g_rcConfigPosition = position;
    ValidateConfigPosition(&g_rcConfigPosition);
    LogLine(3, L"Func.LoadMainConfig.End");
}

void SaveMainConfig(CRegIniAccess* store, BOOL serviceMode)
{
    if (!store || serviceMode)
        return;
    store->WriteFormatted(kSection, L"Position", L"%d %d %d %d", static_cast<int>(g_rcConfigPosition.left),
                          static_cast<int>(g_rcConfigPosition.top), static_cast<int>(g_rcConfigPosition.right),
                          static_cast<int>(g_rcConfigPosition.bottom));
    store->WriteInt(kSection, L"UseLoadSortRule", g_nUseLoadSortRule);
    store->WriteString(kSection, L"PluginLoadSortRule", g_szPluginLoadSortRule);
}
