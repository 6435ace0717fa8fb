#include "foundation/ResourceAccess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/Seams.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

std::wstring FullPath(const std::wstring& path)
{
    wchar_t full[MAX_PATH] = L"";
    GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return full;
}

// dist\ without the "..", so module paths compare as the loader gives them.
std::wstring DistBase()
{
    return FullPath(DistFolder());
}

std::wstring DistLibrary(const wchar_t* code)
{
    return DistBase() + L"Resource\\" + code + L"\\RESOURCE.DLL";
}

bool AnyLanguageLibraryLoaded()
{
    return GetModuleHandleW(L"RESOURCE.DLL") != nullptr;
}

void SetBase(CResourceAccess& access, const std::wstring& base)
{
    wcscpy_s(access.m_szPath, base.c_str());
}

void SetLanguageIds(CResourceAccess& access, const std::vector<DWORD>& ids)
{
    ZeroMemory(access.m_dwLangIds, sizeof(access.m_dwLangIds));
    size_t i = 0;
    for (DWORD id : ids)
        access.m_dwLangIds[i++] = id;
}

// Every test starts and ends with no language library in the process.
class ResourceAccessTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(AnyLanguageLibraryLoaded()); }
    void TearDown() override
    {
        m_host.FreeResourceDll();
        m_plugin.FreeResourceDll();
        EXPECT_FALSE(AnyLanguageLibraryLoaded()) << "a reference was left behind";
        if (!m_temp.empty())
            RemoveTree(m_temp);
    }

    // A base folder of its own: De and En from dist\, the test library as the old Hungarian
    // folder "Hr", and a French library that is no DLL at all.
    std::wstring MakeBase()
    {
        m_temp = MakeTempFolder(L"resources");
        std::wstring resource = m_temp + L"Resource\\";
        CreateDirectoryW(resource.c_str(), nullptr);
        for (const wchar_t* code : {L"De", L"En", L"Hr", L"Fr"})
            CreateDirectoryW((resource + code).c_str(), nullptr);
        EXPECT_TRUE(CopyFileW(DistLibrary(L"De").c_str(), (resource + L"De\\Resource.dll").c_str(), FALSE));
        EXPECT_TRUE(CopyFileW(DistLibrary(L"En").c_str(), (resource + L"En\\Resource.dll").c_str(), FALSE));
        EXPECT_TRUE(CopyFileW((ProgramFolder() + L"ResourceFixture.dll").c_str(),
                              (resource + L"Hr\\Resource.dll").c_str(), FALSE));
        const char notALibrary[] = "MZ but nothing else";
        WriteFileBytes(resource + L"Fr\\Resource.dll", notALibrary, sizeof(notALibrary));
        return m_temp;
    }

    CResourceAccess m_host;
    CResourceAccess m_plugin;
    std::wstring m_temp;
};

TEST(ResourceLanguageCodes, LanguageIdsGiveGermanOrEnglishByTheirLowByte)
{
    struct Case { DWORD id; const wchar_t* code; };
    const Case cases[] = {
        {0x0407, L"DE"}, {0x0C07, L"DE"}, {0x0807, L"DE"}, {0x0409, L"EN"}, {0x0809, L"EN"},
        {0x040C, nullptr}, {0x0410, nullptr}, {0, nullptr},
    };
    for (const Case& c : cases) {
        const wchar_t* code = GetLanguageCodeOfId(c.id);
        if (c.code)
            EXPECT_STREQ(c.code, code) << std::hex << c.id;
        else
            EXPECT_EQ(nullptr, code) << std::hex << c.id;
    }
}

