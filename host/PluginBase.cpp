#include "host/PluginBase.h"

#include "bus/LogLine.h"
#include "foundation/FileTools.h"
#include "foundation/Format.h"
#include "foundation/PathTools.h"
#include "foundation/VersionTool.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>

const wchar_t kDefaultLoadSortRule[] = L"103;313;315;207;211;615;602;618;616;606;619;";

namespace {

constexpr DWORD kLevel = 3;
// As long as its setting: 1,023 characters.
wchar_t g_szLoadSortRule[1024] = L"";

bool EndsWithNoCase(const wchar_t* text, const wchar_t* suffix)
{
    size_t n = wcslen(text), m = wcslen(suffix);
    return n >= m && lstrcmpiW(text + n - m, suffix) == 0;
}

// "Plugin*.DLL" exactly: a pattern search also matches short names and longer extensions.
bool IsPluginFileName(const wchar_t* name)
{
    wchar_t head[7];
    CopyText(head, _countof(head), name);
    return wcslen(name) >= 10 && lstrcmpiW(head, L"Plugin") == 0 && EndsWithNoCase(name, L".DLL");
}

// The file name of a loaded module.
const wchar_t* ModuleFileName(HMODULE module, wchar_t* path, size_t capacity)
{
    DWORD n = GetModuleFileNameW(module, path, static_cast<DWORD>(capacity));
    path[n < capacity ? n : capacity - 1] = L'\0';
    return GetFileNameWithExtension(path);
}

template <typename T>
T Export(HMODULE module, const char* name)
{
    return reinterpret_cast<T>(GetProcAddress(module, name));
}

}  // namespace

CPluginBase::CPluginBase()
{
    m_szPath[0] = L'\0';
    m_szName[0] = L'\0';
    memset(m_Slots, 0, sizeof(m_Slots));
    memset(m_bClosed, 0, sizeof(m_bClosed));
}

CPluginBase::CPluginBase(const wchar_t* category) : CPluginBase()
{
    SetFolder(GetModuleFolder(), category);
}

CPluginBase::~CPluginBase() = default;

void CPluginBase::SetFolder(const wchar_t* baseFolder, const wchar_t* category)
{
    CopyText(m_szName, 511, category);
    CopyText(m_szPath, 511, baseFolder);
    AppendPathSeparator(m_szPath, 511);
    AppendText(m_szPath, 511, category);
    AppendPathSeparator(m_szPath, 511);
}

void CPluginBase::SetLoadSortRule(const wchar_t* rule)
{
    CopyText(g_szLoadSortRule, _countof(g_szLoadSortRule), rule);
}

const wchar_t* CPluginBase::GetLoadSortRule()
{
    return g_szLoadSortRule[0] ? g_szLoadSortRule : kDefaultLoadSortRule;
}

void CPluginBase::LoadAllModules()
{
    LogLine(kLevel, L"Func.LoadAllModules.Begin");
    wchar_t pattern[512];
    FormatW(pattern, 511, L"%sPlugin*.DLL", m_szPath);
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW(pattern, &fd);
    int slot = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsPluginFileName(fd.cFileName))
                continue;
            while (slot < kPluginSlots && m_Slots[slot].hModule)
                ++slot;
            if (slot >= kPluginSlots)
                break;
            // The plug-in's own libraries beside it load through the current directory.
            if (!SetCurrentDirectoryW(m_szPath))
                LogLine(kLevel, L"Func.LoadAllModules.Error._tchdir %s failed", m_szPath);
            wchar_t path[512];
            FormatW(path, 511, L"%s%s", m_szPath, fd.cFileName);
            LoadModule(slot, path);
            if (m_Slots[slot].hModule)
                ++slot;
        } while (slot < kPluginSlots && FindNextFileW(find, &fd));
        FindClose(find);
    }
    SortModules();
    LogLine(kLevel, L"Func.LoadAllModules.End");
}

