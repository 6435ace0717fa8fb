#include "host/PluginBase.h"

#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/TextUtils.h"
#include "tests/hosts/RecordingWindow.h"
#include "tests/plugins/TestPluginRecord.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using testing_support::PluginCallLog;

namespace {

std::wstring Tree()
{
    return testing_support::ProgramFolder() + L"..\\testtree\\";
}

std::wstring TestPluginFile(const wchar_t* rel)
{
    return Tree() + rel;
}

std::vector<DWORD> Ids(const CPluginBase& base)
{
    std::vector<DWORD> ids;
    for (int i = 0; i < kPluginSlots; ++i)
        if (base.GetModule(i))
            ids.push_back(base.GetPluginId(i));
    return ids;
}

int UsedCount(const CPluginBase& base)
{
    int n = 0;
    for (int i = 0; i < kPluginSlots; ++i)
        n += base.GetModule(i) ? 1 : 0;
    return n;
}

// Sets slot fields directly, for the ordering rule alone.
class SlotTable : public CPluginBase {
public:
    void Put(int slot, DWORD id, UINT_PTR tag)
    {
        m_Slots[slot] = QorPluginSlot{};
        m_Slots[slot].hModule = reinterpret_cast<HMODULE>(tag);
        m_Slots[slot].dwPluginId = id;
    }
    ~SlotTable() override { memset(m_Slots, 0, sizeof(m_Slots)); }  // the handles are not real
};

class PluginManager : public ::testing::Test {
protected:
    void SetUp() override
    {
        CPluginBase::SetLoadSortRule(nullptr);
        m_temp = testing_support::MakeTempFolder(L"pluginbase");
    }
    void TearDown() override
    {
        CPluginBase::SetLoadSortRule(nullptr);
        SetCurrentDirectoryW(testing_support::ProgramFolder().c_str());
        testing_support::RemoveTree(m_temp);
    }
    void Copy(const wchar_t* from, const std::wstring& toName)
    {
        CreateDirectoryW((m_temp + L"PluginSearch").c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(TestPluginFile(from).c_str(), (m_temp + L"PluginSearch\\" + toName).c_str(), FALSE));
    }
    PluginCallLog m_log{L"pluginbase"};
    std::wstring m_temp;
};

}  // namespace

TEST_F(PluginManager, FolderIsTheCategoryBesideTheBase)
{
    CPluginBase none;
    EXPECT_STREQ(L"", none.GetPath());
    EXPECT_STREQ(L"", none.GetName());
    CPluginBase beside(L"PluginSearch");
    EXPECT_EQ(testing_support::ProgramFolder() + L"PluginSearch\\", beside.GetPath());
    EXPECT_STREQ(L"PluginSearch", beside.GetName());
    CPluginBase base;
    base.SetFolder(L"C:\\x", L"PluginInfo");
    EXPECT_STREQ(L"C:\\x\\PluginInfo\\", base.GetPath());
}

TEST_F(PluginManager, LoadsOnlyPluginDllsAndFailuresTakeNoSlot)
{
    const wchar_t* good = L"main\\PluginSearch\\PluginSearchS0.dll";
    Copy(good, L"PluginA.dll");
    Copy(good, L"pluginb.DLL");
    Copy(good, L"PluginC.dllx");      // longer extension: no plug-in
    Copy(good, L"PluginD.DLL.bak");
    Copy(good, L"NotPluginE.dll");    // other prefix
    testing_support::WriteFileBytes(m_temp + L"PluginSearch\\PluginBad.dll", "MZ not a library", 16);
    CreateDirectoryW((m_temp + L"PluginSearch\\PluginDir.dll").c_str(), nullptr);
    Copy(good, L"PluginF.dll");
    CPluginBase base;
    base.SetFolder(m_temp.c_str(), L"PluginSearch");
    base.LoadAllModules();
    EXPECT_EQ(3, UsedCount(base));
    std::set<std::wstring> names;
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(nullptr, base.GetModule(i)) << "used slots come first, a failed file takes none";
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(base.GetModule(i), path, MAX_PATH);
        std::wstring p = path;
        names.insert(p.substr(p.rfind(L'\\') + 1));
    }
    EXPECT_EQ((std::set<std::wstring>{L"PluginA.dll", L"pluginb.DLL", L"PluginF.dll"}), names);
    base.UnloadAllModules();
    EXPECT_EQ(0, UsedCount(base));
}

