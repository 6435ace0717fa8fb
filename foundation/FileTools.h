// Single files: sizes and times, text files in ANSI, UTF-8 or UTF-16, and files copied into
// and removed from the Windows folders.
#pragma once

#include <windows.h>

DWORD GetFileSizeByName(const wchar_t* path);
// Last-write time as a 64-bit FILETIME number; 0 when the file cannot be opened.
ULONGLONG GetFileWriteTime(const wchar_t* path);
// Last-write time in UTC as "YYYY-MM-DD hh:mm:ss"; "" when the file cannot be opened.
const wchar_t* GetFileTimeText(const wchar_t* path);
const wchar_t* GetFileTimeText2(const wchar_t* path);
void CreateFileIfMissing(const wchar_t* path);

// Text files: overwrite or append; LF is written as CR LF; no terminator goes into the file.
// With show set the file is opened in Notepad. Nonzero when the whole text was written.
int WriteTextFile(const wchar_t* path, const wchar_t* text, BOOL show, BOOL overwrite);  // ANSI code page
int WriteUtf8File(const wchar_t* path, const wchar_t* text, BOOL show, BOOL overwrite);
int WriteWideFile(const wchar_t* path, const wchar_t* text, BOOL show, BOOL overwrite);  // UTF-16LE

// Copies B, A into the system folder and the help file C into the Windows "help" folder
// (each may be null); nothing when the program runs from the system folder. Returns the
// last copy's result.
BOOL InstallFilesToSystem(const wchar_t* fileA, const wchar_t* fileB, const wchar_t* helpFile);
BOOL RemoveFilesFromSystem(const wchar_t* fileA, const wchar_t* fileB, const wchar_t* helpFile);
