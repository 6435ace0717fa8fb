// The name of the host's shared block: one per user and program folder.
#pragma once

#include <windows.h>

// "Local\SharedMemQorServer%d%s": the CRC-32 of the folder text's UTF-16 bytes (without the
// terminator) as a signed number, and the user name in upper case (at most 126 characters).
void BuildSharedMemName(wchar_t* name, size_t capacity, const wchar_t* programFolder, const wchar_t* userName);