TEST_F(PluginManager, FortyLibrariesLoadThirtyTwo)
{
    for (int i = 0; i < 40; ++i)
        Copy(L"main\\PluginSearch\\PluginSearchS2.dll", L"PluginN" + std::to_wstring(i) + L".dll");
    CPluginBase base;
    base.SetFolder(m_temp.c_str(), L"PluginSearch");
    base.LoadAllModules();
    EXPECT_EQ(32, UsedCount(base));
    EXPECT_EQ(3, base.Add(L"PluginN39")) << "loaded already, or no free slot";
    base.BeforeClose();
    base.UnloadAllModules();
}

TEST_F(PluginManager, SortRuleTable)
{
    struct Case {
        const wchar_t* rule;
        std::vector<DWORD> ids;
        std::vector<DWORD> expected;
    } cases[] = {
        {nullptr, {615, 103}, {103, 615}},
        {nullptr, {619, 606, 616, 618, 602, 615, 211, 207, 315, 313, 103}, {103, 313, 315, 207, 211, 615, 602, 618, 616, 606, 619}},
        {nullptr, {615, 5, 103}, {5, 103, 615}},
        {nullptr, {103, 3}, {3, 103}},     // "3;" is no match inside "103;"
        {nullptr, {13, 3, 1}, {13, 3, 1}}, // none named: file order kept
        {L"2;1;", {1, 2, 3}, {3, 2, 1}},
        {L"21;1;", {1, 21}, {21, 1}},
        {L"", {615, 103}, {103, 615}},     // empty: the default
    };
    // The setting holds 1,023 characters, and the whole of it counts: the IDs stand at its end.
    std::wstring longRule;
    for (int i = 0; i < 203; ++i)
        longRule += L"1000;";
    longRule += L"777;2;1;";
    ASSERT_EQ(1023u, longRule.size());
    std::vector<Case> all(std::begin(cases), std::end(cases));
    all.push_back({longRule.c_str(), {1, 2}, {2, 1}});
    for (const Case& c : all) {
        CPluginBase::SetLoadSortRule(c.rule);
        SlotTable t;
        for (size_t i = 0; i < c.ids.size(); ++i)
            t.Put(static_cast<int>(i), c.ids[i], 0x1000 + i);
        t.SortModules();
        EXPECT_EQ(c.expected, Ids(t)) << (c.rule ? std::string(c.rule, c.rule + wcslen(c.rule)) : "default");
    }
    // Ties keep file order, and the slots used stay the slots used.
    CPluginBase::SetLoadSortRule(L"7;");
    SlotTable t;
    t.Put(0, 9, 0xA0);
    t.Put(3, 7, 0xA3);
    t.Put(5, 9, 0xA5);
    t.Put(9, 8, 0xA9);
    t.SortModules();
    EXPECT_EQ(reinterpret_cast<HMODULE>(0xA0), t.GetModule(0));
    EXPECT_EQ(reinterpret_cast<HMODULE>(0xA5), t.GetModule(3));
    EXPECT_EQ(reinterpret_cast<HMODULE>(0xA9), t.GetModule(5));
    EXPECT_EQ(reinterpret_cast<HMODULE>(0xA3), t.GetModule(9));
    EXPECT_EQ(nullptr, t.GetModule(1));
}

TEST_F(PluginManager, LoadAllSortsByTheRuleWhateverTheFileOrder)
{
    CPluginBase base;
    base.SetFolder((Tree() + L"main").c_str(), L"PluginSearch");
    CPluginBase::SetLoadSortRule(L"906;905;904;903;902;901;");
    base.LoadAllModules();
    EXPECT_EQ((std::vector<DWORD>{906, 905, 904, 903, 902, 901}), Ids(base));
    base.UnloadAllModules();
    CPluginBase::SetLoadSortRule(L"903;");
    base.LoadAllModules();
    std::vector<DWORD> ids = Ids(base);
    ASSERT_EQ(6u, ids.size());
    EXPECT_EQ(903u, ids.back());
    base.UnloadAllModules();
}

