#include "foundation/VersionTool.h"

#include "foundation/Format.h"

#include <cstring>
#include <io.h>
#include <vector>

namespace {

// Languages and code pages looked for, in this order.
const wchar_t* const kTranslations[] = {L"040704b0", L"040704e4", L"040904b0", L"000004b0"};

void FormatVersion(wchar_t* dst, size_t capacity, DWORD ms, DWORD ls)
{
    FormatW(dst, capacity, L"%d.%d.%d.%d", HIWORD(ms), LOWORD(ms), HIWORD(ls), LOWORD(ls));
}

void ReadEntry(const void* block, const wchar_t* entry, wchar_t* dst, size_t capacity)
{
    for (const wchar_t* translation : kTranslations) {
        wchar_t query[96];
        FormatW(query, _countof(query), L"\\StringFileInfo\\%s\\%s", translation, entry);
        void* value = nullptr;
        UINT length = 0;
        if (VerQueryValueW(block, query, &value, &length) && value) {
            CopyTextN(dst, capacity, static_cast<const wchar_t*>(value), length);
            return;
        }
    }
}

}  // namespace

CVersionTool::CVersionTool() { Clear(); }

CVersionTool::CVersionTool(const wchar_t* path)
{
    Clear();
    ReadVersionInfo(path);
}

CVersionTool::CVersionTool(HMODULE module)
{
    Clear();
    ReadModuleVersionInfo(module);
}

CVersionTool::~CVersionTool() = default;

void CVersionTool::Clear()
{
    memset(&m_FixedInfo, 0, sizeof(m_FixedInfo));
    m_szProductVersion[0] = m_szFileVersion[0] = L'\0';
    m_szFileDescription[0] = m_szProductName[0] = m_szComments[0] = m_szOriginalFilename[0] = L'\0';
}

void CVersionTool::ReadVersionInfo(const wchar_t* path)
{
    // The fixed part goes too: left as it was it would report the previous file's version.
    Clear();
    if (!path || _waccess(path, 0) != 0)
        return;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0)
        return;
    std::vector<BYTE> block;
    try {
        block.resize(size + 4);
    } catch (...) {
        return;
    }
    if (!GetFileVersionInfoW(path, 0, size, block.data()))
        return;
    void* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", &fixed, &length) && fixed && length >= sizeof(m_FixedInfo)) {
        memcpy(&m_FixedInfo, fixed, sizeof(m_FixedInfo));
        FormatVersion(m_szProductVersion, _countof(m_szProductVersion), m_FixedInfo.dwProductVersionMS,
                      m_FixedInfo.dwProductVersionLS);
        FormatVersion(m_szFileVersion, _countof(m_szFileVersion), m_FixedInfo.dwFileVersionMS,
                      m_FixedInfo.dwFileVersionLS);
    }
    ReadEntry(block.data(), L"FileDescription", m_szFileDescription, _countof(m_szFileDescription));
    ReadEntry(block.data(), L"ProductName", m_szProductName, _countof(m_szProductName));
    ReadEntry(block.data(), L"Comments", m_szComments, _countof(m_szComments));
    ReadEntry(block.data(), L"OriginalFilename", m_szOriginalFilename, _countof(m_szOriginalFilename));
}

void CVersionTool::ReadModuleVersionInfo(HMODULE module)
{
    wchar_t path[260];
    DWORD n = GetModuleFileNameW(module, path, _countof(path));
    if (n == 0 || n >= _countof(path)) {
        Clear();
        return;
    }
    path[n] = L'\0';
    ReadVersionInfo(path);
}
