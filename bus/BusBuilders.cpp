#include "bus/BusBuilders.h"

#include "bus/BusBlockNumber.h"
#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "bus/PluginContract.h"
#include "foundation/DataFolder.h"
#include "foundation/Format.h"

#include <cstdarg>
#include <cstring>

DWORD g_dwBusCommandId = 1;

namespace {

// One message buffer per capacity and thread. A builder copies its text into the block (or
// hands it to SendMessageW) before it returns, so builders of one thread never overlap; the
// telephony plug-in builds on its login, receive and GUI threads at once.
thread_local wchar_t t_small[kBusMsgSmallCapacity];
thread_local wchar_t t_normal[kBusMsgCapacity];
thread_local wchar_t t_large[kBusMsgLargeCapacity];
thread_local wchar_t t_logText[kBusLogTextCapacity];
thread_local wchar_t t_formatLogMessage[kBusMsgCapacity];

bool IsTarget(HWND window)
{
    return window && IsWindow(window);
}

// Writes one message: the header and the Type line on construction, the footer on Text().
class Message {
public:
    Message(wchar_t* buffer, size_t capacity, UINT type) : m_b(buffer), m_cap(capacity), m_type(type)
    {
        BusMsgBegin(m_b, m_cap);
        BusMsgAppendUInt(m_b, m_cap, L"Type", type);
    }
    Message& U(const wchar_t* keyword, unsigned value)
    {
        BusMsgAppendUInt(m_b, m_cap, keyword, value);
        return *this;
    }
    Message& I(const wchar_t* keyword, int value)
    {
        BusMsgAppendInt(m_b, m_cap, keyword, value);
        return *this;
    }
    Message& T(const wchar_t* keyword, const wchar_t* value)
    {
        BusMsgAppendText(m_b, m_cap, keyword, value);
        return *this;
    }
    Message& Opt(const wchar_t* keyword, const wchar_t* value)
    {
        BusMsgAppendOptional(m_b, m_cap, keyword, value);
        return *this;
    }
    const wchar_t* Text()
    {
        BusMsgEnd(m_b, m_cap);
        return m_b;
    }
    // The Type in the text is the Type in WPARAM.
    LRESULT Post(HWND window) { return SendBusMessage(window, FALSE, m_type, Text()); }
    LRESULT Send(HWND window, BOOL send) { return SendBusMessage(window, send, m_type, Text()); }
    void SetText(HWND window) { SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Text())); }

private:
    wchar_t* m_b;
    size_t m_cap;
    UINT m_type;
};

Message Normal(UINT type)
{
    return Message(t_normal, _countof(t_normal), type);
}

Message Small(UINT type)
{
    return Message(t_small, _countof(t_small), type);
}

const wchar_t* FormatLogText(const wchar_t* format, va_list args)
{
    t_logText[0] = L'\0';
    if (format)
        FormatVW(t_logText, _countof(t_logText), format, args);
    return t_logText;
}

}  // namespace

LRESULT SendBusType(HWND window, BOOL send, UINT type)
{
    if (!IsTarget(window))
        return 0;
    return Normal(type).Send(window, send);
}

void SendBusKeyValue(HWND window, BOOL send, UINT type, const wchar_t* keyword, const wchar_t* value)
{
    if (!IsTarget(window) || !keyword)
        return;
    Normal(type).T(keyword, value).Send(window, send);
}

void SendBusDebugLevel(HWND window, DWORD level)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_DEBUGLEVEL).U(L"Level", level).Post(window);
}

void SendBusPluginRestart(HWND window, DWORD pluginId, DWORD initiated)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_PLUGINRESTART).U(L"PluginID", pluginId).U(L"PluginInitiated", initiated).Post(window);
}

void SendBusShowConfig(HWND window, DWORD pluginId)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_SHOWCONFIG).U(L"Module", pluginId).Post(window);
}

LRESULT SendBusMenuCommand(BOOL send, HWND window, UINT itemId, LPARAM lParam)
{
    if (!IsTarget(window))
        return 0;
    return Small(QOR_BUSMSG_MENUCOMMAND)
        .U(L"WParam", itemId)
        .U(L"LParam", static_cast<unsigned>(lParam))
        .Send(window, send);
}

void SetTextCallAction(HWND window, const wchar_t* command, const wchar_t* extension, const wchar_t* partner)
{
    if (IsTarget(window))
        Small(QOR_BUSMSG_CALLACTION)
            .T(L"Command", command)
            .I(L"OrgCmdId", static_cast<int>(g_dwBusCommandId))
            .Opt(L"Extension", extension)
            .Opt(L"Partner", partner)
            .SetText(window);
}

