#include "foundation/ResourceAccess.h"

#include <climits>
#include <cwchar>

#include "foundation/FolderTools.h"
#include "foundation/Format.h"
#include "foundation/PathTools.h"
#include "foundation/Seams.h"

namespace {

const wchar_t kLibraryName[] = L"RESOURCE.DLL";

struct LanguageFolder {
    const wchar_t* name;
    const wchar_t* code;
    const wchar_t* olderCode;  // a folder name that installed copies may still use
};

// Display names as the settings offer them; the first match gives the folder.
const LanguageFolder kLanguageFolders[] = {
    {L"Deutsch", L"De", nullptr},
    {L"English", L"En", nullptr},
    {L"\u010Ce\u0161tina", L"Cz", nullptr},
    {L"Espa\u00F1ol", L"Es", nullptr},
    {L"Fran\u00E7ais", L"Fr", nullptr},
    // Hungarian is "Hu"; "Hr" (Croatian's code) was used for it before and is still accepted.
    {L"Magyar", L"Hu", L"Hr"},
    {L"Italiano", L"It", nullptr},
    {L"Polski", L"Pl", nullptr},
    {L"Rom\u00E2n\u0103", L"Ro", nullptr},
    {L"Slovensk\u00FD", L"Sk", nullptr},
    {L"Sloven\u0161\u010Dina", L"Sl", nullptr},
};

const LanguageFolder* FindLanguageFolder(const wchar_t* displayName)
{
    if (displayName) {
        for (const LanguageFolder& entry : kLanguageFolders) {
            if (lstrcmpiW(displayName, entry.name) == 0)
                return &entry;
        }
    }
    return &kLanguageFolders[1];
}

// <base>\Resource\<code>\<name>; false when it does not fit in MAX_PATH - 1 characters (a cut
// path would load some other file).
bool MakeLibraryPath(wchar_t* path, const wchar_t* base, const wchar_t* code, const wchar_t* name)
{
    wchar_t built[MAX_PATH * 2] = L"";
    CopyText(built, _countof(built), base);
    if (built[0])
        AppendPathSeparator(built, _countof(built));
    AppendText(built, _countof(built), L"Resource\\");
    if (code && code[0]) {
        AppendText(built, _countof(built), code);
        AppendText(built, _countof(built), L"\\");
    }
    AppendText(built, _countof(built), name);
    if (wcslen(built) > MAX_PATH - 1)
        return false;
    CopyText(path, MAX_PATH, built);
    return true;
}

}  // namespace

const wchar_t* GetLanguageCodeOfId(DWORD languageId)
{
    switch (languageId & 0xFF) {
    case LANG_GERMAN:
        return L"DE";
    case LANG_ENGLISH:
        return L"EN";
    default:
        return nullptr;
    }
}

const wchar_t* GetLanguageFolderCode(const wchar_t* displayName)
{
    return FindLanguageFolder(displayName)->code;
}

int ParsePreferredLanguageIds(const wchar_t* multi, ULONG length, DWORD* ids, int maxIds)
{
    if (!multi || !ids || maxIds <= 0)
        return 0;
    wchar_t text[512] = L"";
    ULONG count = length < _countof(text) - 1 ? length : _countof(text) - 1;
    for (ULONG i = 0; i < count; ++i)
        text[i] = multi[i] ? multi[i] : L' ';
    text[count] = L'\0';

    int found = 0;
    const wchar_t* cursor = text;
    while (found < maxIds) {
        while (*cursor == L' ')
            ++cursor;
        wchar_t* end = nullptr;
        unsigned long value = wcstoul(cursor, &end, 16);
        if (end == cursor)
            break;
        ids[found++] = static_cast<DWORD>(value);
        cursor = end;
    }
    return found;
}

void MakeResourceBaseFolder(const wchar_t* modulePath, const wchar_t* programFolder,
                            const wchar_t* programFilesFolder, wchar_t* base, size_t capacity)
{
    wchar_t upper[MAX_PATH] = L"";
    CopyText(upper, _countof(upper), modulePath);
    CharUpperBuffW(upper, static_cast<DWORD>(wcslen(upper)));

    if (wchar_t* extra = wcsstr(upper, L"PLUGINEXTRA")) {
        *extra = L'\0';
        CopyText(base, capacity, upper);
        return;
    }
    if (wcsstr(upper, L"\\INSTALLER\\") || wcsstr(upper, L"\\INSTALLER/")) {
        CopyText(base, capacity, programFilesFolder);
        AppendPathSeparator(base, capacity);
        AppendText(base, capacity, L"Orvix\\Orvix Telvane\\");
        return;
    }
    CopyText(base, capacity, programFolder);
    AppendPathSeparator(base, capacity);
}

