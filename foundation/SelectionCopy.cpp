#include "foundation/SelectionCopy.h"

#include "foundation/ClipboardTools.h"
#include "foundation/Format.h"
#include "foundation/WindowSearch.h"

#include <cstring>
#include <cwchar>

namespace {

bool StartsWithNoCase(const wchar_t* text, const wchar_t* prefix)
{
    size_t n = wcslen(prefix);
    return wcslen(text) >= n && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, text, static_cast<int>(n), prefix,
                                               static_cast<int>(n)) == CSTR_EQUAL;
}

void Key(BYTE vk, BYTE scan, DWORD flags)
{
    keybd_event(vk, scan, flags, 0);
    Sleep(0);
}

}  // namespace

void SaveClipboardText(HGLOBAL* handle)
{
    if (!handle)
        return;
    *handle = nullptr;
    if (!OpenClipboard(nullptr))
        return;
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (data) {
        SIZE_T size = GlobalSize(data);
        const void* source = GlobalLock(data);
        if (source) {
            HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, size + 2);
            if (copy) {
                void* target = GlobalLock(copy);
                if (target) {
                    memcpy(target, source, size);
                    GlobalUnlock(copy);
                    *handle = copy;
                } else {
                    GlobalFree(copy);
                }
            }
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
}

void PutClipboardText(HGLOBAL* handle, HWND owner)
{
    if (!handle || !*handle)
        return;
    if (!OpenClipboard(owner))
        return;
    EmptyClipboard();
    if (SetClipboardData(CF_UNICODETEXT, *handle))
        *handle = nullptr;  // the clipboard owns it now
    CloseClipboard();
}

void CopyTextBytes(wchar_t* destination, size_t sizeInBytes, const wchar_t* source)
{
    if (!destination || sizeInBytes < sizeof(wchar_t))
        return;
    CopyText(destination, sizeInBytes / sizeof(wchar_t), source);
}

int CopySelection(HWND target, DWORD flags, BOOL* saved, HGLOBAL* savedText)
{
    HGLOBAL copy = nullptr;
    if (IsClipboardFormatAvailable(CF_UNICODETEXT))
        SaveClipboardText(&copy);
    if (saved)
        *saved = copy ? TRUE : FALSE;
    if (savedText)
        *savedText = copy;
    else if (copy)
        GlobalFree(copy);
    SetClipboardText(target, L"", TRUE);

    wchar_t className[128] = L"";
    if (target)
        GetClassNameW(target, className, _countof(className));
    if (lstrcmpiW(className, L"EDIT") == 0 || StartsWithNoCase(className, L"RICHEDIT") ||
        StartsWithNoCase(className, L"_WwG") || StartsWithNoCase(className, L"EXCEL")) {
        for (int i = 0; i < 10; ++i) {
            SetLastError(0);
            SendMessageW(target, WM_COPY, 0, 0);
            if (GetLastError() == 0)
                break;
        }
        return 1;
    }
    if (StartsWithNoCase(className, L"AVL_AVView")) {
        SendMessageW(GetOwnTopLevelWindow(target), WM_COMMAND, 6031, 0);
        return 0;
    }
    bool ctrl = !(flags & 2);
    if (ctrl)
        Key(VK_CONTROL, 29, 0);
    Key('C', 46, 0);
    Key('C', 46, KEYEVENTF_KEYUP);
    if (ctrl)
        Key(VK_CONTROL, 29, KEYEVENTF_KEYUP);
    return 0;
}