void SetTextSendCommand(HWND window, const wchar_t* command)
{
    if (IsTarget(window))
        Small(QOR_BUSMSG_SENDCOMMAND).T(L"Command", command).SetText(window);
}

void SetTextCallTo(HWND window, const wchar_t* partner)
{
    if (IsTarget(window))
        Small(QOR_BUSMSG_CALLACTION).T(L"Command", L"CallTo").Opt(L"Partner", partner).SetText(window);
}

void SetTextLog(HWND window, DWORD level, const wchar_t* format, ...)
{
    if (!IsTarget(window))
        return;
    va_list args;
    va_start(args, format);
    const wchar_t* text = FormatLogText(format, args);
    va_end(args);
    Normal(QOR_BUSMSG_LOG).U(L"Level", level).T(L"Text", text).SetText(window);
}

void SendBusCallAction(HWND window, const wchar_t* command, const wchar_t* extension, const wchar_t* partner,
                       int socket, const wchar_t* extra)
{
    if (IsTarget(window))
        Small(QOR_BUSMSG_CALLACTION)
            .T(L"Command", command)
            .I(L"OrgCmdId", static_cast<int>(g_dwBusCommandId))
            .I(L"Socket", socket)
            .Opt(L"Extension", extension)
            .Opt(L"Partner", partner)
            .Opt(L"Extra", extra)
            .Post(window);
}

void SendBusCmdResult(HWND window, const wchar_t* ext, const wchar_t* command, const wchar_t* orgCmdId, int success,
                      const wchar_t* info, int socket)
{
    if (IsTarget(window))
        Small(QOR_BUSMSG_CMDRESULT)
            .T(L"Ext", ext)
            .T(L"Command", command)
            .T(L"OrgCmdId", orgCmdId)
            .I(L"Success", success)
            .I(L"Socket", socket)
            .Opt(L"Info", info)
            .Post(window);
}

void SendBusCmdInfo(HWND window, const wchar_t* command, const wchar_t* orgCmdId, const wchar_t* info)
{
    if (IsTarget(window))
        Message(t_large, _countof(t_large), QOR_BUSMSG_CMDINFO)
            .T(L"Command", command)
            .T(L"OrgCmdId", orgCmdId)
            .Opt(L"Info", info)
            .Post(window);
}

static void SendDeleteInfo(HWND window, UINT type, int del, const wchar_t* command, const wchar_t* orgCmdId,
                           const wchar_t* info)
{
    if (IsTarget(window))
        Small(type).T(L"Command", command).T(L"OrgCmdId", orgCmdId).I(L"Delete", del).T(L"Info", info).Post(window);
}

void SendBusDeleteInfo(HWND window, int del, const wchar_t* command, const wchar_t* orgCmdId, const wchar_t* info)
{
    SendDeleteInfo(window, QOR_BUSMSG_DELETEINFO, del, command, orgCmdId, info);
}

void SendBusDeleteInfo2(HWND window, int del, const wchar_t* command, const wchar_t* orgCmdId, const wchar_t* info)
{
    SendDeleteInfo(window, QOR_BUSMSG_DELETEINFO2, del, command, orgCmdId, info);
}

void SendBusLogPrintf(HWND window, DWORD level, const wchar_t* format, ...)
{
    if (!IsTarget(window))
        return;
    va_list args;
    va_start(args, format);
    const wchar_t* text = FormatLogText(format, args);
    va_end(args);
    SendBusLog(window, level, text);
}

void SendBusLog(HWND window, DWORD level, const wchar_t* text)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_LOG)
            .U(L"Level", level)
            .T(L"Text", text)
            .I(L"Thread", static_cast<int>(GetCurrentThreadId()))
            .Post(window);
}

void SendBusScheme(HWND window, UINT schemeIndex, const wchar_t* fontName, const wchar_t* language)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_SCHEME)
            .U(L"SchemeIndex", schemeIndex)
            .T(L"UsedFont", fontName)
            .T(L"UsedLanguage", language)
            .Post(window);
}

void SendBusJsonRecord(HWND window, const wchar_t* record, DWORD pluginId)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_JSONRECORD).U(L"PluginID", pluginId).T(L"JSONRecord", record).Post(window);
}

void SendBusMenuEnable(HWND window, UINT itemId, UINT enable)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_MENUENABLE).U(L"ID", itemId).U(L"Enable", enable).Post(window);
}

void SendBusMenuShow(HWND window, UINT itemId, UINT visible, UINT separator, const wchar_t* text)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_MENUSHOW)
            .U(L"ID", itemId)
            .U(L"Visible", visible)
            .U(L"Separator", separator)
            .T(L"Text", text)
            .Send(window, TRUE);
}

