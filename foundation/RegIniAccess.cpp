#include "foundation/RegIniAccess.h"

#include "foundation/DataFolder.h"
#include "foundation/FolderTools.h"
#include "foundation/Format.h"
#include "foundation/PathTools.h"
#include "foundation/SystemAccount.h"

#include <cwchar>

namespace {

const size_t kValue = 8192;
// Default of a probing INI read: reading it back means the key is missing.
const wchar_t kSentinel[] = L"{9B8D4A5A-780D-4437-A74D-CB9E88EA096D}";

bool IniKeyExists(const wchar_t* file, const wchar_t* section, const wchar_t* key)
{
    if (!file || !file[0])
        return false;
    wchar_t probe[128] = L"";
    GetPrivateProfileStringW(section, key, kSentinel, probe, _countof(probe), file);
    return wcscmp(probe, kSentinel) != 0;
}

bool IniDwordExists(const wchar_t* file, const wchar_t* section, const wchar_t* key)
{
    DWORD value = 0;
    return file[0] && GetPrivateProfileStructW(section, key, &value, sizeof(value), file);
}

// The flush answers FALSE even when it worked, so its result is not used.
void FlushIni(const wchar_t* file) { WritePrivateProfileStringW(nullptr, nullptr, nullptr, file); }

bool WriteIniText(const wchar_t* file, const wchar_t* section, const wchar_t* key, const wchar_t* text)
{
    if (!file[0])
        return false;
    SetLastError(0);
    BOOL ok = WritePrivateProfileStringW(section, key, text, file);
    FlushIni(file);
    return ok != FALSE;
}

bool WriteIniDword(const wchar_t* file, const wchar_t* section, const wchar_t* key, DWORD value)
{
    if (!file[0])
        return false;
    SetLastError(0);
    BOOL ok = WritePrivateProfileStructW(section, key, &value, sizeof(value), file);
    FlushIni(file);
    return ok != FALSE;
}

// The module file's path with its last three characters replaced by "INI".
void IniPathOf(HMODULE module, wchar_t* dst, size_t capacity)
{
    DWORD n = GetModuleFileNameW(module, dst, static_cast<DWORD>(capacity));
    if (n >= capacity)
        n = static_cast<DWORD>(capacity - 1);
    dst[n] = L'\0';
    if (n >= 3)
        CopyText(dst + n - 3, 4, L"INI");
}

void BaseName(HMODULE module, wchar_t* dst, size_t capacity)
{
    wchar_t path[512];
    DWORD n = GetModuleFileNameW(module, path, _countof(path));
    path[n < _countof(path) ? n : _countof(path) - 1] = L'\0';
    const wchar_t* name = wcsrchr(path, L'\\');
    name = name ? name + 1 : path;
    const wchar_t* dot = wcsrchr(name, L'.');
    CopyTextN(dst, capacity, name, dot ? static_cast<size_t>(dot - name) : wcslen(name));
}

}  // namespace

CRegIniAccess::CRegIniAccess() : m_bRegistry(FALSE), m_bCreateFolder(TRUE)
{
    m_szIniFile[0] = m_szProgramIniFile[0] = m_szProgramName[0] = m_szModuleName[0] = L'\0';
    m_szRegKey[0] = m_szTmp[0] = m_szTemp[0] = m_szAppData[0] = L'\0';
    m_szUserName[0] = m_szUserIniFile[0] = L'\0';
}

