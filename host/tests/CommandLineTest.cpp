#include "host/CommandLine.h"
#include "host/ProgramState.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct CommandLineCase {
    const wchar_t* text;
    HostSwitch action;
    const wchar_t* group;
    const wchar_t* name;
    const wchar_t* third;
};

std::wstring Field(wchar_t c)
{
    return std::wstring(255, c);
}

TEST(HostCommandLine, SwitchesAndShortcutFields)
{
    const CommandLineCase cases[] = {
        {L"-d", HOST_SWITCH_START_SERVICE, L"", L"", L""},
        {L"-D", HOST_SWITCH_START_SERVICE, L"", L"", L""},
        {L"-I", HOST_SWITCH_INSTALL, L"", L"", L""},
        {L"-u", HOST_SWITCH_UNINSTALL, L"", L"", L""},
        {L"-x", HOST_SWITCH_NONE, L"", L"", L""},
        {L"D", HOST_SWITCH_NONE, L"", L"", L""},
        {L"", HOST_SWITCH_NONE, L"", L"", L""},
        {L"-", HOST_SWITCH_NONE, L"", L"", L""},
        {L"-S Group#Name#x#", HOST_SWITCH_SHORTCUTS, L"Group", L"Name", L"x"},
        // The third character is skipped whatever it is.
        {L"-sXOrvix Apps#Orvix Telvane#unused#", HOST_SWITCH_SHORTCUTS, L"Orvix Apps", L"Orvix Telvane", L"unused"},
        {L"-S", HOST_SWITCH_SHORTCUTS, L"", L"", L""},
        {L"-S ", HOST_SWITCH_SHORTCUTS, L"", L"", L""},
        {L"-S Group#", HOST_SWITCH_SHORTCUTS, L"Group", L"", L""},
        // An empty group stops the scan: no field after it is read.
        {L"-S #Name#x#", HOST_SWITCH_SHORTCUTS, L"", L"", L""},
    };
    for (const CommandLineCase& c : cases) {
        HostCommandLine parsed;
        ParseHostCommandLine(c.text, &parsed);
        EXPECT_EQ(c.action, parsed.action) << c.text;
        EXPECT_STREQ(c.group, parsed.group) << c.text;
        EXPECT_STREQ(c.name, parsed.name) << c.text;
        EXPECT_STREQ(c.third, parsed.third) << c.text;
    }
    HostCommandLine parsed;
    ParseHostCommandLine(nullptr, &parsed);
    EXPECT_EQ(HOST_SWITCH_NONE, parsed.action);
}

TEST(HostCommandLine, FieldLengthLimit)
{
    // 254 characters fit; 255 leave that field and the later ones empty.
    std::wstring fits = L"-S " + std::wstring(254, L'g') + L"#Name#x#";
    HostCommandLine parsed;
    ParseHostCommandLine(fits.c_str(), &parsed);
    EXPECT_EQ(std::wstring(254, L'g'), parsed.group);
    EXPECT_STREQ(L"Name", parsed.name);

    std::wstring longGroup = L"-S " + Field(L'g') + L"#Name#x#";
    ParseHostCommandLine(longGroup.c_str(), &parsed);
    EXPECT_EQ(HOST_SWITCH_SHORTCUTS, parsed.action);
    EXPECT_STREQ(L"", parsed.group);
    EXPECT_STREQ(L"", parsed.name);
    EXPECT_STREQ(L"", parsed.third);

    std::wstring longName = L"-S Group#" + Field(L'n') + L"#x#";
    ParseHostCommandLine(longName.c_str(), &parsed);
    EXPECT_STREQ(L"Group", parsed.group);
    EXPECT_STREQ(L"", parsed.name);
    EXPECT_STREQ(L"", parsed.third);
}

TEST(HostProgramState, TextAndTrayImage)
{
    const struct {
        long state;
        const wchar_t* text;
        int image;
    } cases[] = {
        {0, L"STOPPED", 0}, {1, L"STARTING", 0}, {2, L"OK", 1},     {3, L"ERROR", 0},
        {4, L"PAUSED", 2},  {5, L"UNKNOWN", 1},  {9, L"UNKNOWN", 1}, {-1, L"UNKNOWN", 1},
    };
    for (const auto& c : cases) {
        ProgramStateInfo info = GetProgramStateInfo(c.state);
        EXPECT_STREQ(c.text, info.text) << c.state;
        EXPECT_EQ(c.image, info.trayImage) << c.state;
    }
}

}  // namespace