void SendBusMenuText(HWND window, UINT itemId, const wchar_t* text)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_MENUTEXT).U(L"ID", itemId).T(L"Text", text).Send(window, TRUE);
}

void SendBusSetIcon(HWND window, HWND target)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_SETICON)
            .U(L"Window", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(target)))
            .Post(window);
}

void SendBusCommand(HWND window, const wchar_t* command, const wchar_t* argument)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_COMMAND).T(L"CMD", command).Opt(L"Arg", argument).Post(window);
}

void SendBusState(HWND window, int state)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_STATE).I(L"State", state).Post(window);
}

void SendBusConnected(HWND window, int connected)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_CONNECTED).I(L"Connected", connected).Post(window);
}

void SendBusEnabled(HWND window, int enabled)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_ENABLED).I(L"Enabled", enabled).Post(window);
}

void SendBusButtons(HWND window, int buttons)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_BUTTONS).I(L"Buttons", buttons).Post(window);
}

void SendBusMenuAppend(HWND window, int itemId, const wchar_t* text)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_MENUAPPEND).I(L"ID", itemId).Opt(L"Text", text).Post(window);
}

void SendBusMenuDelete(HWND window, int itemId)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_MENUDELETE).I(L"ID", itemId).Post(window);
}

void SendBusMenuCheck(HWND window, int itemId, int enable)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_MENUCHECK).I(L"ID", itemId).I(L"Enable", enable).Post(window);
}

LRESULT SendBusMemBlock(HWND window, UINT type, const void* data, size_t size)
{
    if (!IsTarget(window))
        return 0;
    HGLOBAL block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
    if (!block)
        return 0;
    if (data && size)
        memcpy(block, data, size);
    wchar_t number[24];
    FormatBusBlockNumber(number, _countof(number), block);
    LRESULT posted = Normal(type).T(L"MemBlock", number).Post(window);
    // Not posted: nobody else will ever free the data block.
    if (!posted)
        GlobalFree(block);
    return posted;
}

void SendBusCallEvent(HWND window, const wchar_t* event, DWORD callId, const wchar_t* partnerNumber)
{
    if (!IsTarget(window))
        return;
    wchar_t unique[128];
    FormatW(unique, _countof(unique), L"%010u%s", callId, partnerNumber ? partnerNumber : L"");
    Normal(QOR_BUSMSG_CALLEVENT)
        .T(L"Event", event)
        .T(L"PartnerNumber", partnerNumber)
        .U(L"CallID", callId)
        .T(L"Value", partnerNumber)
        .T(L"UniqueCallID", unique)
        .Post(window);
}

void SendBusLastError(HWND window, const wchar_t* text)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_LASTERROR).T(L"LastErr", text).Post(window);
}

void SendBusParam(HWND window, const wchar_t* parameter)
{
    if (IsTarget(window))
        Normal(QOR_BUSMSG_PARAM).T(L"Param", parameter).Post(window);
}

const wchar_t* FormatBusLog(DWORD level, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const wchar_t* text = FormatLogText(format, args);
    va_end(args);
    Message(t_formatLogMessage, _countof(t_formatLogMessage), QOR_BUSMSG_LOG).U(L"Level", level).T(L"Text", text).Text();
    return text;
}

HGLOBAL CopyToGlobalBlock(const wchar_t* text)
{
    // The block every reader accepts; the text is cut to the builders' capacity.
    return AllocBusBlock(text, kBusMsgCapacity - 1);
}

DWORD SendBusToModule(HMODULE module, UINT type)
{
    if (!module)
        return 0;
    auto process = reinterpret_cast<PFN_DLL_PluginBusProcess>(GetProcAddress(module, "DLL_PluginBusProcess"));
    if (!process)
        return 0;
    Message message = Normal(type);
    return process(type, const_cast<wchar_t*>(message.Text()));
}

static const wchar_t* DataSubFolder(wchar_t* buffer, size_t capacity, const wchar_t* name)
{
    CopyText(buffer, capacity, GetDataFolder(name));
    return buffer;
}

const wchar_t* GetLogFolder()
{
    thread_local wchar_t t_folder[MAX_PATH];
    return DataSubFolder(t_folder, _countof(t_folder), L"LOG");
}

const wchar_t* GetConfigFolder()
{
    thread_local wchar_t t_folder[MAX_PATH];
    return DataSubFolder(t_folder, _countof(t_folder), L"CFG");
}

const wchar_t* GetJobFolder()
{
    thread_local wchar_t t_folder[MAX_PATH];
    return DataSubFolder(t_folder, _countof(t_folder), L"JOB");
}
