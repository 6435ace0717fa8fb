#include "foundation/RegIniAccess.h"

#include "foundation/DataFolder.h"
#include "foundation/Seams.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using testing_support::ProgramFolder;

namespace {

const wchar_t kProgramKey[] = L"SOFTWARE\\Orvix\\foundation_settings_test";
const wchar_t kModuleKey[] = L"SOFTWARE\\Orvix\\foundation_settings_test\\foundation_settings_test";

enum class Store { Registry, UserIni, ModuleIni };
const char* Name(Store s) { return s == Store::Registry ? "registry" : s == Store::UserIni ? "user INI" : "module INI"; }

// The store with its paths open to the tests.
class TestStore : public CRegIniAccess {
public:
    void SetUserIni(const std::wstring& path) { wcscpy(m_szUserIniFile, path.c_str()); }
    void SetModuleIni(const std::wstring& path) { wcscpy(m_szIniFile, path.c_str()); }
};

std::wstring IniText(const wchar_t* file, const wchar_t* section, const wchar_t* key)
{
    wchar_t text[1024] = L"";
    GetPrivateProfileStringW(section, key, L"<missing>", text, _countof(text), file);
    return text;
}

class Settings : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    void Clean()
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, kProgramKey);
        SetEnvironmentVariableW(L"QorConfig", nullptr);
        TestStore probe;
        probe.Init(FALSE);
        DeleteFileW(probe.GetIniFile());
        DeleteFileW(probe.GetUserIniFile());
    }
    // Chooses the mode the way an installation does: the HKCU key, or "QorConfig".
    void Open(TestStore& store, Store kind)
    {
        SetEnvironmentVariableW(L"QorConfig", kind == Store::ModuleIni ? L"1" : nullptr);
        if (kind == Store::Registry) {
            HKEY key;
            ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kProgramKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                     nullptr, &key, nullptr));
            RegCloseKey(key);
        }
        store.Init(TRUE);
        ASSERT_EQ(kind == Store::Registry, store.IsRegistryMode() != FALSE);
        ASSERT_EQ(kind == Store::ModuleIni, store.GetUserIniFile()[0] == L'\0');
    }
    const Store kStores[3] = {Store::Registry, Store::UserIni, Store::ModuleIni};
};

std::wstring Wide300()
{
    std::wstring text;
    for (int i = 0; i < 300; ++i)
        text += static_cast<wchar_t>(i % 3 == 0 ? 0x4E00 + i : L'a' + i % 26);
    return text;
}

}  // namespace

TEST_F(Settings, InitFillsThePaths)
{
    TestStore store;
    Open(store, Store::UserIni);
    EXPECT_EQ(ProgramFolder() + L"foundation_settings_test.INI", std::wstring(store.GetIniFile()));
    EXPECT_STREQ(store.GetIniFile(), store.GetProgramIniFile());
    EXPECT_STREQ(L"foundation_settings_test", store.GetModuleName());
    EXPECT_STREQ(kModuleKey, store.GetRegKey());
    std::wstring user = store.GetUserIniFile();
    EXPECT_EQ(std::wstring(GetDataFolder(L"CFG")) + L"\\foundation_settings_test.INI", user);
    // The folder was created for it.
    std::wstring folder = user.substr(0, user.rfind(L'\\'));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.c_str()));
}