void CRegIniAccess::Init(BOOL createFolder)
{
    m_bCreateFolder = createFolder;
    wchar_t config[32] = L"";
    if (GetEnvironmentVariableW(L"QorConfig", config, _countof(config)) >= _countof(config))
        config[0] = L'\0';
    DWORD n = _countof(m_szUserName);
    if (!GetUserNameW(m_szUserName, &n))
        m_szUserName[0] = L'\0';
    m_szUserName[_countof(m_szUserName) - 1] = L'\0';
    if (IsSystemAccount() || config[0] == L'1')
        m_szUserName[0] = L'\0';

    HMODULE module = GetOwnModule();
    IniPathOf(module, m_szIniFile, _countof(m_szIniFile));
    IniPathOf(nullptr, m_szProgramIniFile, _countof(m_szProgramIniFile));
    BaseName(nullptr, m_szProgramName, _countof(m_szProgramName));
    BaseName(module, m_szModuleName, _countof(m_szModuleName));

    m_szUserIniFile[0] = L'\0';
    if (HasUser()) {
        CopyText(m_szUserIniFile, _countof(m_szUserIniFile), GetDataFolder(L"CFG"));
        if (m_bCreateFolder) {
            wchar_t folder[512];
            CopyText(folder, _countof(folder), m_szUserIniFile);
            CreateFolderPath(folder);
        }
        AppendPathSeparator(m_szUserIniFile, _countof(m_szUserIniFile));
        AppendText(m_szUserIniFile, _countof(m_szUserIniFile), m_szModuleName);
        AppendText(m_szUserIniFile, _countof(m_szUserIniFile), L".INI");
    }

    FormatW(m_szRegKey, _countof(m_szRegKey), L"SOFTWARE\\%s\\%s", L"Orvix", m_szProgramName);
    HKEY key = nullptr;
    m_bRegistry = FALSE;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, m_szRegKey, 0, KEY_READ | m_dwViewFlags, &key) == ERROR_SUCCESS) {
        m_bRegistry = TRUE;
        RegCloseKey(key);
    }
    AppendText(m_szRegKey, _countof(m_szRegKey), L"\\");
    AppendText(m_szRegKey, _countof(m_szRegKey), m_szModuleName);

    const wchar_t* names[] = {L"TMP", L"TEMP", L"APPDATA"};
    wchar_t* fields[] = {m_szTmp, m_szTemp, m_szAppData};
    for (int i = 0; i < 3; ++i)
        if (GetEnvironmentVariableW(names[i], fields[i], 512) >= 512)
            fields[i][0] = L'\0';
}

void CRegIniAccess::SectionKeyPath(wchar_t* dst, size_t capacity, const wchar_t* section) const
{
    if (section && section[0])
        FormatW(dst, capacity, L"%s\\%s", m_szRegKey, section);
    else
        CopyText(dst, capacity, m_szRegKey);
}

int CRegIniAccess::ReadIniValue(const wchar_t* section, const wchar_t* key, wchar_t* dst, DWORD capacity,
                                const wchar_t* file, const wchar_t* defaultText)
{
    if (!dst || capacity == 0)
        return 0;
    if (!defaultText)
        defaultText = L"";
    // One read, with the sentinel as its default, tells a missing key from a stored one; a
    // probe and then a read would open and check the file twice. A buffer too short for the
    // whole sentinel would cut it and tell nothing: such a read probes first.
    if (file && file[0] && capacity > wcslen(kSentinel)) {
        GetPrivateProfileStringW(section, key, kSentinel, dst, capacity, file);
        if (wcscmp(dst, kSentinel) != 0)
            return 1;
        CopyText(dst, capacity, defaultText);
        return 0;
    }
    if (!IniKeyExists(file, section, key)) {
        CopyText(dst, capacity, defaultText);
        return 0;
    }
    GetPrivateProfileStringW(section, key, defaultText, dst, capacity, file);
    return 1;
}

int CRegIniAccess::ReadRaw(const wchar_t* section, const wchar_t* key, wchar_t* dst, DWORD capacity,
                           const wchar_t* defaultText)
{
    if (!defaultText)
        defaultText = L"";
    dst[0] = L'\0';
    if (m_bRegistry) {
        wchar_t path[512];
        SectionKeyPath(path, _countof(path), section);
        // A read never creates the key; a missing one gives the default like a missing value.
        if (OpenExistingKey(HKEY_CURRENT_USER, path) != ERROR_SUCCESS) {
            CopyText(dst, capacity, defaultText);
            return 0;
        }
        int found = CRegTool::ReadString(key, dst, capacity, defaultText);
        CloseKey();
        return found ? 1 : 0;
    }
    if (!section || !section[0]) {
        int found = IniKeyExists(m_szProgramIniFile, m_szModuleName, key) ? 1 : 0;
        GetPrivateProfileStringW(m_szModuleName, key, defaultText, dst, capacity, m_szProgramIniFile);
        return found;
    }
    if (ReadIniValue(section, key, dst, capacity, m_szUserIniFile, defaultText))
        return 1;
    return ReadIniValue(section, key, dst, capacity, m_szIniFile, defaultText);
}

