// Copying the selected text of the foreground application through the clipboard, keeping
// the user's clipboard text so it can be put back.
#pragma once

#include <windows.h>

// Keeps a copy of the clipboard text (when there is one), empties the clipboard and asks the
// target for its selection: WM_COPY for edit-like controls (result 1), the viewer's copy
// command, or Ctrl+C typed (result 0). Flag bit 2 leaves the Ctrl key alone.
int CopySelection(HWND target, DWORD flags, BOOL* saved, HGLOBAL* savedText);
// A copy of the clipboard's UTF-16 text in a new block (null when there is none).
void SaveClipboardText(HGLOBAL* handle);
// Hands the block back to the clipboard, which owns it then; the caller's handle is cleared.
void PutClipboardText(HGLOBAL* handle, HWND owner);
// Copies at most size/2 - 1 characters; an empty text when nothing fits.
void CopyTextBytes(wchar_t* destination, size_t sizeInBytes, const wchar_t* source);
