// The test plug-ins themselves: every built library exports exactly its listed functions by
// their plain names (and g_bIgnoreModule as data), and a plug-in can put messages on the bus
// from a thread of its own.
#include "bus/BusBuilders.h"
#include "bus/BusTypes.h"
#include "bus/PluginContract.h"
#include "foundation/TextUtils.h"
#include "tests/hosts/RecordingWindow.h"
#include "tests/plugins/TestPluginRecord.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* const kAllExports[] = {"DLL_PluginBusProcess", "DLL_GetPluginID", "DLL_PluginAfterLoad",
                                   "DLL_IsBetaVersion", "DLL_PluginBeforeClose", "DLL_GetPluginName",
                                   "DLL_GetDisableState", "DLL_IsUnicode", "DLL_CanDisable",
                                   "DLL_SetDisableState", "DLL_ShowConfig"};

std::wstring TreeFolder()
{
    return testing_support::ProgramFolder() + L"..\\testtree\\";
}

struct ManifestEntry {
    std::wstring path;
    DWORD id;
    std::string exports;
};

std::vector<ManifestEntry> ReadManifest()
{
    std::vector<BYTE> bytes = testing_support::ReadFileBytes(TreeFolder() + L"manifest.txt");
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::vector<ManifestEntry> out;
    std::string line;
    while (std::getline(in, line)) {
        size_t a = line.find('|'), b = line.find('|', a + 1);
        if (a == std::string::npos || b == std::string::npos)
            continue;
        std::string rel = line.substr(0, a);
        out.push_back({TreeFolder() + std::wstring(rel.begin(), rel.end()),
                       static_cast<DWORD>(std::stoul(line.substr(a + 1, b - a - 1))), "," + line.substr(b + 1) + ","});
    }
    return out;
}

}  // namespace

TEST(TestPlugins, EveryLibraryExportsItsListedFunctionsByPlainName)
{
    testing_support::PluginCallLog log(L"exports");
    auto manifest = ReadManifest();
    ASSERT_GE(manifest.size(), 20u);
    for (const ManifestEntry& e : manifest) {
        std::wstring folder = e.path.substr(0, e.path.rfind(L'\\'));
        SetCurrentDirectoryW(folder.c_str());  // the dependent library lies there
        HMODULE module = LoadLibraryW(e.path.c_str());
        ASSERT_NE(nullptr, module) << std::string(e.path.begin(), e.path.end());
        for (const char* name : kAllExports) {
            bool listed = e.exports.find(std::string(",") + name + ",") != std::string::npos;
            EXPECT_EQ(listed, GetProcAddress(module, name) != nullptr) << name;
        }
        EXPECT_NE(nullptr, GetProcAddress(module, "g_bIgnoreModule")) << "DATA export";
        auto getId = reinterpret_cast<PFN_DLL_GetPluginID>(GetProcAddress(module, "DLL_GetPluginID"));
        if (getId) {
            EXPECT_EQ(e.id, getId());
        }
        auto busProcess = reinterpret_cast<PFN_DLL_PluginBusProcess>(GetProcAddress(module, "DLL_PluginBusProcess"));
        if (busProcess) {
            wchar_t text[] = L"<data/>";
            // A stdcall call through the plain name keeps the stack balanced (else a crash here).
            for (int i = 0; i < 3; ++i)
                busProcess(5, text);
        }
        FreeLibrary(module);
    }
}

TEST(TestPlugins, PluginPostsFromItsOwnThreadAndStopsItInBeforeClose)
{
    testing_support::PluginCallLog log(L"thread");
    testing_support::RecordingWindow host;
    HMODULE module = LoadLibraryW((TreeFolder() + L"main\\PluginSearch\\PluginSearchS0.dll").c_str());
    ASSERT_NE(nullptr, module);
    auto busProcess = reinterpret_cast<PFN_DLL_PluginBusProcess>(GetProcAddress(module, "DLL_PluginBusProcess"));
    auto beforeClose = reinterpret_cast<PFN_DLL_PluginBeforeClose>(GetProcAddress(module, "DLL_PluginBeforeClose"));
    wchar_t text[] = L"<data>\r\n <value keyword=\"TestAction\">S0:threadlog:40</value>\r\n</data>\r\n";
    EXPECT_EQ(1u, busProcess(80, text));
    for (int i = 0; i < 100 && host.OfType(QOR_BUSMSG_LOG).size() < 40; ++i)
        testing_support::PumpFor(20);
    auto lines = host.OfType(QOR_BUSMSG_LOG);
    ASSERT_EQ(40u, lines.size());
    EXPECT_NE(GetCurrentThreadId(), lines[0].senderThread);
    EXPECT_STREQ(L"PLUGINTESTS0", GetValueByKeyword(lines[0].text.c_str(), L"Sender"));
    std::wstring first = GetValueByKeyword(lines[0].text.c_str(), L"Text");
    EXPECT_NE(std::wstring::npos, first.find(L") - PLUGINTESTS0.Func.LogThread.Info.line 0"));
    beforeClose();
    beforeClose();  // idempotent
    FreeLibrary(module);
    auto seq = log.Sequence({L"BeforeClose", L"Detach"});
    ASSERT_EQ(3u, seq.size());
    EXPECT_EQ(L"S0.Detach", seq[2]);
    EXPECT_EQ(0u, log.Calls().back().type) << "no thread left running at unload";
}

TEST(TestPlugins, SendBusToModuleCallsThePluginDirectly)
{
    testing_support::PluginCallLog log(L"tomodule");
    HMODULE bare = LoadLibraryW((TreeFolder() + L"exports\\PluginSearch\\PluginBare.dll").c_str());
    HMODULE zero = LoadLibraryW((TreeFolder() + L"zero\\PluginSearch\\PluginSearchSZ.dll").c_str());
    HMODULE one = LoadLibraryW((TreeFolder() + L"main\\PluginSearch\\PluginSearchS0.dll").c_str());
    ASSERT_TRUE(bare && zero && one);
    log.Clear();
    EXPECT_EQ(0u, SendBusToModule(bare, 5)) << "no DLL_PluginBusProcess";
    EXPECT_EQ(0u, SendBusToModule(zero, 5)) << "its answer";
    EXPECT_EQ(1u, SendBusToModule(one, 5));
    auto calls = log.Calls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(5u, calls[1].type);
    // The record keeps a bus text's values as "Key=Value;" pairs.
    EXPECT_STREQ(L"Type=5;Sender=Unknown;", calls[1].text);
    for (HMODULE m : {bare, zero, one})
        FreeLibrary(m);
}
