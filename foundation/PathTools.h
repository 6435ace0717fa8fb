// Path texts: separators, path pieces, relative and absolute paths, the program's own paths,
// the shell folders and the INI helpers of the program's and the user's folders.
//
// Paths are UTF-16 texts of at most 511 characters. Functions that return text return a
// buffer of their own per thread, valid until the next call of the same function there.
#pragma once

#include <windows.h>

#include <cstddef>

// Separators and path pieces. size is the destination's capacity in characters.
void AppendPathSeparator(wchar_t* path, size_t size);
void AppendSlash(wchar_t* text, size_t size);
void StripTrailingBackslash(wchar_t* path);
void StripTrailingSlash(wchar_t* text);
void TrimLeadingPathChars(wchar_t* path, size_t size);
const wchar_t* QuotePath(const wchar_t* path);
// Appends a name (a product name, say) as one folder of a path, followed by '\': a name
// shorter than two characters is skipped, one ending in a single blank loses that blank and
// keeps its inner blanks, one ending in two blanks is skipped, any other loses all blanks.
void AppendPathElement(wchar_t* dst, size_t size, const wchar_t* element);
// Drive and folder upper-cased; name and extension upper-cased for a folder, else lower-cased.
void NormalizePathCase(wchar_t* path);
// A path below the base folder becomes ".\rest" (in place; the path only gets shorter).
void MakeRelativePath(const wchar_t* base, wchar_t* path);
// A path beginning with '.' is put below the base folder (at most 259 characters).
const wchar_t* MakeAbsolutePath(const wchar_t* base, const wchar_t* path);

// The program and its modules.
const wchar_t* GetModulePath();
const wchar_t* GetModuleFolder();
const wchar_t* GetModuleFolderOf(HMODULE module);
const wchar_t* GetModuleIniPath(HMODULE module);
const wchar_t* GetProgramName();
// Name without folder and extension of the module this code is linked into (the EXE, or the
// plug-in library). Spelled apart from psapi.h's GetModuleBaseName macro, which would
// otherwise rename it to GetModuleBaseNameW wherever psapi.h comes first.
const wchar_t* GetOwnModuleBaseName();
// The module this code is linked into.
HMODULE GetOwnModule();
const wchar_t* GetFileNameWithExtension(const wchar_t* path);
const wchar_t* GetSemFilePath(const wchar_t* path);
const wchar_t* AppendProgramName(const wchar_t* text);
const wchar_t* GetUserComputerName();

// Shell folders as the shell gives them (no trailing '\'); "" when the shell has none.
const wchar_t* GetAppDataFolder();
const wchar_t* GetLocalAppDataFolder();
const wchar_t* GetDesktopFolder();
const wchar_t* GetStartupFolder();
const wchar_t* GetStartMenuFolder();
const wchar_t* GetProgramFilesFolder();
const wchar_t* GetProgramFilesFolder2();
const wchar_t* GetCommonAppDataFolder();
const wchar_t* GetCommonDesktopFolder();
const wchar_t* GetCommonStartupFolder();
const wchar_t* GetCommonStartMenuFolder();
const wchar_t* GetProgramFilesX86Folder();

// Files in the program's and the user's folders.
const wchar_t* GetAppDataFilePath(const wchar_t* fileName);
const wchar_t* FindWritableIniFile(const wchar_t* fileName);
BOOL WriteIniTestEntry(const wchar_t* file);
int ReadIniNumber(const wchar_t* section, const wchar_t* key, const wchar_t* file);
BOOL WriteIniNumber(const wchar_t* section, const wchar_t* key, const wchar_t* file, int value);
