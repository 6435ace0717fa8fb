// The business-card page: template loading and filling, as tables over small templates.
#include "plugins/info_visette/PopupTemplate.h"

#include "plugin_support/CallStruct.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using testing_support::MakeTempFolder;
using testing_support::RemoveTree;
using testing_support::WriteFileBytes;

namespace {

const wchar_t kLayout[] = L"C:\\Orvix\\PluginInfo\\Layout\\";

std::wstring Fill(const std::wstring& templ, const CQorCallStruct& record, const wchar_t* number,
                  DWORD percent = 100)
{
    std::wstring page(kPageCapacity, L'\0');
    wcsncpy(&page[0], templ.c_str(), kPageCapacity - 1);
    PageTexts texts = {L"Incoming call", L"Unknown number", kLayout, percent};
    FillPage(&page[0], kPageCapacity, record, number, texts);
    return std::wstring(page.c_str());
}

CQorCallStruct RecordWith(const wchar_t* identInfo, DWORD openContact = 1)
{
    CQorCallStruct r;
    if (identInfo)
        r.SetResult(L"Outlook", openContact, identInfo, L"", L"", L"");
    return r;
}

const wchar_t kCardTemplate[] =
    L"<html><body><div id=\"BusinessCard_1\" style=\"zoom:BUSINESSCARD_SCALE_SIZE\">"
    L"<p>BUSINESSCARD_PARAM_HEADLINE</p><p>BUSINESSCARD_PARAM_NUMBER</p>"
    L"<p>BUSINESSCARD_PARAM_NAME</p><p>BUSINESSCARD_PARAM_DETAIL1</p><p>BUSINESSCARD_PARAM_DETAIL2</p>"
    L"<p class=\"d\">BUSINESSCARD_PARAM_DETAIL3</p><p>BUSINESSCARD_PARAM_DETAIL4</p>"
    L"<p>BUSINESSCARD_PARAM_DETAIL8</p>"
    L"<a href=\"opencontact0\"><img src=\"chevron.png\"></a></div></body></html>trailing junk";

}  // namespace

TEST(PageTemplate, FillsEveryPlaceholderFromTheRecord)
{
    struct Case {
        const char* what;
        const wchar_t* identInfo;  // null: no result record
        DWORD openContact;
        const wchar_t* number;
        DWORD percent;
        std::wstring expected;
    };
    const std::wstring tail = L"<a href=\"opencontact0\"><img src=\"" + std::wstring(kLayout) +
                              L"chevron.png\"></a></div></body></html>";
    const std::wstring hiddenTail = L"<!--a href=\"opencontact0\"><img src=\"" + std::wstring(kLayout) +
                                    L"chevron.png\"></a--></div></body></html>";
    const std::wstring head = L"<html><body><div id=\"BusinessCard_1\" style=\"zoom:";
    const Case cases[] = {
        {"three items fill name and two details, the rest goes", L"Name: Jane Roe;Company: ACME;City: Bonn;", 7,
         L"+4930123", 100,
         head + L"100%\"><p>Incoming call</p><p>+4930123</p><p> Jane Roe</p><p> ACME</p><p> Bonn</p>" + tail},
        {"no result: blanks, link hidden, unknown number", nullptr, 0, L"", 120,
         head + L"120%\"><p>Incoming call</p><p>Unknown number</p><p>&nbsp;</p><p>&nbsp;</p><p>&nbsp;</p>" + hiddenTail},
        {"contact without identifier hides the link", L"Name:Max;", 0, L"200", 150,
         head + L"150%\"><p>Incoming call</p><p>200</p><p>Max</p><p>&nbsp;</p><p>&nbsp;</p>" + hiddenTail},
        {"markup in a caller name is encoded", L"Name:<script>alert(1)</script> & Co;", 3, L"1&2", 100,
         head + L"100%\"><p>Incoming call</p><p>1&amp;2</p><p>&lt;script&gt;alert(1)&lt;/script&gt; &amp; Co</p>"
                L"<p>&nbsp;</p><p>&nbsp;</p>" +
             tail},
        {"four details fill DETAIL3 which then stays", L"N:a;D:b;E:c;F:d;", 1, L"5", 100,
         head + L"100%\"><p>Incoming call</p><p>5</p><p>a</p><p>b</p><p>c</p><p class=\"d\">d</p>" + tail},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, Fill(kCardTemplate, RecordWith(c.identInfo, c.openContact), c.number, c.percent));
    }
}

TEST(PageTemplate, OverlongValuesAreBoundedAndThePageNeverOverruns)
{
    std::wstring longName(3000, L'&');
    CQorCallStruct r = RecordWith((L"Name:" + longName + L";").c_str());
    std::wstring page = Fill(L"<html><p>BUSINESSCARD_PARAM_NAME</p></html>", r, L"1");
    // 254 characters are kept, each then encoded.
    std::wstring expected = L"<html><p>";
    for (int i = 0; i < 254; ++i)
        expected += L"&amp;";
    expected += L"</p></html>";
    EXPECT_EQ(expected, page);

    // A page filled to the capacity stays terminated inside it.
    std::wstring big(kPageCapacity - 40, L'x');
    std::wstring templ = L"<html><p>BUSINESSCARD_PARAM_NUMBER</p>" + big;
    testing_support::GuardedBuffer guard(kPageCapacity * sizeof(wchar_t));
    wchar_t* buffer = static_cast<wchar_t*>(guard.data());
    wcsncpy(buffer, templ.c_str(), kPageCapacity - 1);
    buffer[kPageCapacity - 1] = L'\0';
    PageTexts texts = {L"h", L"u", kLayout, 100};
    FillPage(buffer, kPageCapacity, r, std::wstring(200, L'9').c_str(), texts);
    EXPECT_EQ(kPageCapacity - 1, wcslen(buffer));
}

