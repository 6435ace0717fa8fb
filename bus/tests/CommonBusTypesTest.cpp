#include "bus/CommonBusTypes.h"

#include "bus/BusMessage.h"
#include "bus/LogLine.h"
#include "foundation/ResourceAccess.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Message(UINT type, std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> values)
{
    wchar_t msg[kBusMsgCapacity];
    BusMsgBegin(msg, kBusMsgCapacity);
    BusMsgAppendUInt(msg, kBusMsgCapacity, L"Type", type);
    for (const auto& v : values)
        BusMsgAppendText(msg, kBusMsgCapacity, v.first, v.second);
    BusMsgEnd(msg, kBusMsgCapacity);
    return msg;
}

class CommonBusTypes : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_dwGlobalDebugLevel = 0;
        g_bIgnoreModule = 0;
        g_bCanDisable = 1;
        g_dwSchemeIndex = 0;
        g_szUsedFont[0] = g_szUsedLanguage[0] = L'\0';
        SetCommonResourceAccess(nullptr);
    }
};

}  // namespace

TEST_F(CommonBusTypes, EachTypeSetsItsValue)
{
    HandleCommonBusTypes(26, Message(26, {{L"Level", L"4"}}).c_str());
    EXPECT_EQ(4u, g_dwGlobalDebugLevel);
    HandleCommonBusTypes(76, Message(76, {{L"SchemeIndex", L"3"}, {L"UsedFont", L"Tahoma"}, {L"UsedLanguage", L"Deutsch"}}).c_str());
    EXPECT_EQ(3u, g_dwSchemeIndex);
    EXPECT_STREQ(L"Tahoma", g_szUsedFont);
    EXPECT_STREQ(L"Deutsch", g_szUsedLanguage);
    HandleCommonBusTypes(51, Message(51, {}).c_str());
    EXPECT_EQ(1, g_bIgnoreModule);
    EXPECT_EQ(0, ModuleCanDisable());
    EXPECT_EQ(1, ModuleGetDisableState()) << "a module that cannot be disabled reports 1";
    HandleCommonBusTypes(53, Message(53, {}).c_str());
    EXPECT_EQ(1, ModuleCanDisable());
    EXPECT_EQ(1, ModuleGetDisableState()) << "its ignore flag, still set";
    EXPECT_EQ(0, ModuleSetDisableState(0));
    EXPECT_EQ(0, ModuleGetDisableState());
    HandleCommonBusTypes(3, Message(3, {{L"Level", L"9"}}).c_str());
    EXPECT_EQ(4u, g_dwGlobalDebugLevel) << "other types change nothing";
    EXPECT_EQ(1, ModuleIsUnicode());
    EXPECT_EQ(1, ModuleReturnsOne());
}

TEST_F(CommonBusTypes, SchemeWithoutLanguageKeepsTheLanguage)
{
    CResourceAccess resources;  // no library: a switch would fall to English
    SetCommonResourceAccess(&resources);
    wcscpy(g_szUsedLanguage, L"Deutsch");
    HandleCommonBusTypes(76, Message(76, {{L"SchemeIndex", L"1"}, {L"UsedFont", L""}}).c_str());
    EXPECT_EQ(1u, g_dwSchemeIndex);
    EXPECT_STREQ(L"Deutsch", g_szUsedLanguage);
    SetCommonResourceAccess(nullptr);
}

TEST_F(CommonBusTypes, SchemeReceiverIgnoresTheIgnoreTypes)
{
    HandleSchemeBusTypes(51, Message(51, {}).c_str());
    EXPECT_EQ(0, g_bIgnoreModule);
    EXPECT_EQ(1, g_bCanDisable);
    HandleSchemeBusTypes(26, Message(26, {{L"Level", L"2"}}).c_str());
    EXPECT_EQ(2u, g_dwGlobalDebugLevel);
    HandleCommonBusTypes(26, nullptr);
    EXPECT_EQ(0u, g_dwGlobalDebugLevel) << "a null text reads as no value";
}
