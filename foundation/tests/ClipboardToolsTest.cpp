#include "foundation/ClipboardTools.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

// Puts raw bytes of one format on the clipboard (as another program would).
void PutRaw(UINT format, const void* data, size_t bytes)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(block), data, bytes);
    GlobalUnlock(block);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    ASSERT_NE(nullptr, SetClipboardData(format, block));
    CloseClipboard();
}

std::wstring UnicodeOnClipboard()
{
    std::wstring text = L"(none)";
    if (OpenClipboard(nullptr)) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            text = static_cast<const wchar_t*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
    }
    return text;
}

TEST(Clipboard, RoundTripLeavesTheTextOnTheClipboard)
{
    const std::wstring text = L"Caller +49 30 \u00E4\u00F6\u00FC \u20AC";
    ASSERT_EQ(1, SetClipboardText(nullptr, text.c_str(), TRUE));
    EXPECT_EQ(text, GetClipboardText(nullptr));
    // Reading does not take the user's text away.
    EXPECT_EQ(text, GetClipboardText(nullptr));
    EXPECT_EQ(text, UnicodeOnClipboard());

    ClearClipboard(nullptr);
    EXPECT_STREQ(L"", GetClipboardText(nullptr));
}

TEST(Clipboard, LongTextIsCutTo2047Characters)
{
    std::wstring text(3000, L'z');
    ASSERT_EQ(1, SetClipboardText(nullptr, text.c_str(), TRUE));
    EXPECT_EQ(std::wstring(2047, L'z'), GetClipboardText(nullptr));
    ClearClipboard(nullptr);
}

TEST(Clipboard, UnterminatedUnicodeIsReadWithinItsBlock)
{
    const wchar_t text[4] = {L'a', L'b', L'c', L'd'};  // no terminator
    PutRaw(CF_UNICODETEXT, text, sizeof(text));
    std::wstring read = GetClipboardText(nullptr);
    // Wine terminates the block's last character itself; Windows hands it over as it is.
    // Either way nothing after the block's four characters may show up.
    ASSERT_FALSE(read.empty());
    EXPECT_EQ(0u, std::wstring(L"abcd").find(read)) << read;
    ClearClipboard(nullptr);
}

TEST(Clipboard, OemTextIsConvertedFromItsCodePage)
{
    // A text only as OEM bytes: compare with the system's own conversion of them.
    const char oem[] = "Gr\x81\xE1" "e 42";
    // Wine offers CF_UNICODETEXT converted from CF_OEMTEXT too; either way the text must match.
    PutRaw(CF_OEMTEXT, oem, sizeof(oem));
    wchar_t expected[32] = L"";
    MultiByteToWideChar(CP_OEMCP, 0, oem, -1, expected, 32);
    EXPECT_STREQ(expected, GetClipboardText(nullptr));
    ClearClipboard(nullptr);
}

TEST(WindowTexts, ShortTextAndFiles)
{
    HWND dialog = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_MULTILINE, 0, 0, 10, 10, dialog,
                                reinterpret_cast<HMENU>(77), nullptr, nullptr);
    ASSERT_TRUE(dialog && edit);

    struct Case { const wchar_t* text; DWORD value; };
    const Case cases[] = {{L"", 0}, {L"A", 0x41}, {L"AB", 0x00420041}, {L"ABCDEF", 0x00420041}, {L"\u20AC!", 0x002120AC}};
    for (const Case& c : cases) {
        SetWindowTextW(edit, c.text);
        EXPECT_EQ(c.value, GetDlgItemShortText(dialog, 77)) << c.text;
        EXPECT_EQ(c.value, GetWindowShortText(edit)) << c.text;
    }

    std::wstring folder = MakeTempFolder(L"wintext");
    std::wstring path = folder + L"text.txt";
    const std::wstring text = L"Zeile 1\r\nZeile \u00E4";
    SetWindowTextW(edit, text.c_str());
    SaveWindowTextToFile(edit, path.c_str());
    EXPECT_EQ(Utf16LeBytes(text), ReadFileBytes(path));

    SetWindowTextW(edit, L"other");
    SetWindowTextFromFile(edit, path.c_str());
    wchar_t back[64] = L"";
    GetWindowTextW(edit, back, 64);
    EXPECT_EQ(text, back);

    // An odd number of bytes still ends in a terminator.
    WriteFileBytes(path, "A\0B", 3);
    SetWindowTextFromFile(edit, path.c_str());
    GetWindowTextW(edit, back, 64);
    EXPECT_STREQ(L"AB", back);
    SetWindowTextFromFile(edit, L"");
    GetWindowTextW(edit, back, 64);
    EXPECT_STREQ(L"", back);

    RemoveTree(folder);
    DestroyWindow(dialog);
}

}  // namespace