TEST(PageTemplate, TemplateWithoutPlaceholdersStaysAsItIs)
{
    EXPECT_EQ(L"<html><body>Hello</body></html>",
              Fill(L"<html><body>Hello</body></html>", RecordWith(L"Name:X;"), L"123"));
    // A placeholder is recognised only as the whole text of an element.
    EXPECT_EQ(L"<html><p>xBUSINESSCARD_PARAM_NUMBER</p></html>",
              Fill(L"<html><p>xBUSINESSCARD_PARAM_NUMBER</p></html>", RecordWith(nullptr), L"123"));
}

TEST(PageTemplate, FileReferencesPointIntoTheLayoutFolderOnce)
{
    std::wstring page(kPageCapacity, L'\0');
    std::wstring templ = L"<img src=\"a.png\"><img src=\"a.png\"><img src=\"" + std::wstring(kLayout) +
                         L"b.png\"><img src=\"\">";
    wcsncpy(&page[0], templ.c_str(), kPageCapacity - 1);
    ReplaceFileReferences(&page[0], kPageCapacity, kLayout);
    std::wstring l = kLayout;
    EXPECT_EQ(L"<img src=\"" + l + L"a.png\"><img src=\"" + l + L"a.png\"><img src=\"" + l + L"b.png\"><img src=\"\">",
              std::wstring(page.c_str()));
}

TEST(PageTemplate, RemovePlaceHolderNeedsItsElement)
{
    struct Case {
        const wchar_t* page;
        const wchar_t* expected;
    } cases[] = {
        {L"<a><b id=\"x\">N</b><c>", L"<a><c>"},
        {L"no element >N< here", L"no element >N< here"},
        {L"<b>N</b", L"<b>N</b"},
        {L"<b>M</b>", L"<b>M</b>"},
    };
    for (const Case& c : cases) {
        wchar_t page[64];
        wcscpy(page, c.page);
        RemovePlaceHolder(page, _countof(page), L"N");
        EXPECT_STREQ(c.expected, page) << c.page;
    }
}

TEST(PageTemplate, IdentItems)
{
    wchar_t value[kIdentItemChars + 1];
    EXPECT_TRUE(GetIdentItem(L"A: x;B:y", 1, value, _countof(value)));
    EXPECT_STREQ(L"y", value);
    EXPECT_FALSE(GetIdentItem(L"A: x;B:y", 2, value, _countof(value)));
    EXPECT_STREQ(L"", value);
    EXPECT_FALSE(GetIdentItem(L"no colon", 0, value, _countof(value)));
    std::wstring longItem = L"A:" + std::wstring(900, L'v') + L";";
    EXPECT_TRUE(GetIdentItem(longItem.c_str(), 0, value, _countof(value)));
    EXPECT_EQ(kIdentItemChars, wcslen(value));
}

TEST(PageTemplate, LoadsOnlyReadableTemplatesOfTheAllowedSize)
{
    std::wstring folder = MakeTempFolder(L"visette_template");
    struct Case {
        const char* what;
        std::string bytes;  // "<missing>": no file
        TemplateLoad result;
        std::wstring page;
    } cases[] = {
        {"ANSI text, CR LF read as LF", "<p>Gr\xfc\xdf\x65</p>\r\n<p>x</p>\r\n", TemplateLoad::Ok,
         L"<p>Gr\u00fc\u00dfe</p>\n<p>x</p>\n"},
        {"missing", "<missing>", TemplateLoad::Missing, L""},
        {"empty", "", TemplateLoad::Empty, L""},
        {"8191 bytes still read", std::string(8191, 'a'), TemplateLoad::Ok, std::wstring(8191, L'a')},
        {"8192 bytes refused", std::string(8192, 'a'), TemplateLoad::TooLarge, L""},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring path = folder + L"t" + std::to_wstring(n++) + L".html";
        if (c.bytes != "<missing>")
            WriteFileBytes(path, c.bytes.data(), c.bytes.size());
        std::wstring page(kPageCapacity, L'?');
        EXPECT_EQ(c.result, LoadPageTemplate(path.c_str(), &page[0], kPageCapacity));
        EXPECT_EQ(c.page, std::wstring(page.c_str()));
    }
    RemoveTree(folder);
}

TEST(PageTemplate, ShippedTemplateHasEveryPlaceholder)
{
    std::wstring path = testing_support::DistFolder() + L"PluginInfo\\Layout\\UsedStyle.html";
    std::wstring page(kPageCapacity, L'\0');
    ASSERT_EQ(TemplateLoad::Ok, LoadPageTemplate(path.c_str(), &page[0], kPageCapacity));
    for (const wchar_t* name : {L">BUSINESSCARD_PARAM_HEADLINE<", L">BUSINESSCARD_PARAM_NUMBER<",
                                L">BUSINESSCARD_PARAM_NAME<", L">BUSINESSCARD_PARAM_DETAIL1<",
                                L">BUSINESSCARD_PARAM_DETAIL8<", L"BUSINESSCARD_SCALE_SIZE", L"id=\"BusinessCard_1\"",
                                L"<a href=\"opencontact0\"", L"chevron.png\"></a>", L"href=\"close\""})
        EXPECT_NE(nullptr, wcsstr(page.c_str(), name)) << name;
    PageTexts texts = {L"Incoming call", L"Unknown number", kLayout, 100};
    FillPage(&page[0], kPageCapacity, RecordWith(L"Name:Jane;"), L"+49", texts);
    EXPECT_EQ(nullptr, wcsstr(page.c_str(), L"BUSINESSCARD_"));
}