const wchar_t* CRegIniAccess::ReadString(const wchar_t* section, const wchar_t* key, BOOL unescape)
{
    thread_local wchar_t t_raw[kValue];
    thread_local wchar_t t_result[kValue];
    t_raw[0] = t_result[0] = L'\0';
    ReadRaw(section, key, t_raw, kValue - 1, L"");
    if (unescape)
        UnescapeSettingText(t_result, kValue, t_raw);
    else
        CopyText(t_result, kValue, t_raw);
    DecodeUnicodeSetting(t_result, kValue);
    return t_result;
}

const wchar_t* CRegIniAccess::ReadStringDefault(const wchar_t* section, const wchar_t* key, const wchar_t* defaultText)
{
    thread_local wchar_t t_result[kValue];
    ReadRaw(section, key, t_result, kValue - 1, defaultText);
    DecodeUnicodeSetting(t_result, kValue);
    return t_result;
}

const wchar_t* CRegIniAccess::ReadProfileString(int profile, const wchar_t* section, const wchar_t* key,
                                                const wchar_t* defaultText)
{
    thread_local wchar_t t_result[kValue];
    if (!defaultText)
        defaultText = L"";
    if (!section)
        section = L"";
    wchar_t profileSection[64];
    FormatW(profileSection, _countof(profileSection), L"%s_Profile%d", section, profile);
    t_result[0] = L'\0';
    bool found = false;
    if (m_bRegistry) {
        // Profile writes land in "<section>_Profile<n>"; "Profile<n>\<section>" is where
        // earlier versions looked, so values stored there still count.
        wchar_t paths[3][512];
        SectionKeyPath(paths[0], 512, profileSection);
        FormatW(paths[1], 512, L"%s\\Profile%d\\%s", m_szRegKey, profile, section);
        SectionKeyPath(paths[2], 512, section);
        for (auto& path : paths) {
            if (OpenExistingKey(HKEY_CURRENT_USER, path) != ERROR_SUCCESS)
                continue;
            found = ValueExists(key) && CRegTool::ReadString(key, t_result, kValue - 1, defaultText);
            CloseKey();
            if (found)
                break;
        }
    } else {
        const wchar_t* sections[] = {profileSection, profileSection, section, section};
        const wchar_t* files[] = {m_szUserIniFile, m_szIniFile, m_szUserIniFile, m_szIniFile};
        for (int i = 0; i < 4 && !found; ++i)
            found = ReadIniValue(sections[i], key, t_result, kValue - 1, files[i], defaultText) != 0;
    }
    if (!found)
        CopyText(t_result, kValue, defaultText);
    DecodeUnicodeSetting(t_result, kValue);
    return t_result;
}

DWORD CRegIniAccess::ReadDword(const wchar_t* section, const wchar_t* key)
{
    DWORD value = 0;
    if (m_bRegistry) {
        wchar_t path[512];
        SectionKeyPath(path, _countof(path), section);
        if (OpenExistingKey(HKEY_CURRENT_USER, path) == ERROR_SUCCESS) {
            CRegTool::ReadDword(key, &value, 0);
            CloseKey();
        }
        return value;
    }
    if (!section || !section[0]) {
        if (!GetPrivateProfileStructW(m_szModuleName, key, &value, sizeof(value), m_szProgramIniFile))
            value = 0;
        return value;
    }
    if (m_szUserIniFile[0] && GetPrivateProfileStructW(section, key, &value, sizeof(value), m_szUserIniFile))
        return value;
    if (!GetPrivateProfileStructW(section, key, &value, sizeof(value), m_szIniFile))
        value = 0;
    return value;
}

