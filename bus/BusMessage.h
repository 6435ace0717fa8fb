// The bus message text, its transport to the host window, and the call command record.
//
// A message is UTF-16 XML: a header, one " <value keyword="K">V</value>\r\n" line per value
// (Type first), the Sender line and "</data>\r\n". Text values are escaped (& < >) on write
// and decoded by GetValueByKeyword on read, so no value can cut or plant another. A value
// too long for the buffer is cut; its closing tag and the footer are always kept.
#pragma once

#include <windows.h>

#include <cstddef>

// Most builders use this capacity (terminator included).
constexpr size_t kBusMsgCapacity = 16383;
// The smallest block, in characters, whatever the text's length.
constexpr size_t kBusBlockMinChars = 16384;

// The Sender of this module's messages: empty for the host ("Unknown"), else the module's
// identifier in upper case (for example "PLUGINTELEPHONYORKANE").
void SetBusSenderName(const wchar_t* name);
const wchar_t* GetBusSenderName();

void BusMsgBegin(wchar_t* buffer, size_t capacity);
// One formatted line (numbers and other text that needs no escaping). A line that does not
// fit keeps its "</value>\r\n" and leaves room for the footer.
void BusMsgAppend(wchar_t* buffer, size_t capacity, const wchar_t* format, ...);
// One text value, escaped; a null value writes an empty one.
void BusMsgAppendText(wchar_t* buffer, size_t capacity, const wchar_t* keyword, const wchar_t* value);
// As BusMsgAppendText, but a null value leaves the keyword out (optional values).
void BusMsgAppendOptional(wchar_t* buffer, size_t capacity, const wchar_t* keyword, const wchar_t* value);
void BusMsgAppendUInt(wchar_t* buffer, size_t capacity, const wchar_t* keyword, unsigned value);
void BusMsgAppendInt(wchar_t* buffer, size_t capacity, const wchar_t* keyword, int value);
void BusMsgEnd(wchar_t* buffer, size_t capacity);

// Escapes & < > of text into dst (at most capacity - 1 characters, never cutting an entity
// or a surrogate pair); returns the length written.
size_t EscapeBusValue(wchar_t* dst, size_t capacity, const wchar_t* text);

// Copies the text into a fresh block of max(length, 16,384) + 2 characters and hands it to
// the window with 0x47F: sent (returns the receiver's result) or posted (returns 1; the
// receiver frees the block). Returns 0 and leaves nothing allocated when the window is no
// window, the block cannot be allocated or the post fails.
LRESULT SendBusMessage(HWND window, BOOL send, UINT type, const wchar_t* text);

// The block size for a text of that length, in bytes: max(length, 16,384) + 2 characters.
// Every writer of a bus block allocates by it and every reader checks it (GetBusBlockText).
size_t BusBlockBytes(size_t textLength);

// A fresh zeroed fixed block by that rule holding the text cut to at most maxChars
// characters (a null text gives an empty one); null when the allocation fails.
HGLOBAL AllocBusBlock(const wchar_t* text, size_t maxChars);

// For a receiver: the text of a block that arrived with 0x47F, 0x479 or 0x485, or null when
// it is no readable global block of this process of at least the minimum size holding a
// terminated text. Never reads outside the block.
const wchar_t* GetBusBlockText(HGLOBAL block);

// The call command record of a QOR_BUSMSG_CALLACTION message.
struct QorCallCommand {
    DWORD Type;
    DWORD OrgCmdId;
    wchar_t Command[32];
    wchar_t Extension[32];
    wchar_t Partner[32];
    wchar_t Extra[256];
    DWORD Socket;
};

void ParseCallCommand(QorCallCommand* record, const wchar_t* text);
const wchar_t* BuildCallCommand(UINT type, const QorCallCommand* record);
void CopyCallCommand(UINT type, const QorCallCommand* record, wchar_t* destination);