void CPluginBase::LoadModule(int slot, const wchar_t* path)
{
    slot = Index(slot);
    if (m_Slots[slot].hModule)
        return;  // never lose a loaded library
    QorPluginSlot& s = m_Slots[slot];
    s = QorPluginSlot{};
    m_bClosed[slot] = false;
    s.hModule = LoadLibraryW(path);
    if (!s.hModule)
        return;
    s.pfnPluginBusProcess = Export<PFN_DLL_PluginBusProcess>(s.hModule, "DLL_PluginBusProcess");
    s.pfnGetPluginID = Export<PFN_DLL_GetPluginID>(s.hModule, "DLL_GetPluginID");
    s.pfnPluginAfterLoad = Export<PFN_DLL_PluginAfterLoad>(s.hModule, "DLL_PluginAfterLoad");
    s.pfnIsBetaVersion = Export<PFN_DLL_IsBetaVersion>(s.hModule, "DLL_IsBetaVersion");
    s.pfnPluginBeforeClose = Export<PFN_DLL_PluginBeforeClose>(s.hModule, "DLL_PluginBeforeClose");
    s.pfnGetPluginName = Export<PFN_DLL_GetPluginName>(s.hModule, "DLL_GetPluginName");
    s.pfnGetDisableState = Export<PFN_DLL_GetDisableState>(s.hModule, "DLL_GetDisableState");
    s.pfnIsUnicode = Export<PFN_DLL_IsUnicode>(s.hModule, "DLL_IsUnicode");
    if (s.pfnIsUnicode)
        s.dwIsUnicode = s.pfnIsUnicode();
    if (s.pfnGetPluginID)
        s.dwPluginId = s.pfnGetPluginID();
    if (s.pfnIsBetaVersion)
        s.dwIsBeta = s.pfnIsBetaVersion();
}

void CPluginBase::UnloadModule(int slot)
{
    slot = Index(slot);
    QorPluginSlot& s = m_Slots[slot];
    if (!s.hModule)
        return;
    // A plug-in's threads must be stopped before its code goes away.
    if (s.pfnPluginBeforeClose && !m_bClosed[slot]) {
        m_bClosed[slot] = true;
        s.pfnPluginBeforeClose();
    }
    HMODULE module = s.hModule;
    // Cleared whole, so that a plug-in loaded later into the slot shows nothing of this one.
    s = QorPluginSlot{};
    m_bClosed[slot] = false;
    FreeLibrary(module);
}

void CPluginBase::AfterLoad()
{
    LogLine(kLevel, L"Func.AfterLoad.Begin");
    for (int i = 0; i < kPluginSlots; ++i)
        if (m_Slots[i].hModule && m_Slots[i].pfnPluginAfterLoad)
            m_Slots[i].pfnPluginAfterLoad();
    UpdateCanDisable();
    LogLine(kLevel, L"Func.AfterLoad.End");
}

void CPluginBase::BeforeClose()
{
    LogLine(kLevel, L"Func.BeforeClose.Begin");
    for (int i = 0; i < kPluginSlots; ++i) {
        if (m_Slots[i].hModule && m_Slots[i].pfnPluginBeforeClose) {
            m_bClosed[i] = true;
            m_Slots[i].pfnPluginBeforeClose();
        }
    }
    LogLine(kLevel, L"Func.BeforeClose.End");
}

void CPluginBase::UnloadAllModules()
{
    LogLine(kLevel, L"Func.UnloadAllModules.Begin");
    for (int i = 0; i < kPluginSlots; ++i)
        UnloadModule(i);
    LogLine(kLevel, L"Func.UnloadAllModules.End");
}

bool CPluginBase::NormalizePluginName(wchar_t* name, size_t capacity, const wchar_t* file)
{
    CopyText(name, capacity, file);
    CharUpperW(name);
    if (!EndsWithNoCase(name, L".DLL"))
        AppendText(name, capacity, L".DLL");
    // Only a bare name of this folder: the name may come from any program on the desktop.
    if (wcspbrk(name, L"\\/:") || !IsPluginFileName(name))
        return false;
    return true;
}