CResourceAccess::CResourceAccess()
    : m_hResource(nullptr), m_szPath(), m_szString(), m_szRaw(), m_bIsUnicode(0), m_bPreloaded(0),
      m_dwLangIds(), m_hOwned(nullptr), m_szLibrary()
{
}

CResourceAccess::~CResourceAccess() = default;

void CResourceAccess::Init()
{
    wchar_t modulePath[MAX_PATH] = L"";
    GetModuleFileNameW(GetOwnModule(), modulePath, MAX_PATH - 1);
    MakeResourceBaseFolder(modulePath, GetModuleFolder(), GetProgramFilesFolder(), m_szPath,
                           _countof(m_szPath));

    CollectLanguageIds();
    LoadByLanguageIds();
}

void CResourceAccess::CollectLanguageIds()
{
    ZeroMemory(m_dwLangIds, sizeof(m_dwLangIds));
    m_dwLangIds[0] = GetUserDefaultUILanguage() & 0xFFFF;
    m_dwLangIds[1] = GetSystemDefaultUILanguage() & 0xFFFF;
    m_dwLangIds[2] = GetUserDefaultLangID() & 0xFFFF;
    m_dwLangIds[3] = GetSystemDefaultLangID() & 0xFFFF;

    wchar_t preferred[512] = L"";
    ULONG languages = 0;
    ULONG length = _countof(preferred) - 1;
    if (GetUserPreferredUILanguages(MUI_LANGUAGE_ID, &languages, preferred, &length))
        ParsePreferredLanguageIds(preferred, length, &m_dwLangIds[4], 5);
}

void CResourceAccess::LoadByLanguageIds()
{
    m_hResource = GetModuleHandleW(kLibraryName);
    m_bPreloaded = m_hResource != nullptr;

    for (DWORD id : m_dwLangIds) {
        if (m_hResource)
            break;
        if (const wchar_t* code = GetLanguageCodeOfId(id))
            LoadResourceDll(code);
    }
    if (!m_hResource)
        LoadResourceDll(L"EN");

    m_bIsUnicode = 0;
    if (m_hResource) {
        typedef int (*IsUnicodeFn)();
        if (auto isUnicode = reinterpret_cast<IsUnicodeFn>(GetProcAddress(m_hResource, "IsUnicode")))
            m_bIsUnicode = isUnicode();
    }
}

int CResourceAccess::LoadResourceDll(const wchar_t* code)
{
    if (m_hResource)
        return 0;
    wchar_t path[MAX_PATH] = L"";
    if (!MakeLibraryPath(path, m_szPath, code, kLibraryName))
        return 0;
    HMODULE library = LoadLibraryW(path);
    if (!library)
        library = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library)
        return 0;
    // m_szPath stays the base folder, so a later load after FreeResourceDll still finds it.
    UseLibrary(library, 1, path);
    return 1;
}

void CResourceAccess::UseLibrary(HMODULE library, int owned, const wchar_t* path)
{
    HMODULE previous = m_hOwned;
    m_hResource = library;
    m_hOwned = owned ? library : nullptr;
    CopyText(m_szLibrary, _countof(m_szLibrary), path);
    // Given back only after the new one is in place, and only when it was this instance's.
    if (previous && previous != library)
        FreeLibrary(previous);
}

void CResourceAccess::RefreshHandle()
{
    // An instance that loaded a library itself reads its own; the others follow whatever
    // library of that name the process holds (the host's, after any switch it made).
    m_hResource = m_hOwned ? m_hOwned : GetModuleHandleW(kLibraryName);
}

const wchar_t* CResourceAccess::GetString(UINT id, const wchar_t* defaultText)
{
    RefreshHandle();
    m_szRaw[0] = L'\0';
    if (m_hResource)
        LoadStringW(m_hResource, id, m_szRaw, _countof(m_szRaw));
    CopyText(m_szString, _countof(m_szString), m_szRaw[0] ? m_szRaw : defaultText);
    return m_szString;
}

