#include "tests/hosts/TestHost.h"

#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/TextUtils.h"
#include "tests/support/TestSupport.h"

namespace testing_support {

std::wstring TestTreeFolder(const wchar_t* tree)
{
    return ProgramFolder() + L"..\\testtree\\" + tree + L"\\";
}

TestHost::TestHost(const wchar_t* tree) : TestHost(tree, tree, tree, tree, tree, tree)
{
}

TestHost::TestHost(const wchar_t* d, const wchar_t* e, const wchar_t* i, const wchar_t* v, const wchar_t* s,
                   const wchar_t* t)
    : router(debug, extra, info, save, search, telephony)
{
    debug.SetFolder(TestTreeFolder(d).c_str(), L"PluginDebug");
    extra.SetFolder(TestTreeFolder(e).c_str(), L"PluginExtra");
    info.SetFolder(TestTreeFolder(i).c_str(), L"PluginInfo");
    save.SetFolder(TestTreeFolder(v).c_str(), L"PluginSave");
    search.SetFolder(TestTreeFolder(s).c_str(), L"PluginSearch");
    telephony.SetFolder(TestTreeFolder(t).c_str(), L"PluginTelephony");
    g_hWndParent = window.hwnd();
    window.onBusMessage = [this](UINT type, HGLOBAL block) -> LRESULT {
        if (type == QOR_BUSMSG_COMMAND) {
            const wchar_t* text = GetBusBlockText(block);
            if (text) {
                wchar_t cmd[127], arg[255];
                CopyText(cmd, _countof(cmd), GetValueByKeyword(text, L"CMD"));
                CopyText(arg, _countof(arg), GetValueByKeyword(text, L"Arg"));
                router.ExecuteBusCommand(cmd, arg);
                GlobalFree(block);
            }
            return 1;
        }
        return router.DistributeBusMessage(type, block);
    };
}

TestHost::~TestHost()
{
    CloseAll();
    window.onBusMessage = nullptr;
    if (g_hWndParent == window.hwnd())
        g_hWndParent = nullptr;
}

void TestHost::LoadAll()
{
    for (CPluginBase* c : {&debug, &extra, &info, &save, &search, &telephony})
        c->LoadAllModules();
    for (CPluginBase* c : {&debug, &extra, &info, &save, &search, &telephony})
        c->AfterLoad();
}

void TestHost::CloseAll()
{
    for (CPluginBase* c : {&debug, &extra, &info, &save, &search, &telephony}) {
        c->BeforeClose();
        c->UnloadAllModules();
    }
}

DWORD TestHost::Route(UINT type, const std::wstring& text)
{
    HGLOBAL block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, BusBlockBytes(text.size()));
    CopyText(static_cast<wchar_t*>(block), BusBlockBytes(text.size()) / 2, text.c_str());
    return router.DistributeBusMessage(type, block);
}

}  // namespace testing_support
