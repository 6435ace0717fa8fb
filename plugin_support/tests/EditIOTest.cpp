#include "plugin_support/EditIO.h"

#include <gtest/gtest.h>

#include <string>

namespace {
constexpr int kEditId = 1001;
constexpr int kSecondId = 1002;

class EditIO : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dialog = CreateWindowExW(0, L"STATIC", L"plugin_text_test", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                   nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(m_dialog);
        for (int id : {kEditId, kSecondId})
            ASSERT_TRUE(CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL,
                                        0, 0, 200, 50, m_dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                        GetModuleHandleW(nullptr), nullptr));
    }
    void TearDown() override { DestroyWindow(m_dialog); }
    std::wstring ControlText(int id)
    {
        wchar_t text[4096] = {};
        GetDlgItemTextW(m_dialog, id, text, _countof(text));
        return text;
    }
    HWND m_dialog = nullptr;
};

TEST_F(EditIO, CleansAndShowsTheText)
{
    struct Case {
        const wchar_t* control;
        const wchar_t* text;
    };
    const Case cases[] = {
        {L"\t  Name\r", L"Name"},
        {L"  a\tb\rc  ", L"a b c"},
        {L"line1\r\nline2", L"line1 \nline2"},  // line feeds stay
        {L"   ", L""},
        {L"", L""},
    };
    CEditIO edit(m_dialog, kEditId);
    for (const Case& c : cases) {
        SetDlgItemTextW(m_dialog, kEditId, c.control);
        edit.ReadControl();
        EXPECT_EQ(std::wstring(c.text), edit.Text()) << testing::PrintToString(std::wstring(c.control));
        EXPECT_EQ(std::wstring(c.text), ControlText(kEditId)) << testing::PrintToString(std::wstring(c.control));
    }
}

TEST_F(EditIO, GetTextCutsToTheDestination)
{
    SetDlgItemTextW(m_dialog, kEditId, L"abcdef");
    CEditIO edit(m_dialog, kEditId);
    wchar_t small[6] = {L'#', L'#', L'#', L'#', L'#', L'#'};
    edit.GetText(small, 4);
    EXPECT_EQ(std::wstring(L"abc"), small);
    EXPECT_EQ(L'#', small[4]);
    wchar_t whole[16];
    edit.GetText(whole, _countof(whole));
    EXPECT_EQ(std::wstring(L"abcdef"), whole);
}

TEST_F(EditIO, ReadsAtMost2046Characters)
{
    std::wstring longText(3000, L'z');
    SetDlgItemTextW(m_dialog, kEditId, longText.c_str());
    ASSERT_EQ(3000u, ControlText(kEditId).size());
    CEditIO edit(m_dialog, kEditId);
    edit.ReadControl();
    EXPECT_EQ(2046u, std::wstring(edit.Text()).size());
    EXPECT_EQ(2046u, ControlText(kEditId).size());
}

TEST_F(EditIO, AttachMovesToAnotherControl)
{
    SetDlgItemTextW(m_dialog, kEditId, L" first ");
    SetDlgItemTextW(m_dialog, kSecondId, L"\tsecond");
    CEditIO edit(m_dialog, kEditId);
    edit.ReadControl();
    edit.Attach(m_dialog, kSecondId);
    EXPECT_EQ(std::wstring(L"first"), edit.Text());  // kept until the next read
    edit.ReadControl();
    EXPECT_EQ(std::wstring(L"second"), edit.Text());
    EXPECT_EQ(L"first", ControlText(kEditId));
    EXPECT_EQ(L"second", ControlText(kSecondId));
}

TEST_F(EditIO, MissingControlGivesAnEmptyText)
{
    CEditIO edit(m_dialog, 4242);
    wchar_t text[8] = L"old";
    edit.GetText(text, _countof(text));
    EXPECT_EQ(std::wstring(), text);
    CEditIO none(nullptr, kEditId);
    none.ReadControl();
    EXPECT_EQ(std::wstring(), none.Text());
}
}  // namespace