TEST_F(Settings, RoundTripOfEveryStoreAndValue)
{
    const std::wstring values[] = {
        L"plain value",
        L"tab\there\rcr\nlf",
        L"C:\\new\\temp",
        L"\\\\server\\share\\",
        L"Gr\u00FC\u00DFe",
        L"\u20AC \u260E \u041F\u0440\u0438\u0432\u0435\u0442",
        L"#UNI#not hex",
        Wide300(),
        std::wstring(2000, L'x'),
    };
    for (Store kind : kStores) {
        TestStore store;
        Open(store, kind);
        int i = 0;
        for (const std::wstring& value : values) {
            std::wstring key = L"Value" + std::to_wstring(i++);
            ASSERT_EQ(1, store.WriteString(L"General", key.c_str(), value.c_str())) << Name(kind) << " " << key;
            EXPECT_EQ(value, std::wstring(store.ReadString(L"General", key.c_str(), TRUE))) << Name(kind) << " " << key;
        }
        // Without unescaping the stored (escaped) form comes back.
        EXPECT_STREQ(L"tab\\there\\rcr\\nlf", store.ReadString(L"General", L"Value1", FALSE)) << Name(kind);
        EXPECT_STREQ(L"C:\\new\\temp", store.ReadStringDefault(L"General", L"Value2", L"")) << Name(kind);
        EXPECT_STREQ(L"\u20AC \u260E \u041F\u0440\u0438\u0432\u0435\u0442",
                     store.ReadStringDefault(L"General", L"Value5", L""))
            << Name(kind);
        EXPECT_STREQ(L"", store.ReadString(L"General", L"Missing", TRUE)) << Name(kind);
        EXPECT_STREQ(L"dflt", store.ReadStringDefault(L"General", L"Missing", L"dflt")) << Name(kind);
        EXPECT_STREQ(L"dflt", store.ReadStringDefault(L"NoSuchSection", L"Missing", L"dflt")) << Name(kind);
        Clean();
    }
}

TEST_F(Settings, IniLinesAsAnotherReaderSeesThem)
{
    TestStore store;
    Open(store, Store::ModuleIni);
    store.WriteString(L"General", L"Path", L"C:\\data\\x");
    store.WriteString(L"General", L"Lines", L"a\nb");
    store.WriteString(L"General", L"Wide", L"\u263A");
    store.WriteString(L"General", L"Temp", L"C:\\temp");
    EXPECT_EQ(L"C:\\data\\x", IniText(store.GetIniFile(), L"General", L"Path"));
    EXPECT_EQ(L"#UNI#43003A005C00740065006D007000", IniText(store.GetIniFile(), L"General", L"Temp"));
    EXPECT_EQ(L"a\\nb", IniText(store.GetIniFile(), L"General", L"Lines"));
    EXPECT_EQ(L"#UNI#3A26", IniText(store.GetIniFile(), L"General", L"Wide"));

    // Values that older versions wrote read as before; "\x" stays "\x".
    WritePrivateProfileStringW(L"General", L"Old", L"#UNI#1F04", store.GetIniFile());
    WritePrivateProfileStringW(L"General", L"Slash", L"\\x and \\q", store.GetIniFile());
    EXPECT_STREQ(L"\u041F", store.ReadString(L"General", L"Old", TRUE));
    EXPECT_STREQ(L"\\x and \\q", store.ReadString(L"General", L"Slash", TRUE));

    // An empty section is the program INI, section <module>.
    EXPECT_EQ(1, store.WriteString(L"", L"Top", L"level"));
    EXPECT_EQ(L"level", IniText(store.GetProgramIniFile(), L"foundation_settings_test", L"Top"));
    EXPECT_STREQ(L"level", store.ReadString(L"", L"Top", TRUE));
    EXPECT_EQ(1, store.WriteDword(L"", L"TopD", 17));
    EXPECT_EQ(17u, store.ReadDword(L"", L"TopD"));
}

TEST_F(Settings, PerUserIniBeforeModuleIni)
{
    TestStore store;
    Open(store, Store::UserIni);
    const wchar_t* user = store.GetUserIniFile();
    const wchar_t* module = store.GetIniFile();
    WritePrivateProfileStringW(L"General", L"OnlyModule", L"m", module);
    WritePrivateProfileStringW(L"General", L"Both", L"module", module);
    WritePrivateProfileStringW(L"General", L"Both", L"user", user);
    WritePrivateProfileStringW(L"General", L"EmptyUser", L"module", module);
    WritePrivateProfileStringW(L"General", L"EmptyUser", L"", user);
    EXPECT_STREQ(L"m", store.ReadString(L"General", L"OnlyModule", TRUE));
    EXPECT_STREQ(L"user", store.ReadString(L"General", L"Both", TRUE));
    EXPECT_STREQ(L"", store.ReadStringDefault(L"General", L"EmptyUser", L"dflt"));

    EXPECT_EQ(1, store.WriteString(L"General", L"New", L"v"));
    EXPECT_EQ(L"v", IniText(user, L"General", L"New"));
    EXPECT_EQ(L"<missing>", IniText(module, L"General", L"New"));

    wchar_t value[16];
    EXPECT_EQ(1, store.ReadIniValue(L"General", L"Both", value, _countof(value), module, L"d"));
    EXPECT_STREQ(L"module", value);
    EXPECT_EQ(0, store.ReadIniValue(L"General", L"Nope", value, _countof(value), module, L"d"));
    EXPECT_STREQ(L"d", value);
    EXPECT_EQ(0, store.ReadIniValue(L"General", L"Nope", value, _countof(value), module, nullptr));
    EXPECT_STREQ(L"", value);
}