TEST(ResourceLanguageCodes, DisplayNamesInAnyLetterCase)
{
    struct Case { const wchar_t* name; const wchar_t* code; };
    const Case cases[] = {
        {L"Deutsch", L"De"}, {L"DEUTSCH", L"De"}, {L"english", L"En"},
        {L"\u010Ce\u0161tina", L"Cz"}, {L"\u010C\u0045\u0160TINA", L"Cz"},
        {L"ESPA\u00D1OL", L"Es"}, {L"fran\u00E7ais", L"Fr"}, {L"Italiano", L"It"},
        {L"Polski", L"Pl"}, {L"ROM\u00C2N\u0102", L"Ro"}, {L"slovensk\u00FD", L"Sk"},
        {L"Sloven\u0161\u010Dina", L"Sl"},
        // Hungarian is "Hu" (the switch still accepts an installed "Hr" folder).
        {L"Magyar", L"Hu"}, {L"mAGYAR", L"Hu"},
        {L"Klingon", L"En"}, {L"", L"En"}, {nullptr, L"En"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.code, GetLanguageFolderCode(c.name)) << (c.name ? c.name : L"(null)");
}

TEST(ResourceLanguageCodes, PreferredLanguagesMultiString)
{
    DWORD ids[5] = {};
    const wchar_t two[] = L"0407\0" L"040C\0";  // as the system returns it, double NUL
    EXPECT_EQ(2, ParsePreferredLanguageIds(two, 11, ids, 5));
    EXPECT_EQ(0x0407u, ids[0]);
    EXPECT_EQ(0x040Cu, ids[1]);

    DWORD many[5] = {};
    const wchar_t seven[] = L"0401\0" L"0402\0" L"0403\0" L"0404\0" L"0405\0" L"0406\0" L"0407\0";
    EXPECT_EQ(5, ParsePreferredLanguageIds(seven, 36, many, 5));
    EXPECT_EQ(0x0405u, many[4]);

    // The length bounds the read: nothing after it counts.
    DWORD cut[5] = {};
    EXPECT_EQ(1, ParsePreferredLanguageIds(two, 5, cut, 5));
    EXPECT_EQ(0, ParsePreferredLanguageIds(L"", 1, cut, 5));
    EXPECT_EQ(0, ParsePreferredLanguageIds(nullptr, 10, cut, 5));
}

TEST(ResourceLanguageCodes, BaseFolderOfTheModule)
{
    struct Case { const wchar_t* module; const wchar_t* base; };
    const Case cases[] = {
        {L"C:\\Orvix\\PluginExtra\\PluginExtraA.dll", L"C:\\ORVIX\\"},
        {L"c:\\orvix\\pluginextra\\sub\\x.dll", L"C:\\ORVIX\\"},
        {L"C:\\Temp\\Installer\\Setup.exe", L"C:\\Programs\\Orvix\\Orvix Telvane\\"},
        {L"C:\\Temp\\InstallerFiles\\Setup.exe", L"D:\\Host\\"},
        {L"D:\\Host\\OrvixTelvane.exe", L"D:\\Host\\"},
        {L"D:\\Host\\PluginTelephony\\PluginTelephonyOrkane.dll", L"D:\\Host\\"},
    };
    for (const Case& c : cases) {
        wchar_t base[MAX_PATH] = L"";
        MakeResourceBaseFolder(c.module, L"D:\\Host", L"C:\\Programs", base, MAX_PATH);
        EXPECT_STREQ(c.base, base) << c.module;
    }
}

// The library follows the first German or English identifier of the list; the loader's
// own path (not a faked system language) is what counts.
TEST_F(ResourceAccessTest, LanguageListChoosesTheLibrary)
{
    struct Case { std::vector<DWORD> ids; const wchar_t* code; const wchar_t* settings; };
    const Case cases[] = {
        {{0x040C, 0x040C, 0x040C, 0x040C, 0x0407}, L"DE", L"Einstellungen"},  // French UI, German preferred
        {{0x040C, 0x0809, 0x0407}, L"EN", L"Settings"},
        {{0x0C07, 0x0409}, L"DE", L"Einstellungen"},
        {{0x040C, 0x0410}, L"EN", L"Settings"},  // neither: English
        {{}, L"EN", L"Settings"},
    };
    const std::wstring base = DistBase();
    for (const Case& c : cases) {
        CResourceAccess access;
        SetBase(access, base);
        SetLanguageIds(access, c.ids);
        access.LoadByLanguageIds();
        ASSERT_NE(nullptr, access.m_hResource) << c.code;
        EXPECT_EQ(0, access.m_bPreloaded);
        EXPECT_EQ(0, lstrcmpiW((base + L"Resource\\" + c.code + L"\\RESOURCE.DLL").c_str(), access.m_szLibrary));
        EXPECT_STREQ(c.settings, access.GetString(1017, L"default"));
        // The base folder stays, so the library can be found again after a free.
        EXPECT_STREQ(base.c_str(), access.m_szPath);
        access.FreeResourceDll();
        EXPECT_EQ(1, access.LoadResourceDll(L"EN"));
        EXPECT_STREQ(L"Settings", access.GetString(1017, L"default"));
        access.FreeResourceDll();
        EXPECT_FALSE(AnyLanguageLibraryLoaded());
    }
}

TEST_F(ResourceAccessTest, InitOfTheTestProgramFindsNoLibraryBesideIt)
{
    m_host.Init();
    EXPECT_STREQ(ProgramFolder().c_str(), m_host.m_szPath);
    EXPECT_EQ(GetUserDefaultUILanguage() & 0xFFFFu, m_host.m_dwLangIds[0]);
    EXPECT_EQ(GetSystemDefaultLangID() & 0xFFFFu, m_host.m_dwLangIds[3]);
    EXPECT_EQ(0u, m_host.m_dwLangIds[9]);
    EXPECT_EQ(nullptr, m_host.m_hResource);
    EXPECT_STREQ(L"Settings default", m_host.GetString(1017, L"Settings default"));
    EXPECT_STREQ(L"", m_host.GetFilterString(1));
}

TEST_F(ResourceAccessTest, DistLibrariesHoldBothLanguages)
{
    struct Case { const wchar_t* code; UINT id; const wchar_t* text; };
    const Case cases[] = {
        {L"De", 1025, L"Programmende"}, {L"En", 1025, L"Program end"},
        {L"De", 1010, L"Schlie\u00DFen"}, {L"En", 1010, L"Close"},
        {L"De", 20557, L"Ger\u00E4t:"}, {L"En", 10022, L"Unknown number"},
        {L"En", 1028, L"This program will be closed. It does not run in multiple instance."},
    };
    for (const Case& c : cases) {
        HMODULE library = LoadLibraryW(DistLibrary(c.code).c_str());
        ASSERT_NE(nullptr, library) << c.code;
        wchar_t text[256] = L"";
        LoadStringW(library, c.id, text, 256);
        EXPECT_STREQ(c.text, text) << c.code << L" " << c.id;
        FreeLibrary(library);
    }
}

// Resource-only: no entry point to run in the host's process and nothing imported.
TEST_F(ResourceAccessTest, DistLibrariesHoldNoCode)
{
    for (const wchar_t* code : {L"De", L"En"}) {
        HMODULE library = LoadLibraryExW(DistLibrary(code).c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
        ASSERT_NE(nullptr, library) << code;
        const BYTE* base = reinterpret_cast<const BYTE*>(library);
        const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
            base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
        EXPECT_EQ(0u, nt->OptionalHeader.AddressOfEntryPoint) << code;
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (imports.VirtualAddress && imports.Size) {
            const IMAGE_IMPORT_DESCRIPTOR* first =
                reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
            EXPECT_EQ(0u, first->Name) << code << L" imports a library";
        }
        FreeLibrary(library);
    }
}

TEST_F(ResourceAccessTest, LookupsFallBackToTheDefault)
{
    SetBase(m_host, MakeBase());
    // No library yet: defaults, "" for a null default and for filters.
    EXPECT_STREQ(L"Pause", m_host.GetString(1020, L"Pause"));
    EXPECT_STREQ(L"", m_host.GetString(1020, nullptr));

    ASSERT_EQ(1, m_host.LoadResourceDll(L"Hr"));
    EXPECT_STREQ(L"Magyar sz\u00F6veg", m_host.GetString(4, L"x"));
    EXPECT_STREQ(L"missing", m_host.GetString(999, L"missing"));
    EXPECT_STREQ(L"", m_host.GetString(999, nullptr));
    EXPECT_STREQ(L"empty", m_host.GetString(2, L"empty"));

    // An overlong string is cut to 1,023 characters; so is an overlong default.
    const wchar_t* cut = m_host.GetString(3, nullptr);
    ASSERT_EQ(1023u, wcslen(cut));
    for (size_t i = 0; i < 1023; ++i)
        ASSERT_EQ(static_cast<wchar_t>(L'a' + i % 26), cut[i]) << i;
    std::wstring longDefault(1500, L'd');
    EXPECT_EQ(1023u, wcslen(m_host.GetString(999, longDefault.c_str())));

    BSTR text = m_host.GetStringAsBSTR(4, L"x");
    ASSERT_NE(nullptr, text);
    EXPECT_STREQ(L"Magyar sz\u00F6veg", text);
    EXPECT_EQ(wcslen(L"Magyar sz\u00F6veg"), SysStringLen(text));
    SysFreeString(text);
    BSTR fallback = m_host.GetStringAsBSTR(999, nullptr);
    ASSERT_NE(nullptr, fallback);
    EXPECT_EQ(0u, SysStringLen(fallback));
    SysFreeString(fallback);
}

TEST_F(ResourceAccessTest, FilterStringBecomesADoubleNulList)
{
    SetBase(m_host, MakeBase());
    ASSERT_EQ(1, m_host.LoadResourceDll(L"Hr"));
    const wchar_t* filter = m_host.GetFilterString(1);
    const wchar_t expected[] = L"Textdateien (*.txt)\0*.txt\0Alle Dateien\0*.*\0\0";
    EXPECT_EQ(0, memcmp(expected, filter, sizeof(expected)));

    // 600 separators: the list is cut but still ends in two NULs inside the buffer.
    const wchar_t* separators = m_host.GetFilterString(5);
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(L'\0', separators[i]) << i;
    const wchar_t* missing = m_host.GetFilterString(999);
    EXPECT_EQ(L'\0', missing[0]);
    EXPECT_EQ(L'\0', missing[1]);
}

TEST_F(ResourceAccessTest, WindowAndMenuTexts)
{
    SetBase(m_host, MakeBase());
    ASSERT_EQ(1, m_host.LoadResourceDll(L"De"));

    HWND dialog = CreateWindowExW(0, L"STATIC", L"old", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, dialog);
    HWND item = CreateWindowExW(0, L"STATIC", L"old item", WS_CHILD, 0, 0, 50, 20, dialog,
                                reinterpret_cast<HMENU>(1234), nullptr, nullptr);
    ASSERT_NE(nullptr, item);
    wchar_t text[64] = L"";

    EXPECT_TRUE(m_host.SetWndText(dialog, 1018, L"Help"));
    GetWindowTextW(dialog, text, 64);
    EXPECT_STREQ(L"Hilfe", text);
    EXPECT_FALSE(m_host.SetWndText(dialog, 999, nullptr));  // empty text: unchanged
    GetWindowTextW(dialog, text, 64);
    EXPECT_STREQ(L"Hilfe", text);

    EXPECT_TRUE(m_host.SetItemText(dialog, 1234, 999, L"Vorgabe"));
    GetWindowTextW(item, text, 64);
    EXPECT_STREQ(L"Vorgabe", text);
    EXPECT_FALSE(m_host.SetItemText(dialog, 4321, 1018, L"Help"));  // no such item
    EXPECT_FALSE(m_host.SetItemText(dialog, 1234, 999, L""));
    DestroyWindow(dialog);

    HMENU menu = CreatePopupMenu();
    const UINT ids[] = {32778, 32782, 32780, 1001, 11005};
    for (UINT id : ids)
        AppendMenuW(menu, MF_STRING, id, L"x");
    // Item 3 is a position: the fourth item (command 1001) gets the text and the ID 3.
    EXPECT_TRUE(m_host.SetMenuText(menu, 3, 1019, L"Info"));
    GetMenuStringW(menu, 3, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(L"Info", text);
    EXPECT_EQ(3u, GetMenuItemID(menu, 3));
    // Item 11005 is a command ID.
    EXPECT_TRUE(m_host.SetMenuText(menu, 11005, 1020, L"Pause"));
    GetMenuStringW(menu, 4, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(L"Pause", text);
    GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(L"x", text);
    EXPECT_FALSE(m_host.SetMenuText(menu, 0, 999, nullptr));
    DestroyMenu(menu);
}

struct RecordedBox {
    int calls = 0;
    std::wstring text, caption;
    UINT type = 0;
};
RecordedBox g_box;

int WINAPI RecordMessageBox(HWND, LPCWSTR text, LPCWSTR caption, UINT type)
{
    ++g_box.calls;
    g_box.text = text;
    g_box.caption = caption;
    g_box.type = type;
    return IDRETRY;
}

TEST_F(ResourceAccessTest, ShowMessageUsesDefaultsWhenStringsAreMissing)
{
    auto saved = g_pfnMessageBoxW;
    g_pfnMessageBoxW = RecordMessageBox;
    const UINT type = MB_TOPMOST | MB_ICONEXCLAMATION | MB_RETRYCANCEL;

    // No library and no defaults: no box, IDCANCEL.
    g_box = RecordedBox();
    EXPECT_EQ(IDCANCEL, m_host.ShowMessage(nullptr, 20559, 20558, type));
    EXPECT_EQ(0, g_box.calls);

    // No library, with defaults: the box is shown and its answer returned.
    EXPECT_EQ(IDRETRY, m_host.ShowMessage(nullptr, 20559, 20558, type, L"Login", L"Retry the login?"));
    EXPECT_EQ(1, g_box.calls);
    EXPECT_EQ(L"Login", g_box.caption);
    EXPECT_EQ(L"Retry the login?", g_box.text);
    EXPECT_EQ(type, g_box.type);

    // With a library its strings win over the defaults.
    SetBase(m_host, DistBase());
    ASSERT_EQ(1, m_host.LoadResourceDll(L"De"));
    EXPECT_EQ(IDRETRY, m_host.ShowMessage(nullptr, 1025, 1029, MB_ICONHAND, L"c", L"t"));
    EXPECT_EQ(L"Programmende", g_box.caption);
    EXPECT_EQ(L"Dieses Programm wird beendet. Es sollte als Dienst laufen.", g_box.text);
    g_box = RecordedBox();
    EXPECT_EQ(IDCANCEL, m_host.ShowMessage(nullptr, 1025, 999, MB_OK));
    EXPECT_EQ(0, g_box.calls);

    g_pfnMessageBoxW = saved;
}

TEST_F(ResourceAccessTest, SwitchLanguage)
{
    const std::wstring base = MakeBase();
    SetBase(m_host, base);
    SetLanguageIds(m_host, {0x0407});
    m_host.LoadByLanguageIds();
    ASSERT_STREQ(L"Einstellungen", m_host.GetString(1017, nullptr));

    // Any letter case.
    EXPECT_EQ(1, m_host.SwitchLanguage(L"ENGLISH"));
    EXPECT_STREQ(L"Settings", m_host.GetString(1017, nullptr));
    EXPECT_EQ(nullptr, GetModuleHandleW((base + L"Resource\\De\\Resource.dll").c_str())) << "old library kept";

    EXPECT_EQ(1, m_host.SwitchLanguage(L"deutsch"));
    EXPECT_STREQ(L"Einstellungen", m_host.GetString(1017, nullptr));

    // An unknown name gives English.
    EXPECT_EQ(1, m_host.SwitchLanguage(L"Klingon"));
    EXPECT_STREQ(L"Settings", m_host.GetString(1017, nullptr));

    // Switching to the language in use keeps the one reference.
    EXPECT_EQ(1, m_host.SwitchLanguage(L"English"));
    EXPECT_STREQ(L"Settings", m_host.GetString(1017, nullptr));

    // A missing folder and a file that does not load both keep the current library.
    EXPECT_EQ(0, m_host.SwitchLanguage(L"Italiano"));
    EXPECT_STREQ(L"Settings", m_host.GetString(1017, nullptr));
    EXPECT_EQ(0, m_host.SwitchLanguage(L"Fran\u00E7ais"));
    EXPECT_NE(nullptr, m_host.m_hResource);
    EXPECT_STREQ(L"Settings", m_host.GetString(1017, nullptr));

    // Hungarian from an installed "Hr" folder (there is no "Hu").
    EXPECT_EQ(1, m_host.SwitchLanguage(L"MAGYAR"));
    EXPECT_STREQ(L"Magyar sz\u00F6veg", m_host.GetString(4, nullptr));
    EXPECT_EQ(0, lstrcmpiW((base + L"Resource\\Hr\\Resource.dll").c_str(), m_host.m_szLibrary));
}

// The host loads the library; a plug-in in the same process finds it and must never take
// it away, whatever it switches or frees.
TEST_F(ResourceAccessTest, HostAndPluginInstancesKeepTheirOwnReferences)
{
    const std::wstring base = MakeBase();
    const std::wstring german = base + L"Resource\\De\\Resource.dll";
    const std::wstring english = base + L"Resource\\En\\Resource.dll";
    SetBase(m_host, base);
    SetLanguageIds(m_host, {0x0407});
    m_host.LoadByLanguageIds();
    ASSERT_EQ(0, m_host.m_bPreloaded);

    SetBase(m_plugin, base);
    SetLanguageIds(m_plugin, {0x0409});
    m_plugin.LoadByLanguageIds();
    EXPECT_EQ(1, m_plugin.m_bPreloaded);
    EXPECT_STREQ(L"Einstellungen", m_plugin.GetString(1017, nullptr)) << "plug-in reads the host's library";

    // Freeing the plug-in's instance leaves the host's library.
    m_plugin.FreeResourceDll();
    EXPECT_NE(nullptr, GetModuleHandleW(german.c_str()));
    EXPECT_STREQ(L"Einstellungen", m_host.GetString(1017, nullptr));

    // The plug-in switching on its own loads its library and leaves the host's alone.
    EXPECT_EQ(1, m_plugin.SwitchLanguage(L"English"));
    EXPECT_STREQ(L"Settings", m_plugin.GetString(1017, nullptr));
    EXPECT_STREQ(L"Einstellungen", m_host.GetString(1017, nullptr));
    EXPECT_NE(nullptr, GetModuleHandleW(german.c_str()));
    m_plugin.FreeResourceDll();
    EXPECT_EQ(nullptr, GetModuleHandleW(english.c_str()));
    EXPECT_NE(nullptr, GetModuleHandleW(german.c_str()));

    // The usual order: the host switches, then each plug-in with the same name.
    EXPECT_EQ(1, m_host.SwitchLanguage(L"English"));
    EXPECT_EQ(nullptr, GetModuleHandleW(german.c_str()));
    EXPECT_STREQ(L"Settings", m_plugin.GetString(1017, nullptr)) << "the host's switch is seen by name";
    EXPECT_EQ(1, m_plugin.SwitchLanguage(L"English"));
    EXPECT_EQ(nullptr, m_plugin.m_hOwned) << "found the host's library, took no reference";
    m_plugin.FreeResourceDll();
    EXPECT_STREQ(L"Settings", m_host.GetString(1017, nullptr));
}

}  // namespace
