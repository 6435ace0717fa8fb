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

void CStatusLog::WriteRecord(const wchar_t* section, const wchar_t* key)
{
    WritePrivateProfileStringW(section, L"Time", m_szTime, m_szReportFile);
    WritePrivateProfileStringW(section, L"User", m_szUser, m_szReportFile);
    WritePrivateProfileStringW(section, L"ProductName", m_szProductName, m_szReportFile);
    WritePrivateProfileStringW(section, L"ProcID", m_szProcId, m_szReportFile);
    // Texts from other programs may hold line breaks, which would add lines of their own to
    // the INI file: the stored value keeps them as blanks.
    wchar_t value[512];
    CopyText(value, _countof(value), m_szRecord);
    for (wchar_t* p = value; *p; ++p)
        if (*p == L'\r' || *p == L'\n')
            *p = L' ';
    WritePrivateProfileStringW(section, key, value, m_szReportFile);
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
