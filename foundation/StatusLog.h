// The host's status report: "StatusReport.ini", where each write refreshes a section with the
// time, user, product name and process ID beside its key, and "ErrorLog.txt", to which every
// text holding ".Error." is appended.
#pragma once

#include <windows.h>

class CStatusLog {
public:
    // useProgramFolder: the reports lie in the program folder, else in the per-user LOG folder.
    explicit CStatusLog(DWORD useProgramFolder = 0);
    virtual ~CStatusLog() = default;

    void Init();
    void WriteFormatted(const wchar_t* section, const wchar_t* key, const wchar_t* format, ...);
    void WriteText(const wchar_t* section, const wchar_t* key, const wchar_t* text);
    const wchar_t* ReadValue(const wchar_t* section, const wchar_t* key);
    void UpdateTime();
    void RegisterReportFile();
    // Where a support client's list is looked for (the installed support client's plug-in
    // folder); tests point it elsewhere.
    void SetSupportClientFolder(const wchar_t* folder);

    const wchar_t* GetReportFile() const { return m_szReportFile; }
    const wchar_t* GetErrorLogFile() const { return m_szErrorLogFile; }

private:
    void WriteRecord(const wchar_t* section, const wchar_t* key);

    wchar_t m_szReportFile[260];
    wchar_t m_szErrorLogFile[260];
    wchar_t m_szUser[64];
    wchar_t m_szTime[64];
    wchar_t m_szProcId[64];
    wchar_t m_szProductName[64];
    wchar_t m_szRecord[512];
    DWORD m_bUseProgramFolder;
    wchar_t m_szSupportFolder[260];
};
