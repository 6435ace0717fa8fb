#include "foundation/SettingsEncoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {
std::wstring Encode(const std::wstring& text, size_t capacity = 8191)
{
    std::wstring out(capacity, L'\0');
    EncodeSettingText(&out[0], capacity, text.c_str());
    out.resize(wcslen(out.c_str()));
    return out;
}
std::wstring Decode(const std::wstring& stored)
{
    std::wstring out(8192, L'\0');
    UnescapeSettingText(&out[0], out.size(), stored.c_str());
    DecodeUnicodeSetting(&out[0], out.size());
    out.resize(wcslen(out.c_str()));
    return out;
}
}  // namespace

TEST(SettingsEncoding, StoredFormsTable)
{
    struct Case {
        std::wstring text;
        std::wstring stored;
    } cases[] = {
        {L"plain text", L"plain text"},
        {L"a\tb\rc\nd", L"a\\tb\\rc\\nd"},
        // A backslash before 'n', 'r' or 't' would read as an escape: the marked form.
        {L"C:\\new", L"#UNI#43003A005C006E0065007700"},
        // Other backslashes stay as older files hold them.
        {L"C:\\data\\x", L"C:\\data\\x"},
        {L"\\\\server\\share", L"\\\\server\\share"},
        {L"end\\", L"end\\"},
        {L"\\\t", L"\\\\t"},
        {L"\\\\\n", L"\\\\\\n"},
        {L"Gr\u00FC\u00DFe", L"Gr\u00FC\u00DFe"},
        {L"\u20AC", L"#UNI#AC20"},
        {L"a\u263A\n", L"#UNI#61003A260A00"},
        // A plain text that looks like the marked form is marked itself.
        {L"#UNI#41", L"#UNI#230055004E004900230034003100"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.stored, Encode(c.text)) << c.text;
        EXPECT_EQ(c.text, Decode(c.stored)) << c.text;
    }
}

TEST(SettingsEncoding, OlderStoredFormsReadAsBefore)
{
    EXPECT_EQ(L"\\x stays", Decode(L"\\x stays"));
    EXPECT_EQ(L"C:\\data", Decode(L"C:\\data"));
    EXPECT_EQ(L"\\\\server\\x", Decode(L"\\\\server\\x"));
    EXPECT_EQ(L"a\nb", Decode(L"a\\nb"));
    EXPECT_EQ(L"\u20AC", Decode(L"#UNI#AC20"));
    EXPECT_EQ(L"#uni#AC20", Decode(L"#uni#AC20"));
}

TEST(SettingsEncoding, LongWideTextsKeepWholeUnits)
{
    // 300 characters: 600 bytes, beyond the hex encoder's 511 bytes per call.
    std::wstring text;
    for (int i = 0; i < 300; ++i)
        text += static_cast<wchar_t>(0x0400 + i);
    std::wstring stored = Encode(text);
    EXPECT_EQ(5u + 1200u, stored.size());
    EXPECT_EQ(text, Decode(stored));

    // Cut to the capacity at a whole unit, and never between the halves of a pair.
    EXPECT_EQ(5u + 4 * 3, Encode(text, 5 + 4 * 3 + 3).size());
    std::wstring pairs;
    for (int i = 0; i < 4; ++i)
        pairs += L"\U0001F600";
    std::wstring cut = Decode(Encode(pairs, 5 + 4 * 3 + 1));
    EXPECT_EQ(pairs.substr(0, 2), cut);

    std::wstring escapes(10, L'\t');
    EXPECT_EQ(std::wstring(5, L'\t'), Decode(Encode(escapes, 11)));
}

TEST(SettingsEncoding, HasWideChars)
{
    EXPECT_EQ(0, HasWideChars(nullptr));
    EXPECT_EQ(0, HasWideChars(L""));
    EXPECT_EQ(0, HasWideChars(L"\u00FF"));
    EXPECT_EQ(1, HasWideChars(L"a\u0100"));
}
