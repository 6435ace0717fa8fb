// Privileges, process termination and security attributes for named objects and files.
//
// No attributes here carry a null DACL: an object that everyone may open, change the rights
// of or take over is an open door on a shared machine.
#pragma once

#include <windows.h>

// Enables or disables one privilege on the token. 1 only when the change took effect
// (ERROR_NOT_ALL_ASSIGNED, a privilege the token lacks, counts as failure); 0 for an unknown
// name.
int EnablePrivilege(HANDLE token, const wchar_t* privilegeName, int enable);
// The same on the own process token, so that it takes effect for every thread of the process.
int AdjustOwnPrivilege(const wchar_t* privilegeName, int enable);
// Terminates the process (exit code 0) with SeDebugPrivilege enabled for the call; nonzero
// when it was terminated. 0 for ID 0.
int TerminateProcessById(DWORD processId);
// Gives Everyone and Administrators full access to the file or folder (taking ownership
// first when access is denied); 1 on success.
int GrantFileAccessToEveryone(const wchar_t* path);

// Default security, inheritable handle: for pipes and other handles a child process gets.
SECURITY_ATTRIBUTES* GetInheritableSecurityAttributes();
// A DACL that grants the current user, SYSTEM and the Administrators group full access and
// nobody else; not inheritable. For named objects that the user's own programs share,
// elevated or not.
SECURITY_ATTRIBUTES* GetUserSecurityAttributes();
// The attributes for the program's own kernel objects and files (shared block, threads,
// pipes, dump and time-stamp files): the DACL of GetUserSecurityAttributes, with an
// inheritable handle. Named after the open (null) DACL these once were; they are no longer.
SECURITY_ATTRIBUTES* GetNullDaclSecurityAttributes();
// A DACL that grants the Everyone group full access (0x1FFFFF); not inheritable.
SECURITY_ATTRIBUTES* GetEveryoneSecurityAttributes();
