#include "foundation/QorDlgFonts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring FaceOf(HFONT font)
{
    LOGFONTW info = {};
    if (GetObjectW(font, sizeof(info), &info) != sizeof(info))
        return L"(no font)";
    return info.lfFaceName;
}

HFONT FontOf(HWND window)
{
    return reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
}

// A dialog from a memory template: a static (id 10) and an edit (id 11); a static of its own
// below the first static is a grandchild of the dialog.
class DialogFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::vector<WORD> t;
        auto pushDword = [&t](DWORD value) {
            t.push_back(LOWORD(value));
            t.push_back(HIWORD(value));
        };
        auto align = [&t]() {
            if (t.size() % 2)
                t.push_back(0);
        };
        pushDword(WS_POPUP | WS_CAPTION);  // style
        pushDword(0);                      // extended style
        t.push_back(2);                    // items
        t.push_back(0); t.push_back(0); t.push_back(200); t.push_back(100);
        t.push_back(0); t.push_back(0); t.push_back(0);  // menu, class, title
        const WORD classes[2] = {0x0082, 0x0081};       // static, edit
        for (int i = 0; i < 2; ++i) {
            align();
            pushDword(WS_CHILD | WS_VISIBLE);
            pushDword(0);
            t.push_back(10); t.push_back(static_cast<WORD>(10 + i * 30)); t.push_back(100); t.push_back(20);
            t.push_back(static_cast<WORD>(10 + i));
            t.push_back(0xFFFF); t.push_back(classes[i]);
            t.push_back(L'x'); t.push_back(0);  // title
            t.push_back(0);                     // creation data
        }
        m_dialog = CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(t.data()),
                                              nullptr, DialogProc, 0);
        ASSERT_NE(nullptr, m_dialog);
        m_static = GetDlgItem(m_dialog, 10);
        m_edit = GetDlgItem(m_dialog, 11);
        m_grandchild = CreateWindowExW(0, L"STATIC", L"g", WS_CHILD, 0, 0, 10, 10, m_static, nullptr, nullptr, nullptr);
        ASSERT_TRUE(m_static && m_edit && m_grandchild);
    }
    void TearDown() override
    {
        if (m_dialog)
            DestroyWindow(m_dialog);
    }
    // The dialog keeps no font of its own: its procedure records what WM_SETFONT brought.
    static INT_PTR CALLBACK DialogProc(HWND, UINT message, WPARAM wParam, LPARAM)
    {
        if (message == WM_SETFONT)
            s_dialogFont = reinterpret_cast<HFONT>(wParam);
        return message == WM_INITDIALOG;
    }
    static HFONT s_dialogFont;

    HWND m_dialog = nullptr;
    HWND m_static = nullptr;
    HWND m_edit = nullptr;
    HWND m_grandchild = nullptr;
};
HFONT DialogFixture::s_dialogFont = nullptr;

TEST(QorDlgFonts, CreatesTheDialogFont)
{
    CQorDlgFonts fonts;
    EXPECT_EQ(L"MS Shell Dlg", FaceOf(fonts.GetFont()));
    LOGFONTW info = {};
    GetObjectW(fonts.GetFont(), sizeof(info), &info);
    EXPECT_EQ(-10, info.lfHeight);
    EXPECT_EQ(0, info.lfWidth);
    EXPECT_EQ(FW_NORMAL, info.lfWeight);
    EXPECT_FALSE(info.lfItalic || info.lfUnderline || info.lfStrikeOut);

    HFONT first = fonts.GetFont();
    HFONT arial = fonts.CreateDlgFont(L"Arial");
    EXPECT_EQ(arial, fonts.GetFont());
    EXPECT_EQ(L"Arial", FaceOf(arial));
    EXPECT_EQ(0u, GetObjectType(first)) << "a font no window got is deleted at once";

    // The face name is cut to 31 characters.
    std::wstring longFace(40, L'F');
    EXPECT_EQ(std::wstring(31, L'F'), FaceOf(fonts.CreateDlgFont(longFace.c_str())));
}

TEST_F(DialogFixture, ApplyFontReachesTheDirectChildrenOnly)
{
    CQorDlgFonts fonts;
    HFONT before = FontOf(m_grandchild);
    fonts.ApplyFont(m_dialog, L"Arial", TRUE);
    HFONT arial = fonts.GetFont();
    EXPECT_EQ(L"Arial", FaceOf(arial));
    EXPECT_EQ(arial, s_dialogFont);
    EXPECT_EQ(arial, FontOf(m_static));
    EXPECT_EQ(arial, FontOf(m_edit));
    EXPECT_EQ(before, FontOf(m_grandchild));

    // Without re-creation the current font is sent again.
    fonts.ApplyFont(m_edit, L"Tahoma", FALSE);
    EXPECT_EQ(arial, FontOf(m_edit));

    // An empty face name changes nothing.
    fonts.ApplyFont(m_dialog, L"", TRUE);
    fonts.ApplyFont(m_dialog, nullptr, TRUE);
    EXPECT_EQ(arial, fonts.GetFont());
    EXPECT_EQ(arial, FontOf(m_static));
    EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(arial));
}

// The edit records whether the font it still holds is alive when the new one arrives.
WNDPROC g_editProc = nullptr;
std::vector<DWORD> g_heldFontTypes;

LRESULT CALLBACK RecordingEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETFONT) {
        HFONT held = reinterpret_cast<HFONT>(CallWindowProcW(g_editProc, window, WM_GETFONT, 0, 0));
        if (held)
            g_heldFontTypes.push_back(GetObjectType(held));
    }
    return CallWindowProcW(g_editProc, window, message, wParam, lParam);
}

TEST_F(DialogFixture, OldFontLivesUntilTheNewOneIsApplied)
{
    CQorDlgFonts fonts;
    fonts.ApplyFont(m_dialog, L"Arial", TRUE);
    HFONT arial = fonts.GetFont();

    g_heldFontTypes.clear();
    g_editProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(m_edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingEditProc)));
    // A font created in between (for a page, say) must not take away the one windows hold.
    fonts.CreateDlgFont(L"Courier New");
    EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(arial));
    fonts.ApplyFont(m_dialog, L"Tahoma", TRUE);
    SetWindowLongPtrW(m_edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_editProc));

    ASSERT_EQ(1u, g_heldFontTypes.size());
    EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), g_heldFontTypes[0]) << "the held font was deleted before the switch";
    EXPECT_EQ(L"Tahoma", FaceOf(FontOf(m_edit)));
    EXPECT_EQ(0u, GetObjectType(arial)) << "the replaced font is deleted afterwards";
}

TEST_F(DialogFixture, DestructorDeletesTheFonts)
{
    HFONT applied = nullptr;
    HFONT current = nullptr;
    {
        CQorDlgFonts fonts;
        fonts.ApplyFont(m_dialog, L"Arial", TRUE);
        applied = fonts.GetFont();
        current = fonts.CreateDlgFont(L"Tahoma");
        ASSERT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(applied));
    }
    EXPECT_EQ(0u, GetObjectType(applied));
    EXPECT_EQ(0u, GetObjectType(current));
}

}  // namespace
