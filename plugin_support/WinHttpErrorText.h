// The telephony plug-in's error texts: WinHTTP codes by their SDK names, every other code by
// the system's message text.
//
// The host's foundation library has a GetErrorText of the same signature and contract, and the
// plug-in links that library too. This form lives in its own namespace so that both link into
// one binary; plug-in code calls PluginSupport::GetErrorText (or uses the namespace).
#pragma once

#include <windows.h>

namespace PluginSupport {

// The text for the code (0: the thread's last error): "SUCCESS" for 0, the WinHTTP name for a
// listed 12001..12186 code, else the system's first line of text, else empty. GetLastError()
// afterwards returns the code that was asked for. Valid until the next call on this thread.
const wchar_t* GetErrorText(DWORD code);

// The WinHTTP name of a listed code, or null.
const wchar_t* GetWinHttpErrorName(DWORD code);

// "Error: %d %s" for the thread's last error, with this form's text; nothing for 0.
void DebugPrintLastErrorLine();

}  // namespace PluginSupport
