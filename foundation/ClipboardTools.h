// The clipboard's text and short window texts, and window texts from and to UTF-16 files.
#pragma once

#include <windows.h>

// Puts the text on the clipboard as CF_UNICODETEXT (emptying it first when asked); 1 when done.
int SetClipboardText(HWND owner, const wchar_t* text, BOOL emptyFirst);
// The clipboard's text (CF_UNICODETEXT, else CF_OEMTEXT converted from the OEM code page),
// at most 2,047 characters, per thread until the next call; "" when there is none. The
// clipboard is left as it was: reading it is no reason to take the user's text away.
const wchar_t* GetClipboardText(HWND owner);
void ClearClipboard(HWND owner);

// The first two characters of a text as one value: first in the low 16 bits, second in the
// high 16 bits; 0 for an empty text.
DWORD GetDlgItemShortText(HWND dialog, int itemId);
DWORD GetWindowShortText(HWND window);

// The window's text from a UTF-16 file without byte-order mark (emptied first).
void SetWindowTextFromFile(HWND window, const wchar_t* path);
// The window's text (32,767 characters) as UTF-16LE bytes, no terminator, no byte-order mark.
void SaveWindowTextToFile(HWND window, const wchar_t* path);
