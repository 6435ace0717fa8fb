// Result codes of telephony operations as text, and error names back to codes.
//
// Three kinds of code share one signed 32-bit space: TAPI's line errors (LINEERR_, from
// 0x80000001), TAPI's phone errors (PHONEERR_, from 0x90000001) and this system's own small
// codes (0 for success, -1 to -18 for its own failures).
#pragma once

#include <windows.h>

// The code's text ("LINEERR_INVALADDRESS", "No Reply." ...) or "Unknown Error", in a per-thread
// buffer valid until the next call on the same thread. The last error stays as it was.
const wchar_t* GetTapiErrorText(LONG code);
// The code of the first LINEERR_ name (without prefix) or own error name found in the text;
// case-sensitive, no numeric reading; 0 when none is found.
LONG TextToLineErr(const wchar_t* text);
// The PHONEERR_ code whose name (without prefix) is the whole text in any case, else the number
// written in the text ("0x..." or decimal), else 0.
LONG TextToPhoneErr(const wchar_t* text);
