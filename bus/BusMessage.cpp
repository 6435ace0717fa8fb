#include "bus/BusMessage.h"

#include "bus/BusTypes.h"
#include "foundation/Format.h"
#include "foundation/TextUtils.h"

#include <cstdarg>
#include <cstdlib>
#include <cwchar>

namespace {

const wchar_t kHeader[] = L"<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<data>\r\n";
const wchar_t kValueClose[] = L"</value>\r\n";
const wchar_t kDataClose[] = L"</data>\r\n";

wchar_t g_szBusSender[64] = L"";

// One line is formatted here before it is appended (per thread: the telephony plug-in
// builds messages on several threads at once).
thread_local wchar_t t_scratch[65536];
thread_local wchar_t t_callCommand[kBusMsgCapacity];

size_t FooterLength()
{
    // " <value keyword=\"Sender\">" + name + "</value>\r\n" + "</data>\r\n"
    size_t name = g_szBusSender[0] ? wcslen(g_szBusSender) : 7;
    return 25 + name + (_countof(kValueClose) - 1) + (_countof(kDataClose) - 1);
}

// Room left for one value line so that the footer still fits.
size_t RoomForLine(const wchar_t* buffer, size_t capacity)
{
    size_t used = BoundedLength(buffer, capacity);
    size_t reserve = FooterLength();
    if (used + reserve + 1 >= capacity)
        return 0;
    return capacity - 1 - used - reserve;
}

// Appends one whole line, or its head cut so that the closing tag still ends it.
void AppendLine(wchar_t* buffer, size_t capacity, const wchar_t* line)
{
    size_t room = RoomForLine(buffer, capacity);
    size_t len = wcslen(line);
    if (len <= room) {
        AppendText(buffer, capacity, line);
        return;
    }
    const size_t closeLen = _countof(kValueClose) - 1;
    bool isValue = len >= closeLen && wcscmp(line + len - closeLen, kValueClose) == 0;
    if (!isValue || room < closeLen + 1)
        return;  // not even the tags fit: leave the value out rather than break the message
    size_t keep = room - closeLen;
    // Never split an entity or a surrogate pair.
    for (size_t back = 0; back < 6 && back < keep; ++back) {
        if (line[keep - 1 - back] == L';')
            break;
        if (line[keep - 1 - back] == L'&') {
            keep = keep - 1 - back;
            break;
        }
    }
    if (keep > 0 && line[keep - 1] >= 0xD800 && line[keep - 1] <= 0xDBFF)
        --keep;
    size_t used = wcslen(buffer);
    wmemcpy(buffer + used, line, keep);
    buffer[used + keep] = L'\0';
    AppendText(buffer, capacity, kValueClose);
}

void AppendValueLine(wchar_t* buffer, size_t capacity, const wchar_t* keyword, const wchar_t* escaped)
{
    int n = FormatW(t_scratch, _countof(t_scratch), L" <value keyword=\"%s\">", keyword);
    if (n < 0)
        return;
    CopyText(t_scratch + n, _countof(t_scratch) - n - (_countof(kValueClose) - 1), escaped);
    AppendText(t_scratch, _countof(t_scratch), kValueClose);
    AppendLine(buffer, capacity, t_scratch);
}

}  // namespace

void SetBusSenderName(const wchar_t* name)
{
    CopyText(g_szBusSender, _countof(g_szBusSender), name);
}

const wchar_t* GetBusSenderName()
{
    return g_szBusSender[0] ? g_szBusSender : L"Unknown";
}

void BusMsgBegin(wchar_t* buffer, size_t capacity)
{
    CopyText(buffer, capacity, kHeader);
}

void BusMsgAppend(wchar_t* buffer, size_t capacity, const wchar_t* format, ...)
{
    t_scratch[0] = L'\0';
    va_list args;
    va_start(args, format);
    FormatVW(t_scratch, _countof(t_scratch), format, args);
    va_end(args);
    AppendLine(buffer, capacity, t_scratch);
}

size_t EscapeBusValue(wchar_t* dst, size_t capacity, const wchar_t* text)
{
    if (!dst || capacity == 0)
        return 0;
    size_t out = 0;
    for (const wchar_t* p = text ? text : L""; *p; ++p) {
        const wchar_t* piece;
        wchar_t single[2] = {*p, 0};
        switch (*p) {
        case L'&': piece = L"&amp;"; break;
        case L'<': piece = L"&lt;"; break;
        case L'>': piece = L"&gt;"; break;
        default: piece = single; break;
        }
        size_t len = wcslen(piece);
        bool pair = *p >= 0xD800 && *p <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF;
        if (out + len + (pair ? 1 : 0) + 1 > capacity)
            break;
        wmemcpy(dst + out, piece, len);
        out += len;
        if (pair)
            dst[out++] = *++p;
    }
    dst[out] = L'\0';
    return out;
}

