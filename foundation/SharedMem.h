// The named 16-byte shared block through which the host and other programs of the desktop
// see each other. Readers use g_pSharedMemView directly; it is never null.
#pragma once

#include <windows.h>

// The 16 bytes: request flag, plug-in ID of an open settings page, host-running flag, main
// window handle; each a 32-bit value written whole.
extern volatile DWORD* g_pSharedMemView;
// The name prefix that the user fills before Open (at most 511 characters).
extern wchar_t g_szSharedMemPrefix[512];

class CSharedMem {
public:
    explicit CSharedMem(DWORD addUserName = 0);
    virtual ~CSharedMem();
    CSharedMem(const CSharedMem&) = delete;
    CSharedMem& operator=(const CSharedMem&) = delete;

    void Open(DWORD addUserName, DWORD addFolderChecksum, const wchar_t* callerText);
    void Close();
    // The object name that Open builds for these switches.
    static void BuildName(wchar_t* name, size_t capacity, DWORD addUserName, DWORD addFolderChecksum,
                          const wchar_t* callerText);

    DWORD IsMapped() const { return m_bMapped; }
    // 1 when Open created the mapping (and zeroed it) rather than opening another's.
    DWORD CreatedHere() const { return m_bCreated; }

private:
    DWORD m_bMapped;
    DWORD m_bAddUserName;
    DWORD m_bAddFolderChecksum;
    HANDLE m_hMapping;
    DWORD m_bCreated;
};