TEST_F(PluginManager, DisableStateBetaAndExports)
{
    CPluginBase base;
    base.SetFolder((Tree() + L"exports").c_str(), L"PluginSearch");
    EXPECT_EQ(1u, base.GetDisableState(0)) << "empty slot";
    EXPECT_EQ(0, base.Add(L"PluginNoState"));
    EXPECT_EQ(0, base.Add(L"PluginBeta"));
    EXPECT_EQ(0, base.Add(L"PluginBare"));
    EXPECT_EQ(0u, base.GetDisableState(0)) << "no DLL_GetDisableState";
    EXPECT_EQ(1u, base.GetDisableState(1)) << "its own answer";
    EXPECT_EQ(0u, base.GetDisableState(2));
    EXPECT_EQ(1u, base.GetDisableState(33)) << "modulo 32";
    EXPECT_EQ(1u, base.GetIsBeta(1));
    EXPECT_EQ(1u, CPluginBase::IsBetaVersionOf(base.GetModule(1)));
    EXPECT_EQ(0u, CPluginBase::IsBetaVersionOf(base.GetModule(0)));
    EXPECT_EQ(1u, CPluginBase::GetDisableStateOf(base.GetModule(1)));
    EXPECT_EQ(0u, CPluginBase::GetDisableStateOf(nullptr));
    EXPECT_EQ(L"Test plug-in Beta", std::wstring(base.GetPluginName(1)));
    EXPECT_STREQ(L"", base.GetPluginName(0));
    EXPECT_STREQ(L"", base.GetPluginName(5));
    EXPECT_EQ(1u, base.SlotBusProcess(2, 5, nullptr)) << "no DLL_PluginBusProcess";
    EXPECT_EQ(0u, base.GetCanDisable(1));
    base.UpdateCanDisable();
    EXPECT_EQ(1u, base.GetCanDisable(1));
    EXPECT_EQ(0u, base.GetSlot(2).dwIsUnicode);
    base.UnloadAllModules();
}

TEST_F(PluginManager, ReusedSlotKeepsNothingOfItsLastPlugin)
{
    CPluginBase base;
    base.SetFolder((Tree() + L"exports").c_str(), L"PluginSearch");
    ASSERT_EQ(0, base.Add(L"PluginBeta"));
    EXPECT_EQ(778u, base.GetPluginId(0));
    EXPECT_EQ(0, base.Remove(L"PluginBeta.dll"));
    ASSERT_EQ(0, base.Add(L"PluginNoId"));
    const QorPluginSlot& s = base.GetSlot(0);
    EXPECT_EQ(0u, s.dwPluginId) << "no DLL_GetPluginID: no ID, not the previous one";
    EXPECT_EQ(0u, s.dwIsBeta);
    EXPECT_EQ(0u, s.dwCanDisable);
    EXPECT_EQ(nullptr, s.pfnGetPluginName);
    base.UnloadAllModules();
    const QorPluginSlot& cleared = base.GetSlot(0);
    EXPECT_EQ(nullptr, cleared.hModule);
    EXPECT_EQ(0u, cleared.dwPluginId + cleared.dwIsUnicode + cleared.dwIsBeta);
}

