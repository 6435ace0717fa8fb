// Small text pieces of the telephony plug-in: bus values under its module prefix and URL
// percent-encoding. Results are buffers of their own per thread, valid until the next call of
// the same function on that thread.
//
// The plug-in's bus message footer needs no function of its own here: the bus library's
// BusMsgEnd writes the Sender line with the name given to SetBusSenderName, and the plug-in
// sets kPluginModuleId there (a second BusMsgEnd would clash with the bus library's when both
// are linked into the plug-in).
#pragma once

#include <windows.h>

// The telephony plug-in's module identifier (keyword prefix and bus sender name).
constexpr wchar_t kPluginModuleId[] = L"PLUGINTELEPHONYORKANE";

// The value of the bus value element with the keyword kPluginModuleId "_" key (first match,
// case-sensitive, entities decoded as the bus readers do); empty when there is none.
const wchar_t* GetModuleBusValue(const wchar_t* message, const wchar_t* key);

// The reserved set written as %XX, every other character unchanged; at most 8,190 characters.
const wchar_t* UrlPercentEncode(const wchar_t* text);
// %XX back to one unit (leading hex digits of the two characters after the percent sign; no
// digit, or %00, gives the unit 0, which ends the text); at most 8,191 characters.
const wchar_t* UrlPercentDecode(const wchar_t* text);
BOOL IsUrlReservedChar(wchar_t ch);