// A read tells a missing key by a sentinel default: in buffers shorter and longer than the
// sentinel, a stored value (one that begins like the sentinel, a cut one, an empty one)
// reads as stored and a missing key gives the default.
TEST_F(Settings, IniReadsTellStoredFromMissingInAnyBuffer)
{
    TestStore store;
    Open(store, Store::UserIni);
    const wchar_t* module = store.GetIniFile();
    // Plain letters: an INI file written by the system's own call holds ANSI text.
    std::wstring longValue;
    for (int i = 0; i < 300; ++i)
        longValue += static_cast<wchar_t>(L'a' + i % 26);
    WritePrivateProfileStringW(L"General", L"Braced", L"{9B8D4A5A-780D", module);
    WritePrivateProfileStringW(L"General", L"Long", longValue.c_str(), module);
    WritePrivateProfileStringW(L"General", L"Empty", L"", module);
    const struct {
        const wchar_t* key;
        DWORD capacity;
        int found;
        std::wstring value;
    } cases[] = {
        {L"Braced", 4, 1, L"{9B"},
        {L"Braced", 38, 1, L"{9B8D4A5A-780D"},
        {L"Braced", 39, 1, L"{9B8D4A5A-780D"},
        {L"Long", 64, 1, longValue.substr(0, 63)},
        {L"Long", 301, 1, longValue},
        {L"Empty", 4, 1, L""},
        {L"Empty", 64, 1, L""},
        {L"Missing", 4, 0, L"dfl"},
        {L"Missing", 38, 0, L"dflt"},
        {L"Missing", 64, 0, L"dflt"},
    };
    for (const auto& c : cases) {
        std::wstring value(c.capacity, L'#');
        EXPECT_EQ(c.found, store.ReadIniValue(L"General", c.key, &value[0], c.capacity, module, L"dflt"))
            << c.key << " in " << c.capacity;
        EXPECT_EQ(c.value, value.c_str()) << c.key << " in " << c.capacity;
    }
    // The same through the store's own reads, the user INI first.
    EXPECT_STREQ(L"{9B8D4A5A-780D", store.ReadStringDefault(L"General", L"Braced", L"dflt"));
    EXPECT_STREQ(L"dflt", store.ReadStringDefault(L"General", L"Missing", L"dflt"));
}

namespace {
BOOL ServiceAccount() { return TRUE; }
}  // namespace

TEST_F(Settings, NoPerUserIniForServiceOrQorConfig)
{
    auto saved = g_pfnIsSystemAccount;
    g_pfnIsSystemAccount = ServiceAccount;
    TestStore service;
    service.Init(TRUE);
    g_pfnIsSystemAccount = saved;
    EXPECT_STREQ(L"", service.GetStoreUserName());
    EXPECT_STREQ(L"", service.GetUserIniFile());
    EXPECT_EQ(1, service.WriteString(L"General", L"K", L"svc"));
    EXPECT_EQ(L"svc", IniText(service.GetIniFile(), L"General", L"K"));

    SetEnvironmentVariableW(L"QorConfig", L"1x");
    TestStore config;
    config.Init(TRUE);
    EXPECT_STREQ(L"", config.GetUserIniFile());
    SetEnvironmentVariableW(L"QorConfig", L"0");
    TestStore normal;
    normal.Init(TRUE);
    EXPECT_STRNE(L"", normal.GetUserIniFile());
}

