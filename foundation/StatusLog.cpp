#include "foundation/StatusLog.h"

#include "foundation/DataFolder.h"
#include "foundation/Format.h"
#include "foundation/PathTools.h"
#include "foundation/Seams.h"
#include "foundation/TextUtils.h"
#include "foundation/VersionTool.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

CStatusLog::CStatusLog(DWORD useProgramFolder)
    : m_szReportFile{}, m_szErrorLogFile{}, m_szUser{}, m_szTime{}, m_szProcId{}, m_szProductName{}, m_szRecord{},
      m_bUseProgramFolder(useProgramFolder), m_szSupportFolder{}
{
    Init();
}

void CStatusLog::Init()
{
    wchar_t folder[260];
    if (m_bUseProgramFolder)
        CopyText(folder, _countof(folder), GetModuleFolder());
    else
        CopyText(folder, _countof(folder), GetDataFolder(L"LOG"));
    AppendPathSeparator(folder, _countof(folder));
    FormatW(m_szReportFile, _countof(m_szReportFile), L"%sStatusReport.ini", folder);
    FormatW(m_szErrorLogFile, _countof(m_szErrorLogFile), L"%sErrorLog.txt", folder);
    DWORD size = _countof(m_szUser);
    if (!GetUserNameW(m_szUser, &size))
        m_szUser[0] = L'\0';
    m_szUser[_countof(m_szUser) - 1] = L'\0';
    CVersionTool version(static_cast<HMODULE>(nullptr));
    CopyText(m_szProductName, _countof(m_szProductName), version.GetProductName());
    TrimBlanks(m_szProductName);
    FormatW(m_szProcId, _countof(m_szProcId), L"%d", static_cast<int>(GetCurrentProcessId()));
    FormatW(m_szSupportFolder, _countof(m_szSupportFolder), L"%s\\Orvix\\Quorlan Support Client\\PluginExtra",
            GetProgramFilesX86Folder());
}

void CStatusLog::SetSupportClientFolder(const wchar_t* folder)
{
    CopyText(m_szSupportFolder, _countof(m_szSupportFolder), folder);
}

void CStatusLog::UpdateTime()
{
    SYSTEMTIME t;
    g_pfnGetSystemTime(&t);
    FormatW(m_szTime, _countof(m_szTime), L"%04d-%02d-%02d %02d:%02d:%02d UTC", t.wYear, t.wMonth, t.wDay, t.wHour,
            t.wMinute, t.wSecond);
}

namespace {

// Writes the given keys of a section in one write, its other keys kept as they are: each
// WritePrivateProfileStringW rewrites the whole file. False only where the section is too
// large to read whole; the caller then writes key by key. A write that fails is not tried
// again key by key, as the records' writes never were.
bool WriteSectionKeys(const wchar_t* section, const wchar_t* const* names, const wchar_t* const* values, size_t count,
                      const wchar_t* file)
{
    std::vector<wchar_t> old(8192);
    DWORD length = GetPrivateProfileSectionW(section, old.data(), static_cast<DWORD>(old.size()), file);
    if (length >= old.size() - 2)
        return false;
    old[length] = L'\0';
    old[length + 1] = L'\0';
    std::vector<bool> written(count, false);
    std::wstring lines;
    auto append = [&](const wchar_t* name, const wchar_t* value) {
        lines += name;
        lines += L'=';
        lines += value;
        lines += L'\0';
    };
    // "key=value" lines, each ended by a NUL, the last by two.
    for (const wchar_t* line = old.data(); *line; line += wcslen(line) + 1) {
        const wchar_t* equals = wcschr(line, L'=');
        std::wstring name(line, equals ? static_cast<size_t>(equals - line) : wcslen(line));
        size_t i = 0;
        while (i < count && (written[i] || lstrcmpiW(name.c_str(), names[i]) != 0))
            ++i;
        if (i < count) {
            append(name.c_str(), values[i]);
            written[i] = true;
        } else if (equals) {
            lines += line;
            lines += L'\0';
        }
    }
    for (size_t i = 0; i < count; ++i)
        if (!written[i])
            append(names[i], values[i]);
    lines += L'\0';
    WritePrivateProfileSectionW(section, lines.c_str(), file);
    return true;
}

}  // namespace

void CStatusLog::WriteRecord(const wchar_t* section, const wchar_t* key)
{
    // Texts from other programs may hold line breaks, which would add lines of their own to
    // the INI file: the stored value keeps them as blanks.
    wchar_t value[512];
    CopyText(value, _countof(value), m_szRecord);
    for (wchar_t* p = value; *p; ++p)
        if (*p == L'\r' || *p == L'\n')
            *p = L' ';
    const wchar_t* const names[] = {L"Time", L"User", L"ProductName", L"ProcID", key};
    const wchar_t* values[] = {m_szTime, m_szUser, m_szProductName, m_szProcId, value};
    // A record whose key is one of the four keeps its own value there, as it did when the key
    // was written last.
    size_t count = _countof(names);
    for (size_t i = 0; i + 1 < _countof(names); ++i)
        if (!lstrcmpiW(key, names[i])) {
            values[i] = value;
            count = _countof(names) - 1;
        }
    if (!WriteSectionKeys(section, names, values, count, m_szReportFile))
        for (size_t i = 0; i < count; ++i)
            WritePrivateProfileStringW(section, names[i], values[i], m_szReportFile);
    if (wcsstr(m_szRecord, L".Error.")) {
        FILE* f = _wfopen(m_szErrorLogFile, L"at");
        if (f) {
            fputws(m_szRecord, f);
            fclose(f);
        }
    }
}

void CStatusLog::WriteText(const wchar_t* section, const wchar_t* key, const wchar_t* text)
{
    CopyText(m_szRecord, _countof(m_szRecord), text);
    UpdateTime();
    WriteRecord(section, key);
}

void CStatusLog::WriteFormatted(const wchar_t* section, const wchar_t* key, const wchar_t* format, ...)
{
    UpdateTime();
    va_list args;
    va_start(args, format);
    FormatVW(m_szRecord, _countof(m_szRecord), format, args);
    va_end(args);
    WriteRecord(section, key);
}

const wchar_t* CStatusLog::ReadValue(const wchar_t* section, const wchar_t* key)
{
    thread_local wchar_t t_value[259];
    GetPrivateProfileStringW(section, key, L"", t_value, _countof(t_value), m_szReportFile);
    t_value[_countof(t_value) - 1] = L'\0';
    return t_value;
}

void CStatusLog::RegisterReportFile()
{
    DWORD attributes = GetFileAttributesW(m_szSupportFolder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    wchar_t ini[300];
    FormatW(ini, _countof(ini), L"%s\\PluginExtraMendra.INI", m_szSupportFolder);
    int firstFree = -1;
    for (int n = 0; n < 50; ++n) {
        wchar_t key[32], value[259] = L"";
        FormatW(key, _countof(key), L"ReportFile%03d", n);
        GetPrivateProfileStringW(L"General", key, L"", value, _countof(value), ini);
        if (value[0] && lstrcmpiW(value, m_szReportFile) == 0)
            return;
        if (!value[0] && firstFree < 0)
            firstFree = n;
    }
    if (firstFree < 0)
        return;
    wchar_t key[32];
    FormatW(key, _countof(key), L"ReportFile%03d", firstFree);
    WritePrivateProfileStringW(L"General", key, m_szReportFile, ini);
}
