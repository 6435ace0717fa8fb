// Folder trees: tests, creation of every missing folder of a path, removal of contents and of
// empty parents.
#pragma once

#include <windows.h>

// The attributes that FindFirstFileW/FindNextFileW gave for the entry at path (the default
// of g_pfnDirectoryEntryAttributes).
DWORD FoundEntryAttributes(const wchar_t* path, const WIN32_FIND_DATAW* found);
// The directory entry of a path (FindFirstFileW); false when there is none.
bool FindPathEntry(const wchar_t* path, WIN32_FIND_DATAW* found);
int IsDirectory(const wchar_t* path);
// 1 when the path names an existing file (not a folder).
int IsExistingFile(const wchar_t* path);
// Creates every missing folder of the path (a trailing '\' is removed from it). 1 when the
// whole path exists at the end, 0 when a folder could not be created (nothing below it is).
int CreateFolderPath(wchar_t* path);
int CreateFileFolder(const wchar_t* filePath);
// CreateDirectoryW with the DACL of NewEveryoneFolderAcl.
BOOL CreateFolderForEveryone(const wchar_t* folder);
// A DACL granting Everyone DELETE, READ_CONTROL and SYNCHRONIZE (not inherited), and not
// WRITE_DAC or WRITE_OWNER; null on failure. The caller frees it with LocalFree.
PACL NewEveryoneFolderAcl();
// Removes the folder and then each parent while it is empty; the first parent that cannot be
// removed ends the climb, and a drive's root is never tried.
void RemoveFolderChain(const wchar_t* folder);
// Deletes the files below the folder (sub-folders whose names begin with '.' are kept; links
// such as junctions are not followed). With removeFolders the emptied folders go too.
void DeleteFolderContents(const wchar_t* folder, BOOL removeFolders);
// Deletes every file below the folder whose upper-cased full path contains the upper-cased
// text (at most 31 characters). An empty text matches nothing.
void DeleteMatchingFiles(const wchar_t* folder, const wchar_t* text);