TEST_F(Settings, WriteFailuresAreReported)
{
    TestStore store;
    Open(store, Store::UserIni);
    const std::wstring nowhere = ProgramFolder() + L"no_such_folder\\x.ini";
    // A per-user INI that cannot be written leaves the value in the module INI.
    store.SetUserIni(nowhere);
    EXPECT_EQ(1, store.WriteString(L"General", L"K", L"v"));
    EXPECT_EQ(L"v", IniText(store.GetIniFile(), L"General", L"K"));
    EXPECT_EQ(1, store.WriteDword(L"General", L"D", 5));
    EXPECT_EQ(5u, store.ReadDword(L"General", L"D"));
    // Neither file writable: failure, for text and numbers alike.
    store.SetModuleIni(nowhere);
    EXPECT_EQ(0, store.WriteString(L"General", L"K", L"v"));
    EXPECT_EQ(0, store.WriteDword(L"General", L"D", 5));
    EXPECT_EQ(0, store.WriteStringDefault(L"General", L"K2", L"v"));
    EXPECT_EQ(0, store.WriteDwordDefault(L"General", L"D2", 5));
}

TEST_F(Settings, ModeChoiceAndMissingSectionKeys)
{
    TestStore ini;
    Open(ini, Store::UserIni);
    EXPECT_FALSE(ini.IsRegistryMode());

    TestStore reg;
    Open(reg, Store::Registry);
    const std::wstring sectionKey = std::wstring(kModuleKey) + L"\\Fresh";
    EXPECT_STREQ(L"", reg.ReadString(L"Fresh", L"K", TRUE));
    EXPECT_EQ(0u, reg.ReadDword(L"Fresh", L"D"));
    HKEY key;
    // Reads never create the section's key; the first write does.
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, sectionKey.c_str(), 0, KEY_READ, &key));
    EXPECT_EQ(1, reg.WriteString(L"Fresh", L"K", L"v"));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, sectionKey.c_str(), 0, KEY_READ, &key));
    RegCloseKey(key);
    EXPECT_EQ(1, reg.WriteDword(L"Fresh", L"D", 0xFFFFFFFF));
    EXPECT_EQ(0xFFFFFFFFu, reg.ReadDword(L"Fresh", L"D"));
}

TEST_F(Settings, DefaultWritesNeverOverwrite)
{
    const std::wstring existing(40, L'E');
    for (Store kind : kStores) {
        TestStore store;
        Open(store, kind);
        ASSERT_EQ(1, store.WriteString(L"General", L"Long", existing.c_str()));
        EXPECT_EQ(1, store.WriteStringDefault(L"General", L"Long", L"short")) << Name(kind);
        EXPECT_EQ(existing, std::wstring(store.ReadString(L"General", L"Long", TRUE))) << Name(kind);
        ASSERT_EQ(1, store.WriteString(L"General", L"Empty", L""));
        EXPECT_EQ(1, store.WriteIntDefault(L"General", L"Empty", 3)) << Name(kind);
        EXPECT_STREQ(L"", store.ReadString(L"General", L"Empty", TRUE)) << Name(kind);

        EXPECT_EQ(1, store.WriteStringDefault(L"General", L"Fresh", L"C:\\new\\\u263A")) << Name(kind);
        EXPECT_STREQ(L"C:\\new\\\u263A", store.ReadString(L"General", L"Fresh", TRUE)) << Name(kind);
        EXPECT_EQ(1, store.WriteFormattedDefault(L"General", L"Formatted", L"%s-%d", L"n", 4)) << Name(kind);
        EXPECT_EQ(1, store.WriteFormattedDefault(L"General", L"Formatted", L"%s-%d", L"n", 5)) << Name(kind);
        EXPECT_STREQ(L"n-4", store.ReadString(L"General", L"Formatted", TRUE)) << Name(kind);

        ASSERT_EQ(1, store.WriteDword(L"General", L"D", 7)) << Name(kind);
        EXPECT_EQ(1, store.WriteDwordDefault(L"General", L"D", 9)) << Name(kind);
        EXPECT_EQ(7u, store.ReadDword(L"General", L"D")) << Name(kind);
        EXPECT_EQ(1, store.WriteDwordDefault(L"General", L"D2", 9)) << Name(kind);
        EXPECT_EQ(9u, store.ReadDword(L"General", L"D2")) << Name(kind);
        Clean();
    }
}