TEST_F(PluginManager, AddAndRemoveResults)
{
    CPluginBase base;
    base.SetFolder((Tree() + L"main").c_str(), L"PluginSearch");
    struct Step {
        bool add;
        const wchar_t* name;
        int expected;
        int used;
    } steps[] = {
        {true, L"PluginSearchS0", 0, 1},
        {true, L"pluginsearchs0.dll", 1, 1},
        {true, L"", 2, 1},                                     // no longer matches every module
        {true, L"S0", 2, 1},                                   // a substring is no name
        {true, L"..\\PluginDebug\\PluginTraceD.dll", 2, 1},     // bare names only
        {true, L"..\\..\\main\\PluginDebug\\PluginTraceD", 2, 1},
        {true, (Tree() + L"main\\PluginDebug\\PluginTraceD.dll").c_str(), 2, 1},
        {true, L"PluginMissing", 2, 1},
        {true, L"PluginSearchS2.DLL", 0, 2},
        {false, L"PluginMissing", 1, 2},
        {false, L"", 1, 2},
        {false, L"SearchS0.dll", 1, 2},
        {false, L"PLUGINSEARCHS0", 0, 1},
        {false, L"PluginSearchS0", 1, 1},
    };
    std::vector<std::wstring> names;
    for (const Step& s : steps)
        names.push_back(s.name);
    for (size_t i = 0; i < _countof(steps); ++i) {
        int r = steps[i].add ? base.Add(names[i].c_str()) : base.Remove(names[i].c_str());
        EXPECT_EQ(steps[i].expected, r) << i;
        EXPECT_EQ(steps[i].used, UsedCount(base)) << i;
    }
    EXPECT_EQ(903u, base.GetPluginId(1));
    EXPECT_EQ(nullptr, GetModuleHandleW((Tree() + L"main\\PluginDebug\\PluginTraceD.dll").c_str()));
    base.UnloadAllModules();
}

TEST_F(PluginManager, RemoveAndUnloadCloseThePluginFirst)
{
    CPluginBase base;
    base.SetFolder((Tree() + L"main").c_str(), L"PluginSearch");
    ASSERT_EQ(0, base.Add(L"PluginSearchS0"));
    m_log.Clear();
    wchar_t text[] = L"<data>\r\n <value keyword=\"TestAction\">S0:threadlog:0</value>\r\n</data>\r\n";
    base.PluginBusProcess(80, text);
    EXPECT_EQ(0, base.Remove(L"PluginSearchS0"));
    EXPECT_EQ((std::vector<std::wstring>{L"S0.BeforeClose", L"S0.Detach"}), m_log.Sequence({L"BeforeClose", L"Detach"}));
    EXPECT_EQ(0u, m_log.Calls().back().type) << "its thread was stopped before the unload";

    // BeforeClose then UnloadAllModules closes once; UnloadAllModules alone closes too.
    base.LoadAllModules();
    m_log.Clear();
    base.BeforeClose();
    base.UnloadAllModules();
    EXPECT_EQ(6u, m_log.Sequence({L"BeforeClose"}).size());
    EXPECT_EQ(6u, m_log.Sequence({L"Detach"}).size());
    base.LoadAllModules();
    m_log.Clear();
    base.UnloadAllModules();
    auto seq = m_log.Sequence({L"BeforeClose", L"Detach"});
    ASSERT_EQ(12u, seq.size());
    for (size_t i = 0; i < seq.size(); i += 2)
        EXPECT_EQ(seq[i].substr(0, seq[i].find(L'.')) + L".Detach", seq[i + 1]) << "closed, then unloaded";
}

TEST_F(PluginManager, LifeCycleAndDeliveryStopAtTheFirstZero)
{
    CPluginBase base;
    base.SetFolder((Tree() + L"zero").c_str(), L"PluginSearch");
    CPluginBase::SetLoadSortRule(L"941;942;");
    base.LoadAllModules();
    ASSERT_EQ((std::vector<DWORD>{941, 942}), Ids(base));
    m_log.Clear();
    base.AfterLoad();
    EXPECT_EQ((std::vector<std::wstring>{L"SZ.AfterLoad", L"S9.AfterLoad"}), m_log.Sequence({L"AfterLoad"}));
    EXPECT_EQ(1u, base.GetCanDisable(0));
    m_log.Clear();
    wchar_t text[] = L"<data/>";
    EXPECT_EQ(0u, base.PluginBusProcess(5, text));
    EXPECT_EQ((std::vector<std::wstring>{L"SZ.BusProcess"}), m_log.Sequence({L"BusProcess"}));
    EXPECT_EQ(1u, base.SlotBusProcess(1, 5, text));
    EXPECT_EQ(0u, base.SlotBusProcess(32, 5, text)) << "slot 32 is slot 0";
    EXPECT_EQ(1u, base.SlotBusProcess(7, 5, text)) << "empty slot";
    base.UnloadAllModules();
    CPluginBase empty;
    empty.SetFolder((Tree() + L"empty").c_str(), L"PluginSearch");
    empty.LoadAllModules();
    EXPECT_EQ(1u, empty.PluginBusProcess(5, text));
}