int CPluginBase::FindLoaded(const wchar_t* name) const
{
    for (int i = 0; i < kPluginSlots; ++i) {
        if (!m_Slots[i].hModule)
            continue;
        wchar_t path[512];
        if (lstrcmpiW(ModuleFileName(m_Slots[i].hModule, path, 511), name) == 0)
            return i;
    }
    return -1;
}

int CPluginBase::Add(const wchar_t* file)
{
    LogLine(kLevel, L"Func.CPluginBase.Add.Begin");
    LogLine(kLevel, L"Func.CPluginBase.Add.Param._pszFile %s", file ? file : L"");
    wchar_t name[512];
    if (!NormalizePluginName(name, 511, file)) {
        LogLine(kLevel, L"Func.CPluginBase.Add.Error.Not a plug-in file name %s", name);
        LogLine(kLevel, L"Func.CPluginBase.Add.Abort.Result %d", 2);
        return 2;
    }
    if (FindLoaded(name) >= 0) {
        LogLine(kLevel, L"Func.CPluginBase.Add.Abort.Result %d", 1);
        return 1;
    }
    int slot = 0;
    while (slot < kPluginSlots && m_Slots[slot].hModule)
        ++slot;
    if (slot >= kPluginSlots) {
        LogLine(kLevel, L"Func.CPluginBase.Add.End.Result %d", 3);
        return 3;
    }
    if (!SetCurrentDirectoryW(m_szPath))
        LogLine(kLevel, L"Func.CPluginBase.Add.Error._tchdir %s failed", m_szPath);
    wchar_t path[512];
    FormatW(path, 511, L"%s%s", m_szPath, name);
    LoadModule(slot, path);
    if (!m_Slots[slot].hModule) {
        LogLine(kLevel, L"Func.CPluginBase.Add.Abort.Result %d", 2);
        return 2;
    }
    LogLine(kLevel, L"Func.CPluginBase.Add.End.Result %d", 0);
    return 0;
}

int CPluginBase::Remove(const wchar_t* file)
{
    LogLine(kLevel, L"Func.CPluginBase.Begin");
    LogLine(kLevel, L"Func.CPluginBase.Param._pszFile %s", file ? file : L"");
    wchar_t name[512];
    int slot = NormalizePluginName(name, 511, file) ? FindLoaded(name) : -1;
    if (slot < 0) {
        LogLine(kLevel, L"Func.CPluginBase.End.Result %d", 1);
        return 1;
    }
    UnloadModule(slot);
    LogLine(kLevel, L"Func.CPluginBase.Abort.Result %d", 0);
    return 0;
}

DWORD CPluginBase::PluginBusProcess(DWORD type, wchar_t* text)
{
    DWORD result = 1;
    // Each slot is read afresh: a plug-in may be unloaded between two calls.
    for (int i = 0; i < kPluginSlots && result; ++i)
        if (m_Slots[i].hModule && m_Slots[i].pfnPluginBusProcess)
            result = m_Slots[i].pfnPluginBusProcess(type, text);
    return result;
}

DWORD CPluginBase::SlotBusProcess(int slot, DWORD type, wchar_t* text)
{
    const QorPluginSlot& s = m_Slots[Index(slot)];
    if (!s.hModule || !s.pfnPluginBusProcess)
        return 1;
    return s.pfnPluginBusProcess(type, text);
}

const wchar_t* CPluginBase::GetPluginName(int slot)
{
    thread_local wchar_t t_name[128];
    const QorPluginSlot& s = m_Slots[Index(slot)];
    t_name[0] = L'\0';
    if (s.hModule && s.pfnGetPluginName)
        CopyText(t_name, _countof(t_name), s.pfnGetPluginName());
    return t_name;
}

HMODULE CPluginBase::GetModule(int slot) const
{
    return m_Slots[Index(slot)].hModule;
}

DWORD CPluginBase::GetPluginId(int slot) const
{
    return m_Slots[Index(slot)].dwPluginId;
}

DWORD CPluginBase::GetIsBeta(int slot) const
{
    return m_Slots[Index(slot)].dwIsBeta;
}

DWORD CPluginBase::GetCanDisable(int slot) const
{
    return m_Slots[Index(slot)].dwCanDisable;
}