TEST_F(Settings, DwordsInTheProfileStructForm)
{
    for (Store kind : {Store::UserIni, Store::ModuleIni}) {
        TestStore store;
        Open(store, kind);
        ASSERT_EQ(1, store.WriteDword(L"General", L"Number", 0x12345678)) << Name(kind);
        EXPECT_EQ(0x12345678u, store.ReadDword(L"General", L"Number"));
        const wchar_t* file = kind == Store::UserIni ? store.GetUserIniFile() : store.GetIniFile();
        // Bytes 78 56 34 12 and their sum modulo 256 (0x14) as the check byte.
        EXPECT_EQ(L"7856341214", IniText(file, L"General", L"Number")) << Name(kind);
        DWORD read = 0;
        EXPECT_TRUE(GetPrivateProfileStructW(L"General", L"Number", &read, sizeof(read), file));
        EXPECT_EQ(0x12345678u, read);
        EXPECT_EQ(0u, store.ReadDword(L"General", L"Missing"));
        Clean();
    }
}

TEST_F(Settings, ProfilesWrittenAndReadBack)
{
    for (Store kind : {Store::Registry, Store::UserIni}) {
        TestStore store;
        Open(store, kind);
        ASSERT_EQ(1, store.WriteInt(L"General", L"Size", 1));
        ASSERT_EQ(1, store.WriteProfileInt(2, L"General", L"Size", 5)) << Name(kind);
        ASSERT_EQ(1, store.WriteProfileFormatted(2, L"General", L"Name", L"%s-%d", L"x", 3)) << Name(kind);
        EXPECT_STREQ(L"5", store.ReadProfileString(2, L"General", L"Size", L"d")) << Name(kind);
        EXPECT_STREQ(L"x-3", store.ReadProfileString(2, L"General", L"Name", L"d")) << Name(kind);
        // Another profile, or a key only in the plain section: the plain section's value.
        EXPECT_STREQ(L"1", store.ReadProfileString(3, L"General", L"Size", L"d")) << Name(kind);
        EXPECT_STREQ(L"d", store.ReadProfileString(2, L"General", L"Absent", L"d")) << Name(kind);
        EXPECT_STREQ(L"", store.ReadProfileString(2, L"General", L"Absent", nullptr)) << Name(kind);
        EXPECT_STREQ(L"5", store.ReadString(L"General_Profile2", L"Size", TRUE)) << Name(kind);
        Clean();
    }
    // The registry place that earlier versions read profiles from still counts.
    TestStore store;
    Open(store, Store::Registry);
    CRegTool reg;
    ASSERT_EQ(ERROR_SUCCESS, reg.OpenKey(HKEY_CURRENT_USER, (std::wstring(kModuleKey) + L"\\Profile4\\General").c_str()));
    reg.WriteString(L"Size", L"44");
    reg.CloseKey();
    EXPECT_STREQ(L"44", store.ReadProfileString(4, L"General", L"Size", L"d"));
}

TEST_F(Settings, QuotedStringsAndProgramIni)
{
    TestStore store;
    Open(store, Store::ModuleIni);
    EXPECT_EQ(1, store.WriteQuotedString(L"General", L"Q", L"\"a\""));
    EXPECT_STREQ(L"\"a\"", store.ReadString(L"General", L"Q", TRUE));
    EXPECT_EQ(1, store.WriteQuotedString(L"General", L"P", L"no quotes"));
    EXPECT_STREQ(L"no quotes", store.ReadString(L"General", L"P", TRUE));

    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(store.GetIniFile()));
    EXPECT_TRUE(store.DeleteIniFile());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(store.GetIniFile()));

    store.UseProgramIniFile();
    std::wstring chosen = store.GetIniFile();
    EXPECT_STREQ(store.GetIniFile(), store.GetProgramIniFile());
    EXPECT_EQ(0u, chosen.find(ProgramFolder()));
    EXPECT_EQ(L".INI", chosen.substr(chosen.size() - 4));
    EXPECT_EQ(std::wstring::npos, chosen.find(L"foundation_settings_test"));

    store.UseProgramIniAsUserIni();
    EXPECT_STREQ(store.GetProgramIniFile(), store.GetUserIniFile());
}