BOOL CResourceAccess::LoadStringCopy(UINT id, wchar_t* buf, size_t capacity) const
{
    if (!buf || !capacity)
        return FALSE;
    buf[0] = L'\0';
    HMODULE library = m_hOwned;
    HMODULE pinned = nullptr;
    // The library of that name that the process holds now, with a reference of its own, so that
    // a language switch on the GUI thread cannot unload it under the read.
    if (!library && GetModuleHandleExW(0, kLibraryName, &pinned))
        library = pinned;
    BOOL found = library && LoadStringW(library, id, buf, (int)(capacity > INT_MAX ? INT_MAX : capacity)) > 0;
    if (pinned)
        FreeLibrary(pinned);
    if (!found)
        buf[0] = L'\0';
    return found;
}

BSTR CResourceAccess::GetStringAsBSTR(UINT id, const wchar_t* defaultText)
{
    return SysAllocString(GetString(id, defaultText));
}

BOOL CResourceAccess::SetItemText(HWND dialog, int itemId, UINT id, const wchar_t* defaultText)
{
    const wchar_t* text = GetString(id, defaultText);
    HWND item = GetDlgItem(dialog, itemId);
    if (!text[0] || !item)
        return FALSE;
    return SetWindowTextW(item, text);
}

BOOL CResourceAccess::SetWndText(HWND window, UINT id, const wchar_t* defaultText)
{
    const wchar_t* text = GetString(id, defaultText);
    if (!text[0])
        return FALSE;
    return SetWindowTextW(window, text);
}

BOOL CResourceAccess::SetMenuText(HMENU menu, UINT item, UINT id, const wchar_t* defaultText)
{
    const wchar_t* text = GetString(id, defaultText);
    if (!text[0])
        return FALSE;
    UINT flags = (item < 50 ? MF_BYPOSITION : MF_BYCOMMAND) | MF_STRING;
    return ModifyMenuW(menu, item, flags, item, text);
}

const wchar_t* CResourceAccess::GetFilterString(UINT id)
{
    static thread_local wchar_t filter[512];
    ZeroMemory(filter, sizeof(filter));
    RefreshHandle();
    if (!m_hResource)
        return filter;
    m_szRaw[0] = L'\0';
    LoadStringW(m_hResource, id, m_szRaw, _countof(m_szRaw));
    // Two characters short of the buffer, so even a cut list ends in two NULs.
    CopyText(filter, _countof(filter) - 1, m_szRaw);
    for (wchar_t* cursor = filter; *cursor; ++cursor) {
        if (*cursor == L'#')
            *cursor = L'\0';
    }
    return filter;
}

int CResourceAccess::ShowMessage(HWND owner, UINT captionId, UINT textId, UINT type,
                                 const wchar_t* defaultCaption, const wchar_t* defaultText)
{
    wchar_t caption[_countof(m_szString)] = L"";
    CopyText(caption, _countof(caption), GetString(captionId, defaultCaption));
    const wchar_t* text = GetString(textId, defaultText);
    if (!caption[0] || !text[0])
        return IDCANCEL;
    return g_pfnMessageBoxW(owner, text, caption, type);
}

void CResourceAccess::FreeResourceDll()
{
    if (m_hOwned)
        FreeLibrary(m_hOwned);
    m_hOwned = nullptr;
    m_hResource = nullptr;
    m_szLibrary[0] = L'\0';
}

int CResourceAccess::SwitchLanguage(const wchar_t* displayName)
{
    const LanguageFolder* language = FindLanguageFolder(displayName);
    // The libraries are looked for where Init found them (the program folder unless the module
    // lives in PluginExtra or is the installer).
    wchar_t base[MAX_PATH] = L"";
    if (m_szPath[0])
        CopyText(base, _countof(base), m_szPath);
    else
        CopyText(base, _countof(base), GetModuleFolder());

    wchar_t path[MAX_PATH] = L"";
    bool found = MakeLibraryPath(path, base, language->code, L"Resource.dll") && IsExistingFile(path);
    if (!found && language->olderCode)
        found = MakeLibraryPath(path, base, language->olderCode, L"Resource.dll") && IsExistingFile(path);
    if (!found)
        return 0;

    if (HMODULE loaded = GetModuleHandleW(path)) {
        UseLibrary(loaded, loaded == m_hOwned, path);
        return 1;
    }
    // The new library first: a failed load keeps the current one in use.
    HMODULE library = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library)
        return 0;
    UseLibrary(library, 1, path);
    return 1;
}