int CRegIniAccess::StoreText(const wchar_t* section, const wchar_t* key, const wchar_t* stored, bool onlyWhenMissing)
{
    if (m_bRegistry) {
        wchar_t path[512];
        SectionKeyPath(path, _countof(path), section);
        if (OpenKey(HKEY_CURRENT_USER, path) != ERROR_SUCCESS)
            return 0;
        int result = 1;
        if (!(onlyWhenMissing && ValueExists(key)))
            result = CRegTool::WriteString(key, stored) == ERROR_SUCCESS ? 1 : 0;
        CloseKey();
        return result;
    }
    if (!section || !section[0]) {
        if (onlyWhenMissing && IniKeyExists(m_szProgramIniFile, m_szModuleName, key))
            return 1;
        return WriteIniText(m_szProgramIniFile, m_szModuleName, key, stored) ? 1 : 0;
    }
    if (HasUser()) {
        if (onlyWhenMissing && IniKeyExists(m_szUserIniFile, section, key))
            return 1;
        if (WriteIniText(m_szUserIniFile, section, key, stored))
            return 1;
    }
    if (onlyWhenMissing && IniKeyExists(m_szIniFile, section, key))
        return 1;
    if (!WriteIniText(m_szIniFile, section, key, stored))
        return 0;
    // Reads look in the per-user INI first: an old value that could not be replaced there
    // still hides the one just written.
    return IniKeyExists(m_szUserIniFile, section, key) ? 0 : 1;
}

int CRegIniAccess::StoreDword(const wchar_t* section, const wchar_t* key, DWORD value, bool onlyWhenMissing)
{
    if (m_bRegistry) {
        wchar_t path[512];
        SectionKeyPath(path, _countof(path), section);
        if (OpenKey(HKEY_CURRENT_USER, path) != ERROR_SUCCESS)
            return 0;
        DWORD existing = 0;
        int result = 1;
        if (!(onlyWhenMissing && CRegTool::ReadDword(key, &existing, 0)))
            result = CRegTool::WriteDword(key, value) == ERROR_SUCCESS ? 1 : 0;
        CloseKey();
        return result;
    }
    if (!section || !section[0]) {
        if (onlyWhenMissing && IniDwordExists(m_szProgramIniFile, m_szModuleName, key))
            return 1;
        return WriteIniDword(m_szProgramIniFile, m_szModuleName, key, value) ? 1 : 0;
    }
    if (HasUser()) {
        if (onlyWhenMissing && IniDwordExists(m_szUserIniFile, section, key))
            return 1;
        if (WriteIniDword(m_szUserIniFile, section, key, value))
            return 1;
    }
    if (onlyWhenMissing && IniDwordExists(m_szIniFile, section, key))
        return 1;
    if (!WriteIniDword(m_szIniFile, section, key, value))
        return 0;
    return IniDwordExists(m_szUserIniFile, section, key) ? 0 : 1;
}

int CRegIniAccess::WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* text)
{
    thread_local wchar_t t_staged[kValue - 1];
    EncodeSettingText(t_staged, _countof(t_staged), text);
    return StoreText(section, key, t_staged, false);
}

int CRegIniAccess::WriteStringDefault(const wchar_t* section, const wchar_t* key, const wchar_t* text)
{
    // Staged like WriteString, "#UNI#" form included: an ANSI INI file would otherwise keep
    // '?' for every character outside its code page.
    thread_local wchar_t t_staged[kValue - 1];
    EncodeSettingText(t_staged, _countof(t_staged), text);
    return StoreText(section, key, t_staged, true);
}

int CRegIniAccess::WriteInt(const wchar_t* section, const wchar_t* key, int value)
{
    wchar_t text[32];
    FormatW(text, _countof(text), L"%d", value);
    return WriteString(section, key, text);
}

