// The folder picker, the open and save file dialogs, popup menus at the mouse position and
// the text of a ShellExecute result.
#pragma once

#include <windows.h>
#include <shlobj.h>

// path (511 characters): in the start folder, out the chosen one. 1 when a folder was chosen.
int BrowseForFolder(HWND owner, const wchar_t* title, wchar_t* path, BOOL newStyle);
// The flags BrowseForFolder passes to the shell.
UINT GetBrowseForFolderFlags(BOOL newStyle);
// The desktop folder's parse of the path; 1 on success, else 0 with the list set to null.
int GetFolderItemList(const wchar_t* path, LPITEMIDLIST* itemList);
// path (511 characters): in the start path, out the chosen file. 1 when a file was chosen.
// The open dialog does not show the title.
int OpenFileDialog(HWND owner, const wchar_t* title, wchar_t* path, const wchar_t* filter);
int SaveFileDialog(HWND owner, const wchar_t* title, wchar_t* path, const wchar_t* filter);

// The menu 10 pixels right of the mouse; the chosen command arrives as WM_COMMAND.
BOOL TrackPopupMenuAtCursor(HWND owner, HMENU menu);
// The same, returning the chosen command (0 when none).
UINT TrackPopupMenuAtCursorReturnCmd(HWND owner, HMENU menu);

// English text of a ShellExecute result (static per thread, 255 characters).
const wchar_t* GetShellExecuteErrorText(INT_PTR result);

inline DWORD AddNumbers(DWORD a, DWORD b) { return a + b; }
inline DWORD SubtractNumbers(DWORD a, DWORD b) { return b - a; }
