// An in-process stand-in for the host program: a recording host window, six category
// managers over a test tree and the bus router. The window routes each 0x47F message through
// the router (Type 8 runs the bus command instead), as the host's window procedure does.
#pragma once

#include "host/BusRouter.h"
#include "host/PluginBase.h"
#include "tests/hosts/RecordingWindow.h"

#include <string>

namespace testing_support {

// The built test trees: <tests>\..\testtree\<tree>\.
std::wstring TestTreeFolder(const wchar_t* tree);

class TestHost {
public:
    // One tree for every category.
    explicit TestHost(const wchar_t* tree);
    // A tree per category, in the order Debug, Extra, Info, Save, Search, Telephony.
    TestHost(const wchar_t* debug, const wchar_t* extra, const wchar_t* info, const wchar_t* save,
             const wchar_t* search, const wchar_t* telephony);
    ~TestHost();

    // LoadAllModules of every category, then AfterLoad of every category.
    void LoadAll();
    // BeforeClose and UnloadAllModules of every category.
    void CloseAll();
    // Copies the text into a bus block and routes it; returns the router's result.
    DWORD Route(UINT type, const std::wstring& text);

    RecordingWindow window;
    CPluginBase debug, extra, info, save, search, telephony;
    CBusRouter router;
};

}  // namespace testing_support
