// The bus router: hands every bus message that the host does not keep for itself to the six
// plug-in categories in the order Debug, Extra, Info, Search, Save, Telephony, frees the
// message's blocks afterwards, and carries out the host's bus commands (reload or remove a
// category, add or remove one Search plug-in). Runs on the host's GUI thread only.
//
// A plug-in whose code is on the stack (it pumps messages inside one of its calls) must not be
// unloaded under it: bus commands that arrive while a plug-in call is under way are kept and
// carried out as soon as that call has returned.
#pragma once

#include "host/PluginBase.h"

#include <windows.h>

#include <unordered_set>
#include <vector>

class CBusRouter {
public:
    // Over the host's six category managers.
    CBusRouter();
    CBusRouter(CPluginBase& debug, CPluginBase& extra, CPluginBase& info, CPluginBase& save, CPluginBase& search,
               CPluginBase& telephony);

    // Delivers the message, frees its block (and the block its MemBlock value names, when the
    // message was made in this process) and returns 1, or 0 when a plug-in of Extra, Save or
    // Telephony answered 0. The caller must not touch the block afterwards. A block that is no
    // readable bus block is logged and dropped (result 0).
    DWORD DistributeBusMessage(UINT type, HGLOBAL block);

    // Frees a message block that the host handled itself (its host-only types) as delivery
    // does: the block named by its MemBlock value too, when the message was made in this
    // process. A block that is no readable bus block is left alone.
    void ReleaseBlock(HGLOBAL block);

    // A bus command by its exact name (CMD at most 126 characters, Arg at most 254).
    void ExecuteBusCommand(const wchar_t* command, const wchar_t* argument);

    // A block of the host's own for a text that came from another program (WM_SETTEXT): its
    // MemBlock value cannot name a block of that program and is never honoured.
    HGLOBAL MakeForeignBlock(const wchar_t* text);

    // Puts another program's text on the bus in a block of MakeForeignBlock: sent to the
    // window and handled before the return when send is set, else posted; a block that the
    // post could not queue is released at once. False when no block could be made.
    bool PassForeignText(HWND window, bool send, UINT type, const wchar_t* text);

    // The block was made by MakeForeignBlock and is not yet released.
    bool IsForeign(HGLOBAL block) const { return m_foreign.count(block) != 0; }

    // Plug-in code is on the stack (commands now are deferred).
    bool InPluginCall() const { return m_depth > 0; }

private:
    struct Command {
        wchar_t name[128];
        wchar_t argument[256];
    };
    void RunCommand(const Command& command);
    void RunDeferredCommands();
    void Enter() { ++m_depth; }
    void Leave();
    DWORD Deliver(CPluginBase& category, UINT type, wchar_t* text);
    DWORD DeliverSlot(CPluginBase& category, int slot, UINT type, wchar_t* text);
    void FreeMemBlock(HGLOBAL block, const wchar_t* text, bool foreign);
    bool TakeForeign(HGLOBAL block);

    CPluginBase& m_debug;
    CPluginBase& m_extra;
    CPluginBase& m_info;
    CPluginBase& m_save;
    CPluginBase& m_search;
    CPluginBase& m_telephony;
    int m_depth = 0;
    int m_callEventDepth = 0;
    std::vector<Command> m_deferred;
    // A flood from other programs can keep thousands of them queued.
    std::unordered_set<HGLOBAL> m_foreign;
};

// The host's router over g_PluginDebug … g_PluginTelephony.
extern CBusRouter g_BusRouter;
