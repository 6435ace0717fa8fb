#include "foundation/SharedMem.h"

#include "foundation/Checksums.h"
#include "foundation/Format.h"
#include "foundation/PathTools.h"
#include "foundation/SecurityTools.h"

#include <cwchar>

namespace {
// Where the view points when no mapping could be made: writes are then seen by nobody else.
volatile DWORD g_privateBlock[4];
}  // namespace

volatile DWORD* g_pSharedMemView = g_privateBlock;
wchar_t g_szSharedMemPrefix[512] = L"";

CSharedMem::CSharedMem(DWORD addUserName)
    : m_bMapped(0), m_bAddUserName(addUserName), m_bAddFolderChecksum(0), m_hMapping(nullptr), m_bCreated(0)
{
}

CSharedMem::~CSharedMem()
{
    Close();
}

void CSharedMem::BuildName(wchar_t* name, size_t capacity, DWORD addUserName, DWORD addFolderChecksum,
                           const wchar_t* callerText)
{
    CopyText(name, capacity, g_szSharedMemPrefix);
    if (addUserName) {
        wchar_t user[128] = L"";
        DWORD size = _countof(user);
        if (!GetUserNameW(user, &size))
            user[0] = L'\0';
        user[_countof(user) - 1] = L'\0';
        AppendText(name, capacity, user);
    }
    CSimpleCRC crc;
    wchar_t number[16];
    if (addFolderChecksum) {
        wchar_t folder[1024];
        CopyText(folder, _countof(folder), GetModuleFolderOf(nullptr));
        size_t len = wcslen(folder);
        if (len && folder[len - 1] == L'\\')
            folder[--len] = L'\0';
        CharUpperW(folder);
        FormatW(number, _countof(number), L"%d", static_cast<int>(crc.CalculateString(folder, len * sizeof(wchar_t))));
        AppendText(name, capacity, number);
    }
    if (callerText) {
        FormatW(number, _countof(number), L"%d",
                static_cast<int>(crc.CalculateString(callerText, wcslen(callerText) * sizeof(wchar_t))));
        AppendText(name, capacity, number);
    }
}

void CSharedMem::Open(DWORD addUserName, DWORD addFolderChecksum, const wchar_t* callerText)
{
    if (!m_bAddUserName)
        m_bAddUserName = addUserName;
    if (!m_bAddFolderChecksum)
        m_bAddFolderChecksum = addFolderChecksum;
    Close();
    wchar_t name[512];
    BuildName(name, _countof(name), m_bAddUserName, m_bAddFolderChecksum, callerText);

    m_bCreated = 0;
    SetLastError(0);
    m_hMapping = OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, TRUE, name);
    if (!m_hMapping) {
        // The block is the user's own (SYSTEM and the Administrators aside): other accounts have
        // no business in it. Default security when those attributes are refused.
        SetLastError(0);
        m_hMapping = CreateFileMappingW(INVALID_HANDLE_VALUE, GetNullDaclSecurityAttributes(), PAGE_READWRITE, 0, 16, name);
        if (!m_hMapping) {
            SetLastError(0);
            m_hMapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 16, name);
        }
        // Another process may have created it between the two calls: then its data is live.
        m_bCreated = m_hMapping && GetLastError() != ERROR_ALREADY_EXISTS ? 1 : 0;
    }
    void* view = m_hMapping ? MapViewOfFile(m_hMapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0) : nullptr;
    if (view) {
        if (m_bCreated)
            ZeroMemory(view, 16);
        g_pSharedMemView = static_cast<volatile DWORD*>(view);
        m_bMapped = 1;
    } else {
        if (m_hMapping) {
            CloseHandle(m_hMapping);
            m_hMapping = nullptr;
        }
        g_pSharedMemView = g_privateBlock;
    }
}

void CSharedMem::Close()
{
    if (!m_bMapped)
        return;
    void* view = const_cast<DWORD*>(g_pSharedMemView);
    // Readers keep a valid block: the private one takes over before the view goes.
    g_pSharedMemView = g_privateBlock;
    UnmapViewOfFile(view);
    CloseHandle(m_hMapping);
    m_hMapping = nullptr;
    m_bMapped = 0;
}
