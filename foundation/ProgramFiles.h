// The program's own files, folders and registry traces: updater replacement, folder trees,
// per-user data, Program Files leftovers and registered sub-keys.
#pragma once

#include <windows.h>

class CRegTool;

void WriteLogFile(const wchar_t* fileName, const wchar_t* text);
// Puts a downloaded updater in place; the download stays when the copy fails.
void ReplaceUpdaterProgram();
void ReplaceProgramFile(const wchar_t* subFolder, const wchar_t* source, const wchar_t* target);
void DeleteProgramFile(const wchar_t* subFolder, const wchar_t* file);
// Deletes the files below the folder (and, with the flag, the folders). Refuses an empty,
// relative or root path and any path holding "QuorlanSupport"; links are not followed.
// Returns 1 when it went ahead.
int DeleteFolderTree(const wchar_t* folder, BOOL removeFolders);
void DeleteUserDataFolders(const wchar_t* subPath);
void DeleteProgramFilesFolders(const wchar_t* first, const wchar_t* second);
void MoveProgramFilesFile(const wchar_t* source, const wchar_t* target);
const wchar_t* GetProgramIconPath();
const wchar_t* GetUrlProtocolCommand();
void InstallActPlugin();
// Deletes, in the 32-bit and then the 64-bit view, every sub-key of root\path whose value
// equals the text (ignoring case): all of them when highestVersion is 0, else those whose
// DWORD "Version" is nonzero and below it. Returns the number deleted.
int DeleteRegisteredSubkeys(HKEY root, const wchar_t* path, const wchar_t* valueName, const wchar_t* valueText,
                            DWORD highestVersion);
// 1 when the TAPI telephony plug-in of the maker's other product ("PluginTelephonyTapi.dll")
// is loaded in this process, so the two never drive one phone at once.
int IsTapiTelephonyPluginLoaded();
// Sets the accessor's extra access bits for its next opens (KEY_WOW64_32KEY, KEY_WOW64_64KEY
// or 0); a null accessor is ignored.
void SetAccessFlags(CRegTool* registry, DWORD flags);
void RememberStartTime();
void ShowStartTime(HWND dialog, int itemId);
