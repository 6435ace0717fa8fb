#include "telephony_support/TapiProviders.h"

#include "foundation/RegTool.h"
#include "telephony_support/ProviderSeams.h"

#include <gtest/gtest.h>

#include <tapi.h>

#include <string>
#include <vector>

namespace {

const wchar_t kProviders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Providers";

std::vector<DWORD> g_removed;
LONG WINAPI RecordRemove(DWORD id, HWND) { g_removed.push_back(id); return 0; }
std::vector<std::string> g_added;
LONG RecordAdd(LPCSTR name, HWND, LPDWORD id) { g_added.push_back(name); *id = 4711; return 0; }

// The provider list as a fixture: the machine's own list is saved and put back.
class ProviderList : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_remove = g_pfnLineRemoveProvider;
        m_add = g_pfnLineAddProvider;
        g_pfnLineRemoveProvider = RecordRemove;
        g_pfnLineAddProvider = RecordAdd;
        g_removed.clear();
        g_added.clear();
        CRegTool key;
        key.Use64BitView();
        if (key.OpenExistingKey(HKEY_LOCAL_MACHINE, kProviders) == ERROR_SUCCESS) {
            for (DWORD i = 0;; ++i) {
                wchar_t name[256];
                DWORD nameLen = 256, type = 0, size = sizeof(m_buffer);
                BYTE data[1024];
                if (RegEnumValueW(key.GetOpenKey(), i, name, &nameLen, nullptr, &type, data, &size) != ERROR_SUCCESS)
                    break;
                m_saved.push_back({name, type, std::vector<BYTE>(data, data + size)});
            }
            key.CloseKey();
        }
        Clear();
    }
    void TearDown() override
    {
        Clear();
        CRegTool key;
        key.Use64BitView();
        if (key.OpenKey(HKEY_LOCAL_MACHINE, kProviders) == ERROR_SUCCESS) {
            for (auto& v : m_saved)
                RegSetValueExW(key.GetOpenKey(), v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
            key.CloseKey();
        }
        g_pfnLineRemoveProvider = m_remove;
        g_pfnLineAddProvider = m_add;
    }
    void Clear()
    {
        CRegTool key;
        key.Use64BitView();
        key.DeleteKeyTree(HKEY_LOCAL_MACHINE, kProviders);
    }
    void Seed(std::vector<std::wstring> names)
    {
        CRegTool key;
        key.Use64BitView();
        ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_LOCAL_MACHINE, kProviders));
        key.WriteDword(L"NumProviders", static_cast<DWORD>(names.size()));
        key.WriteDword(L"NextProviderID", 100);
        for (size_t i = 0; i < names.size(); ++i) {
            key.WriteString((L"ProviderFilename" + std::to_wstring(i)).c_str(), names[i].c_str());
            key.WriteDword((L"ProviderID" + std::to_wstring(i)).c_str(), static_cast<DWORD>(10 + i));
        }
        key.CloseKey();
    }
    std::wstring Text(const wchar_t* name)
    {
        CRegTool key;
        key.Use64BitView();
        key.OpenExistingKey(HKEY_LOCAL_MACHINE, kProviders);
        wchar_t v[128] = L"";
        int r = key.ReadString(name, v, 128, nullptr);
        key.CloseKey();
        return r == REGREAD_MISSING ? L"<missing>" : v;
    }
    DWORD Number(const wchar_t* name)
    {
        CRegTool key;
        key.Use64BitView();
        key.OpenExistingKey(HKEY_LOCAL_MACHINE, kProviders);
        DWORD v = 0xFFFF;
        key.ReadDword(name, &v, 0xFFFF);
        key.CloseKey();
        return v;
    }
    struct Saved { std::wstring name; DWORD type; std::vector<BYTE> data; };
    std::vector<Saved> m_saved;
    BYTE m_buffer[1024];
    decltype(g_pfnLineRemoveProvider) m_remove;
    decltype(g_pfnLineAddProvider) m_add;
};

}  // namespace

TEST_F(ProviderList, RepairDropsShortNamesAndRenumbers)
{
    Seed({L"ALPHA.TSP", L"x", L"BETA.TSP"});
    EXPECT_TRUE(RepairTapiProviderList(TRUE));
    EXPECT_EQ(3u, Number(L"NumProviders")) << "check only changes nothing";
    EXPECT_TRUE(RepairTapiProviderList(FALSE));
    EXPECT_EQ(2u, Number(L"NumProviders"));
    EXPECT_EQ(3u, Number(L"NextProviderID"));
    EXPECT_EQ(L"ALPHA.TSP", Text(L"ProviderFilename0"));
    EXPECT_EQ(0u, Number(L"ProviderID0"));
    EXPECT_EQ(L"BETA.TSP", Text(L"ProviderFilename1"));
    EXPECT_EQ(1u, Number(L"ProviderID1"));
    EXPECT_EQ(L"<missing>", Text(L"ProviderFilename2"));
    EXPECT_FALSE(RepairTapiProviderList(FALSE)) << "a sound list is left alone";
}

TEST_F(ProviderList, FindAndRemoveByName)
{
    Seed({L"unimdm.tsp", L"C:\\TSP\\BETA.TSP"});
    EXPECT_EQ(11, GetTapiProviderId(L"beta.tsp")) << "file name and extension, any case";
    EXPECT_EQ(11, GetTapiProviderId(L"D:\\elsewhere\\Beta.Tsp"));
    EXPECT_EQ(-1, GetTapiProviderId(L"gamma.tsp"));
    EXPECT_EQ(0, UninstallTapiProvider(L"beta.tsp", 0, nullptr));
    ASSERT_EQ(1u, g_removed.size());
    EXPECT_EQ(11u, g_removed[0]);
    EXPECT_EQ(static_cast<LONG>(LINEERR_OPERATIONFAILED), UninstallTapiProvider(L"gamma.tsp", 0, nullptr));
    EXPECT_EQ(static_cast<LONG>(LINEERR_OPERATIONFAILED), UninstallTapiProvider(L"", 0, nullptr))
        << "an empty name matches nothing";
}

TEST_F(ProviderList, AddRemovesEarlierRegistrationsFirst)
{
    Seed({L"C:\\TSP\\BETA.TSP"});
    AddTapiProvider(L"BETA.TSP");
    EXPECT_EQ(3u, g_removed.size()) << "up to three earlier registrations go";
    ASSERT_EQ(1u, g_added.size());
    EXPECT_EQ("BETA.TSP", g_added[0]);
    EXPECT_EQ(4711u, GetLastAddedProviderId());
}

TEST(ProviderFiles, CopyAndDeleteInTheSystemFolder)
{
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring folder(module);
    folder = folder.substr(0, folder.rfind(L'\\') + 1);
    std::wstring source = folder + L"ORVIXTEST.TSP";
    HANDLE f = CreateFileW(source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    CloseHandle(f);
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    std::wstring target = std::wstring(windows) + L"\\SYSTEM32\\ORVIXTEST.TSP";
    EXPECT_EQ(1, CopyProviderFile(L"ORVIXTEST.TSP", nullptr));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(target.c_str()));
    DeleteProviderFile(L"ORVIXTEST.TSP");
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(target.c_str()));
    EXPECT_EQ(0, CopyProviderFile(L"NOSUCHFILE.TSP", nullptr));
    DeleteFileW(source.c_str());
}