DWORD CPluginBase::GetDisableState(int slot)
{
    const QorPluginSlot& s = m_Slots[Index(slot)];
    if (!s.hModule)
        return 1;
    return s.pfnGetDisableState ? s.pfnGetDisableState() : 0;
}

DWORD CPluginBase::GetDisableStateOf(HMODULE module)
{
    auto get = module ? Export<PFN_DLL_GetDisableState>(module, "DLL_GetDisableState") : nullptr;
    return get ? get() : 0;
}

DWORD CPluginBase::IsBetaVersionOf(HMODULE module)
{
    auto get = module ? Export<PFN_DLL_IsBetaVersion>(module, "DLL_IsBetaVersion") : nullptr;
    return get ? get() : 0;
}

void CPluginBase::UpdateCanDisable()
{
    for (int i = 0; i < kPluginSlots; ++i) {
        if (!m_Slots[i].hModule)
            continue;
        auto can = Export<PFN_DLL_CanDisable>(m_Slots[i].hModule, "DLL_CanDisable");
        if (can)
            m_Slots[i].dwCanDisable = can();
    }
}

void CPluginBase::SortModules()
{
    // The place of ";<id>;" in ";<rule>": anchored at the separators, so that "3;" does not
    // match inside "103;". An ID the rule does not name sorts before every named one.
    wchar_t rule[_countof(g_szLoadSortRule) + 1];
    FormatW(rule, _countof(rule), L";%s", GetLoadSortRule());
    struct Entry {
        long place;
        QorPluginSlot slot;
        bool closed;
    };
    Entry entries[kPluginSlots];
    int used[kPluginSlots];
    int n = 0;
    for (int i = 0; i < kPluginSlots; ++i) {
        if (!m_Slots[i].hModule)
            continue;
        wchar_t key[16];
        FormatW(key, _countof(key), L";%d;", static_cast<int>(m_Slots[i].dwPluginId));
        const wchar_t* at = wcsstr(rule, key);
        entries[n] = {at ? static_cast<long>(at - rule) : -1L, m_Slots[i], m_bClosed[i]};
        used[n++] = i;
    }
    std::stable_sort(entries, entries + n, [](const Entry& a, const Entry& b) { return a.place < b.place; });
    for (int k = 0; k < n; ++k) {
        m_Slots[used[k]] = entries[k].slot;
        m_bClosed[used[k]] = entries[k].closed;
    }
}

void CPluginBase::PrintFileInfos()
{
    LogLine(0, L"Func.PrintFileInfos.Begin");
    for (int i = 0; i < kPluginSlots; ++i) {
        wchar_t name[128];
        CopyText(name, _countof(name), GetPluginName(i));
        if (!name[0])
            continue;
        wchar_t path[512];
        DWORD n = GetModuleFileNameW(m_Slots[i].hModule, path, 511);
        path[n < 511 ? n : 510] = L'\0';
        CVersionTool version(path);
        wchar_t info[512];
        FormatW(info, 511, L"%s;%s;%s;%s;%d;", path[0] ? path : L" ", version.GetProductVersion(),
                version.GetFileVersion(), GetFileTimeText(path), GetDisableState(i) ? 1 : 0);
        LogLine(0, L"Func.PrintFileInfos.Info.Module: %s", info);
        if (!m_Slots[i].dwIsUnicode)
            LogLine(0, L"Func.PrintFileInfos.Error.UNICODE:%s", name);
    }
    LogLine(0, L"Func.PrintFileInfos.End");
}

int CPluginBase::ParseLoadLevel(const wchar_t* comments)
{
    const wchar_t* at = comments ? wcsstr(comments, L"LoadLevel") : nullptr;
    // "LoadLevel", one separator, the number; nothing after the word reads as 0.
    if (!at || !at[9] || !at[10])
        return 0;
    return _wtoi(at + 10);
}

int CPluginBase::GetLoadLevel(const wchar_t* path)
{
    CVersionTool version(path);
    wchar_t comments[128];
    CopyText(comments, _countof(comments), version.GetComments());
    return ParseLoadLevel(comments);
}