void BusMsgAppendText(wchar_t* buffer, size_t capacity, const wchar_t* keyword, const wchar_t* value)
{
    static thread_local wchar_t escaped[65536];
    EscapeBusValue(escaped, _countof(escaped), value);
    AppendValueLine(buffer, capacity, keyword, escaped);
}

void BusMsgAppendOptional(wchar_t* buffer, size_t capacity, const wchar_t* keyword, const wchar_t* value)
{
    if (value)
        BusMsgAppendText(buffer, capacity, keyword, value);
}

void BusMsgAppendUInt(wchar_t* buffer, size_t capacity, const wchar_t* keyword, unsigned value)
{
    wchar_t number[16];
    FormatW(number, _countof(number), L"%u", value);
    AppendValueLine(buffer, capacity, keyword, number);
}

void BusMsgAppendInt(wchar_t* buffer, size_t capacity, const wchar_t* keyword, int value)
{
    wchar_t number[16];
    FormatW(number, _countof(number), L"%d", value);
    AppendValueLine(buffer, capacity, keyword, number);
}

void BusMsgEnd(wchar_t* buffer, size_t capacity)
{
    wchar_t footer[128];
    FormatW(footer, _countof(footer), L" <value keyword=\"Sender\">%s</value>\r\n%s", GetBusSenderName(), kDataClose);
    AppendText(buffer, capacity, footer);
}

size_t BusBlockBytes(size_t textLength)
{
    size_t n = textLength > kBusBlockMinChars ? textLength : kBusBlockMinChars;
    return n * 2 + 4;
}

HGLOBAL AllocBusBlock(const wchar_t* text, size_t maxChars)
{
    size_t len = text ? BoundedLength(text, maxChars) : 0;
    HGLOBAL block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, BusBlockBytes(len));
    if (block)
        CopyText(static_cast<wchar_t*>(block), len + 1, text);
    return block;
}

LRESULT SendBusMessage(HWND window, BOOL send, UINT type, const wchar_t* text)
{
    if (!window || !IsWindow(window))
        return 0;
    HGLOBAL block = AllocBusBlock(text, text ? wcslen(text) : 0);
    if (!block)
        return 0;
    if (send)
        return SendMessageW(window, WM_QOR_BUSMESSAGE, type, reinterpret_cast<LPARAM>(block));
    if (!PostMessageW(window, WM_QOR_BUSMESSAGE, type, reinterpret_cast<LPARAM>(block))) {
        GlobalFree(block);
        return 0;
    }
    return 1;
}

const wchar_t* GetBusBlockText(HGLOBAL block)
{
    if (!block || IsBadReadPtr(block, sizeof(wchar_t)))
        return nullptr;
    SIZE_T bytes = GlobalSize(block);
    if (bytes < BusBlockBytes(0) || IsBadReadPtr(block, bytes))
        return nullptr;
    const wchar_t* text = static_cast<const wchar_t*>(block);
    if (!wmemchr(text, L'\0', bytes / sizeof(wchar_t)))
        return nullptr;
    return text;
}

void ParseCallCommand(QorCallCommand* record, const wchar_t* text)
{
    if (!record)
        return;
    *record = QorCallCommand{};
    if (!text)
        return;
    record->Type = wcstoul(GetValueByKeyword(text, L"Type"), nullptr, 10);
    record->OrgCmdId = wcstoul(GetValueByKeyword(text, L"OrgCmdId"), nullptr, 10);
    CopyText(record->Command, 31, GetValueByKeyword(text, L"Command"));
    CopyText(record->Extension, 31, GetValueByKeyword(text, L"Extension"));
    CopyText(record->Partner, 31, GetValueByKeyword(text, L"Partner"));
    CopyText(record->Extra, 255, GetValueByKeyword(text, L"Extra"));
    record->Socket = wcstoul(GetValueByKeyword(text, L"Socket"), nullptr, 10);
}

const wchar_t* BuildCallCommand(UINT type, const QorCallCommand* record)
{
    wchar_t* b = t_callCommand;
    const size_t cap = _countof(t_callCommand);
    QorCallCommand empty = {};
    if (!record)
        record = &empty;
    BusMsgBegin(b, cap);
    BusMsgAppendUInt(b, cap, L"Type", type);
    BusMsgAppendUInt(b, cap, L"OrgCmdId", record->OrgCmdId);
    BusMsgAppendText(b, cap, L"Command", record->Command);
    BusMsgAppendText(b, cap, L"Extension", record->Extension);
    BusMsgAppendText(b, cap, L"Partner", record->Partner);
    BusMsgAppendText(b, cap, L"Extra", record->Extra);
    BusMsgAppendUInt(b, cap, L"Socket", record->Socket);
    // The call command always carries the host's footer.
    CopyText(b + wcslen(b), cap - wcslen(b), L" <value keyword=\"Sender\">Unknown</value>\r\n</data>\r\n");
    return b;
}

void CopyCallCommand(UINT type, const QorCallCommand* record, wchar_t* destination)
{
    if (destination)
        CopyText(destination, kBusMsgCapacity, BuildCallCommand(type, record));
}