TEST_F(PluginManager, CurrentDirectoryLetsAPluginLoadItsOwnLibraries)
{
    SetCurrentDirectoryW(m_temp.c_str());
    CPluginBase base;
    base.SetFolder((Tree() + L"dep").c_str(), L"PluginSearch");
    base.LoadAllModules();
    ASSERT_EQ(1, UsedCount(base));
    EXPECT_EQ(990u, base.GetPluginId(0));
    EXPECT_EQ(1u, base.GetSlot(0).dwIsUnicode) << "the helper library answered";
    base.UnloadAllModules();
    EXPECT_EQ(0, base.Add(L"PluginNeedsDep"));
    base.UnloadAllModules();
}

TEST_F(PluginManager, PrintFileInfosAndLogLines)
{
    testing_support::RecordingWindow host;
    g_hWndParent = host.hwnd();
    g_dwGlobalDebugLevel = 3;
    CPluginBase base;
    base.SetFolder((Tree() + L"main").c_str(), L"PluginSearch");
    CPluginBase::SetLoadSortRule(L"901;902;");
    base.LoadAllModules();
    base.PrintFileInfos();
    testing_support::PumpFor(50);
    std::vector<std::wstring> lines;
    for (const auto& m : host.OfType(QOR_BUSMSG_LOG)) {
        std::wstring t = GetValueByKeyword(m.text.c_str(), L"Text");
        lines.push_back(t.substr(t.find(L" - MAIN.") + 8));
    }
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(L"Func.LoadAllModules.Begin", lines[0]);
    EXPECT_EQ(L"Func.LoadAllModules.End", lines[1]);
    EXPECT_EQ(L"Func.PrintFileInfos.Begin", lines[2]);
    std::wstring path = Tree() + L"main\\PluginSearch\\PluginSearchS1.dll";
    wchar_t full[MAX_PATH];
    GetModuleFileNameW(base.GetModule(1), full, MAX_PATH);
    EXPECT_EQ(std::wstring(L"Func.PrintFileInfos.Info.Module: ") + full + L";;;", lines[4].substr(0, 33 + wcslen(full) + 3));
    EXPECT_EQ(L";1;", lines[4].substr(lines[4].size() - 3)) << "S1 is switched off";
    EXPECT_EQ(L";0;", lines[3].substr(lines[3].size() - 3));
    EXPECT_EQ(L"Func.PrintFileInfos.End", lines.back());
    g_dwGlobalDebugLevel = 0;
    base.UnloadAllModules();
    testing_support::PumpFor(20);
    host.Clear();
    base.PrintFileInfos();  // level 0 still written; nothing loaded: two lines
    testing_support::PumpFor(50);
    EXPECT_EQ(2u, host.OfType(QOR_BUSMSG_LOG).size());
    g_hWndParent = nullptr;
}

TEST(LoadLevel, CommentsText)
{
    struct Case {
        const wchar_t* comments;
        int level;
    } cases[] = {
        {L"LoadLevel 5", 5}, {L"LoadLevel=12", 12}, {L"LoadLevel", 0}, {L"LoadLevel ", 0},
        {L"", 0}, {nullptr, 0}, {L"Level 5", 0}, {L"LoadLevel x", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.level, CPluginBase::ParseLoadLevel(c.comments)) << (c.comments ? "text" : "null");
    EXPECT_EQ(0, CPluginBase::GetLoadLevel((Tree() + L"main\\PluginSearch\\PluginSearchS0.dll").c_str()));
    EXPECT_EQ(0, CPluginBase::GetLoadLevel(L"C:\\no\\such\\file.dll"));
}
