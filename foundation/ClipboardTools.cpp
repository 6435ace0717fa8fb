#include "foundation/ClipboardTools.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "foundation/Format.h"

int SetClipboardText(HWND owner, const wchar_t* text, BOOL emptyFirst)
{
    if (!text)
        text = L"";
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, bytes);
    if (!block)
        return 0;
    if (void* data = GlobalLock(block)) {
        memcpy(data, text, bytes);
        GlobalUnlock(block);
    } else {
        GlobalFree(block);
        return 0;
    }
    if (!OpenClipboard(owner)) {
        GlobalFree(block);
        return 0;
    }
    if (emptyFirst)
        EmptyClipboard();
    // Once set, the clipboard owns the block.
    bool done = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    CloseClipboard();
    if (!done)
        GlobalFree(block);
    return done ? 1 : 0;
}

const wchar_t* GetClipboardText(HWND owner)
{
    static thread_local wchar_t t_text[2048];
    t_text[0] = L'\0';
    if (!IsClipboardFormatAvailable(CF_LOCALE) && !IsClipboardFormatAvailable(CF_TEXT) &&
        !IsClipboardFormatAvailable(CF_UNICODETEXT) && !IsClipboardFormatAvailable(CF_OEMTEXT))
        return t_text;
    if (!OpenClipboard(owner))
        return t_text;

    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        // Bounded by the block's size: a text without terminator is not read past its end.
        size_t count = GlobalSize(data) / sizeof(wchar_t);
        if (const wchar_t* text = static_cast<const wchar_t*>(GlobalLock(data))) {
            CopyTextN(t_text, _countof(t_text), text, count);
            GlobalUnlock(data);
        }
    } else if (HANDLE oem = GetClipboardData(CF_OEMTEXT)) {
        // OEM text is bytes of the OEM code page, not UTF-16.
        size_t bytes = GlobalSize(oem);
        if (const char* text = static_cast<const char*>(GlobalLock(oem))) {
            size_t length = 0;
            while (length < bytes && text[length])
                ++length;
            if (length > _countof(t_text) - 1)
                length = _countof(t_text) - 1;
            int written = MultiByteToWideChar(CP_OEMCP, 0, text, static_cast<int>(length), t_text,
                                              static_cast<int>(_countof(t_text) - 1));
            t_text[written > 0 ? written : 0] = L'\0';
            GlobalUnlock(oem);
        }
    }
    CloseClipboard();
    return t_text;
}

void ClearClipboard(HWND owner)
{
    if (OpenClipboard(owner)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

namespace {

DWORD ShortValue(const wchar_t* text)
{
    if (!text[0])
        return 0;
    return static_cast<DWORD>(static_cast<WORD>(text[0])) | (static_cast<DWORD>(static_cast<WORD>(text[1])) << 16);
}

}  // namespace

DWORD GetDlgItemShortText(HWND dialog, int itemId)
{
    wchar_t text[3] = L"";
    GetDlgItemTextW(dialog, itemId, text, 3);
    return ShortValue(text);
}

DWORD GetWindowShortText(HWND window)
{
    wchar_t text[3] = L"";
    GetWindowTextW(window, text, 3);
    return ShortValue(text);
}

void SetWindowTextFromFile(HWND window, const wchar_t* path)
{
    SetWindowTextW(window, L"");
    if (!path || !path[0])
        return;
    FILE* file = _wfopen(path, L"rb");
    if (!file)
        return;
    std::vector<BYTE> bytes;
    if (fseek(file, 0, SEEK_END) == 0) {
        long size = ftell(file);
        if (size >= 0 && fseek(file, 0, SEEK_SET) == 0) {
            // Zero-filled past the text, so an odd or unterminated file still ends in a NUL.
            bytes.assign(static_cast<size_t>(size) + 16, 0);
            size_t read = fread(bytes.data(), 1, static_cast<size_t>(size), file);
            (void)read;
        }
    }
    fclose(file);
    if (!bytes.empty())
        SetWindowTextW(window, reinterpret_cast<const wchar_t*>(bytes.data()));
}

void SaveWindowTextToFile(HWND window, const wchar_t* path)
{
    if (!path || !path[0])
        return;
    FILE* file = _wfopen(path, L"wb");
    if (!file)
        return;
    std::vector<wchar_t> text(32768, L'\0');
    int length = GetWindowTextW(window, text.data(), 32768);
    if (length > 0)
        fwrite(text.data(), sizeof(wchar_t), static_cast<size_t>(length), file);
    fclose(file);
}
