#include "host/BusRouter.h"

#include "bus/BusBlockNumber.h"
#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/MessagePump.h"
#include "foundation/TextUtils.h"
#include "host/HostSeams.h"
#include "host/QorConfig.h"

#include <cstdlib>
#include <cwchar>

namespace {

// Call-event routes that may run one inside the other's pump.
constexpr int kMaxCallEventNesting = 4;

}  // namespace

CBusRouter::CBusRouter()
    : CBusRouter(g_PluginDebug, g_PluginExtra, g_PluginInfo, g_PluginSave, g_PluginSearch, g_PluginTelephony)
{
}

CBusRouter::CBusRouter(CPluginBase& debug, CPluginBase& extra, CPluginBase& info, CPluginBase& save,
                       CPluginBase& search, CPluginBase& telephony)
    : m_debug(debug), m_extra(extra), m_info(info), m_save(save), m_search(search), m_telephony(telephony)
{
}

void CBusRouter::Leave()
{
    if (--m_depth == 0)
        RunDeferredCommands();
}

DWORD CBusRouter::Deliver(CPluginBase& category, UINT type, wchar_t* text)
{
    Enter();
    DWORD result = category.PluginBusProcess(type, text);
    Leave();
    return result;
}

DWORD CBusRouter::DeliverSlot(CPluginBase& category, int slot, UINT type, wchar_t* text)
{
    Enter();
    DWORD result = category.SlotBusProcess(slot, type, text);
    Leave();
    return result;
}

bool CBusRouter::TakeForeign(HGLOBAL block)
{
    return m_foreign.erase(block) != 0;
}

void CBusRouter::ReleaseBlock(HGLOBAL block)
{
    bool isForeign = TakeForeign(block);
    const wchar_t* text = GetBusBlockText(block);
    if (!text)
        return;
    FreeMemBlock(block, text, isForeign);
    GlobalFree(block);
}

DWORD CBusRouter::DistributeBusMessage(UINT type, HGLOBAL block)
{
    bool isForeign = TakeForeign(block);
    wchar_t* text = const_cast<wchar_t*>(GetBusBlockText(block));
    if (!text) {
        LogLine(0, L"Func.DistributeBusMessage.Error.Type %u: no readable message block 0x%08X", type,
                static_cast<unsigned>(reinterpret_cast<UINT_PTR>(block)));
        return 0;
    }
    DWORD result = 1;
    Deliver(m_debug, type, text);
    if (!Deliver(m_extra, type, text))
        result = 0;
    if (type == QOR_BUSMSG_CALLEVENT) {
        ++m_callEventDepth;
        Deliver(m_info, type, text);
        // Each enabled Search plug-in, the Info category after it, the thread's messages in
        // between so that each result shows at once. Slots are read afresh at every step: a
        // command handled in the pump may have unloaded them.
        for (int slot = 0; slot < kPluginSlots; ++slot) {
            Enter();
            DWORD disabled = m_search.GetDisableState(slot);
            Leave();
            if (disabled)
                continue;
            DeliverSlot(m_search, slot, type, text);
            Deliver(m_info, type, text);
            Sleep(0);
            // Each call event handled in the pump pumps again, one level deeper. Past a few
            // levels the messages wait for the pump further out: a queue full of call events
            // (other programs can put any number there) must not nest without end, until the
            // thread can take no message at all (the program end among them).
            if (m_callEventDepth <= kMaxCallEventNesting)
                PumpMessages();
        }
        --m_callEventDepth;
    } else {
        Deliver(m_info, type, text);
        Deliver(m_search, type, text);
    }
    if (!Deliver(m_save, type, text))
        result = 0;
    if (!Deliver(m_telephony, type, text))
        result = 0;
    FreeMemBlock(block, text, isForeign);
    GlobalFree(block);
    return result;
}

void CBusRouter::FreeMemBlock(HGLOBAL block, const wchar_t* text, bool foreign)
{
    wchar_t value[31];
    CopyText(value, _countof(value), GetValueByKeyword(text, L"MemBlock"));
    HGLOBAL memBlock = BusBlockFromNumber(value);
    if (!memBlock)
        return;
    // Another program's text names no block of ours; the message block is freed once only.
    if (foreign || memBlock == block) {
        LogLine(0, L"Func.DistributeBusMessage.Warning.MemBlock %s ignored", value);
        return;
    }
    if (!GlobalSize(memBlock)) {
        LogLine(0, L"Func.DistributeBusMessage.Error.MemBlock %s is no block", value);
        return;
    }
    GlobalFree(memBlock);
}

HGLOBAL CBusRouter::MakeForeignBlock(const wchar_t* text)
{
    HGLOBAL block = AllocBusBlock(text, kBusValueMax + 1);
    if (!block)
        return nullptr;
    m_foreign.insert(block);
    return block;
}

bool CBusRouter::PassForeignText(HWND window, bool send, UINT type, const wchar_t* text)
{
    HGLOBAL block = MakeForeignBlock(text);
    if (!block)
        return false;
    if (send)
        SendMessageW(window, WM_QOR_BUSMESSAGE, type, reinterpret_cast<LPARAM>(block));
    else if (!g_pfnPostMessageW(window, WM_QOR_BUSMESSAGE, type, reinterpret_cast<LPARAM>(block)))
        // Out of the list of foreign blocks too: a block of our own at that address later
        // would be taken for foreign, and the block its MemBlock names would never be freed.
        ReleaseBlock(block);
    return true;
}

void CBusRouter::ExecuteBusCommand(const wchar_t* command, const wchar_t* argument)
{
    Command c;
    CopyText(c.name, 127, command);
    CopyText(c.argument, 255, argument);
    if (m_depth > 0) {
        m_deferred.push_back(c);
        return;
    }
    Enter();
    RunCommand(c);
    Leave();
}

void CBusRouter::RunDeferredCommands()
{
    while (!m_deferred.empty() && m_depth == 0) {
        Command c = m_deferred.front();
        m_deferred.erase(m_deferred.begin());
        Enter();
        RunCommand(c);
        --m_depth;  // not Leave(): this loop goes on with the rest
    }
}

void CBusRouter::RunCommand(const Command& c)
{
    const struct {
        const wchar_t* name;
        CPluginBase* category;
        bool reload;
    } reloads[] = {
        {L"LOADALLSEARCHMODULES", &m_search, true},  {L"REMOVEALLSEARCHMODULES", &m_search, false},
        {L"LOADALLSAVEMODULES", &m_save, true},      {L"REMOVEALLSAVEMODULES", &m_save, false},
        {L"LOADALLEXTRAMODULES", &m_extra, true},    {L"REMOVEALLEXTRAMODULES", &m_extra, false},
        {L"LOADALLPHONEMODULES", &m_telephony, true}, {L"REMOVEALLPHONEMODULES", &m_telephony, false},
    };
    // Exact, case-sensitive names.
    for (const auto& r : reloads) {
        if (wcscmp(c.name, r.name) != 0)
            continue;
        // The settings dialog shows pages and handles of these modules.
        CloseConfigBeforeUnload();
        r.category->BeforeClose();
        r.category->UnloadAllModules();
        if (r.reload) {
            r.category->LoadAllModules();
            r.category->AfterLoad();
        }
        return;
    }
    if (wcscmp(c.name, L"PLUGINADD") == 0)
        m_search.Add(c.argument);
    else if (wcscmp(c.name, L"PLUGINREMOVE") == 0) {
        CloseConfigBeforeUnload();
        m_search.Remove(c.argument);
    }
}
