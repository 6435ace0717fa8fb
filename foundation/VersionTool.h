// The version block of a program file or loaded module: the fixed numeric part and four text
// entries of its string table.
#pragma once

#include <windows.h>

#include "foundation/DataFolder.h"

class CVersionTool {
public:
    CVersionTool();
    explicit CVersionTool(const wchar_t* path);
    // A null module reads the program's EXE.
    explicit CVersionTool(HMODULE module);
    virtual ~CVersionTool();

    // (Re)reads the block; a file without one leaves every field zero or empty, so nothing of
    // a file read before shows through.
    void ReadVersionInfo(const wchar_t* path);
    void ReadModuleVersionInfo(HMODULE module);

    const wchar_t* GetFileDescription() const { return m_szFileDescription; }
    const wchar_t* GetProductName() const { return m_szProductName; }
    const wchar_t* GetComments() const { return m_szComments; }
    const wchar_t* GetOriginalFilename() const { return m_szOriginalFilename; }
    const wchar_t* GetFileVersion() const { return m_szFileVersion; }
    const wchar_t* GetProductVersion() const { return m_szProductVersion; }
    DWORD GetFileVersionMS() const { return m_FixedInfo.dwFileVersionMS; }
    const VS_FIXEDFILEINFO& GetFixedInfo() const { return m_FixedInfo; }

private:
    void Clear();

    VS_FIXEDFILEINFO m_FixedInfo;
    wchar_t m_szProductVersion[32];
    wchar_t m_szFileVersion[32];
    wchar_t m_szFileDescription[128];
    wchar_t m_szProductName[128];
    wchar_t m_szComments[128];
    wchar_t m_szOriginalFilename[128];
};
