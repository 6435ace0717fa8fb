// Every message a plug-in puts on the bus ends with its own Sender: the real plug-in DLLs of
// the installed layout, driven as the host drives them, each a row of the table.
#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "bus/PluginContract.h"
#include "foundation/TextUtils.h"
#include "tests/hosts/RecordingWindow.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using testing_support::RecordingWindow;

namespace {

struct PluginRow {
    const wchar_t* file;    // below the installed layout
    const wchar_t* sender;  // the module identifier in upper case
};

const PluginRow kPlugins[] = {
    {L"PluginInfo\\PluginInfoVisette.DLL", L"PLUGININFOVISETTE"},
};

// A message of the host's kind that sets the module's debug level.
std::wstring DebugLevelMessage(DWORD level)
{
    wchar_t text[kBusMsgCapacity];
    BusMsgBegin(text, _countof(text));
    BusMsgAppendUInt(text, _countof(text), L"Type", QOR_BUSMSG_DEBUGLEVEL);
    BusMsgAppendUInt(text, _countof(text), L"Level", level);
    BusMsgEnd(text, _countof(text));
    return text;
}

}  // namespace

TEST(PluginFooter, EveryMessageOfEachPluginEndsWithItsSender)
{
    for (const PluginRow& row : kPlugins) {
        RecordingWindow host;  // before the load: the plug-in looks for the host window then
        HMODULE module = LoadLibraryW((testing_support::DistFolder() + row.file).c_str());
        ASSERT_NE(nullptr, module) << row.file;
        auto busProcess = reinterpret_cast<PFN_DLL_PluginBusProcess>(GetProcAddress(module, "DLL_PluginBusProcess"));
        auto afterLoad = reinterpret_cast<PFN_DLL_PluginAfterLoad>(GetProcAddress(module, "DLL_PluginAfterLoad"));
        auto beforeClose = reinterpret_cast<PFN_DLL_PluginBeforeClose>(GetProcAddress(module, "DLL_PluginBeforeClose"));
        ASSERT_TRUE(busProcess && afterLoad && beforeClose) << row.file;
        // With the highest level the start and stop write their log lines.
        std::wstring level = DebugLevelMessage(4);
        busProcess(QOR_BUSMSG_DEBUGLEVEL, &level[0]);
        afterLoad();
        beforeClose();
        testing_support::PumpFor(50);
        FreeLibrary(module);

        ASSERT_FALSE(host.messages().empty()) << row.file;
        const std::wstring footer = std::wstring(L" <value keyword=\"Sender\">") + row.sender + L"</value>\r\n</data>\r\n";
        for (const auto& m : host.messages()) {
            ASSERT_GE(m.text.size(), footer.size()) << row.file;
            EXPECT_EQ(footer, m.text.substr(m.text.size() - footer.size())) << row.file << " Type " << m.type;
            EXPECT_STREQ(row.sender, GetValueByKeyword(m.text.c_str(), L"Sender")) << row.file;
        }
    }
}