int CRegIniAccess::WriteIntDefault(const wchar_t* section, const wchar_t* key, int value)
{
    wchar_t text[32];
    FormatW(text, _countof(text), L"%d", value);
    return WriteStringDefault(section, key, text);
}

int CRegIniAccess::WriteFormattedV(const wchar_t* section, const wchar_t* key, const wchar_t* format, va_list args,
                                   bool onlyWhenMissing)
{
    thread_local wchar_t t_text[kValue - 1];
    FormatVW(t_text, _countof(t_text), format ? format : L"", args);
    return onlyWhenMissing ? WriteStringDefault(section, key, t_text) : WriteString(section, key, t_text);
}

int CRegIniAccess::WriteFormatted(const wchar_t* section, const wchar_t* key, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int result = WriteFormattedV(section, key, format, args, false);
    va_end(args);
    return result;
}

int CRegIniAccess::WriteFormattedDefault(const wchar_t* section, const wchar_t* key, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int result = WriteFormattedV(section, key, format, args, true);
    va_end(args);
    return result;
}

int CRegIniAccess::WriteQuotedString(const wchar_t* section, const wchar_t* key, const wchar_t* text)
{
    thread_local wchar_t t_quoted[kValue - 1];
    if (!text || text[0] != L'"')
        return WriteString(section, key, text);
    FormatW(t_quoted, _countof(t_quoted), L"\"%s\"", text);
    return WriteString(section, key, t_quoted);
}

int CRegIniAccess::WriteProfileInt(int profile, const wchar_t* section, const wchar_t* key, int value)
{
    wchar_t profileSection[64];
    FormatW(profileSection, _countof(profileSection), L"%s_Profile%d", section ? section : L"", profile);
    return WriteInt(profileSection, key, value);
}

int CRegIniAccess::WriteProfileFormatted(int profile, const wchar_t* section, const wchar_t* key,
                                         const wchar_t* format, ...)
{
    wchar_t profileSection[64];
    FormatW(profileSection, _countof(profileSection), L"%s_Profile%d", section ? section : L"", profile);
    va_list args;
    va_start(args, format);
    int result = WriteFormattedV(profileSection, key, format, args, false);
    va_end(args);
    return result;
}

int CRegIniAccess::WriteDword(const wchar_t* section, const wchar_t* key, DWORD value)
{
    return StoreDword(section, key, value, false);
}

int CRegIniAccess::WriteDwordDefault(const wchar_t* section, const wchar_t* key, DWORD value)
{
    return StoreDword(section, key, value, true);
}

BOOL CRegIniAccess::DeleteIniFile() { return DeleteFileW(m_szIniFile); }

void CRegIniAccess::UseProgramIniFile()
{
    wchar_t folder[512];
    CopyText(folder, _countof(folder), GetModuleFolder());
    wchar_t pattern[512];
    FormatW(pattern, _countof(pattern), L"%s*.EXE", folder);
    wchar_t program[512];
    CopyText(program, _countof(program), m_szProgramName);
    CharUpperW(program);
    const wchar_t* excluded[] = {program, L"REGISTER", L"ZUPDRA", L"REMOVE", L"QORHELP"};
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        wchar_t upper[MAX_PATH];
        CopyText(upper, _countof(upper), found.cFileName);
        CharUpperW(upper);
        bool skip = false;
        for (const wchar_t* word : excluded)
            skip = skip || (word[0] && wcsstr(upper, word));
        size_t length = wcslen(found.cFileName);
        if (skip || length < 3)
            continue;
        wchar_t path[512];
        FormatW(path, _countof(path), L"%s%s", folder, found.cFileName);
        size_t end = wcslen(path);
        if (end >= 3)
            CopyText(path + end - 3, 4, L"INI");
        CopyText(m_szIniFile, _countof(m_szIniFile), path);
        CopyText(m_szProgramIniFile, _countof(m_szProgramIniFile), path);
        break;
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

void CRegIniAccess::UseProgramIniAsUserIni()
{
    CopyText(m_szUserIniFile, _countof(m_szUserIniFile), m_szProgramIniFile);
}
