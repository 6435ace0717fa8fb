// One function per bus message type: each writes a complete message and delivers it to the
// host window (posted or sent through SendBusMessage), to another program's window as
// WM_SETTEXT, or straight to one plug-in.
//
// Every builder with a window argument does nothing (and returns 0 where it has a result)
// when the window is null or no window. Text values are escaped; a null text for a value that
// is always written gives an empty value, a null optional value leaves its keyword out.
#pragma once

#include <windows.h>

#include <cstddef>

// Capacities of the builders' message buffers (terminator included).
constexpr size_t kBusMsgSmallCapacity = 2047;
constexpr size_t kBusMsgLargeCapacity = 65535;
// The formatted Text of the printf-style log builders.
constexpr size_t kBusLogTextCapacity = 8192;

// The value of OrgCmdId in the call-action builders.
extern DWORD g_dwBusCommandId;

LRESULT SendBusType(HWND window, BOOL send, UINT type);
void SendBusKeyValue(HWND window, BOOL send, UINT type, const wchar_t* keyword, const wchar_t* value);
void SendBusDebugLevel(HWND window, DWORD level);
void SendBusPluginRestart(HWND window, DWORD pluginId, DWORD initiated);
void SendBusShowConfig(HWND window, DWORD pluginId);
// The send flag comes before the window here.
LRESULT SendBusMenuCommand(BOOL send, HWND window, UINT itemId, LPARAM lParam);

// WM_SETTEXT to another program's window (the text itself, no block).
void SetTextCallAction(HWND window, const wchar_t* command, const wchar_t* extension, const wchar_t* partner);
void SetTextSendCommand(HWND window, const wchar_t* command);
void SetTextCallTo(HWND window, const wchar_t* partner);
void SetTextLog(HWND window, DWORD level, const wchar_t* format, ...);

void SendBusCallAction(HWND window, const wchar_t* command, const wchar_t* extension, const wchar_t* partner,
                       int socket, const wchar_t* extra);
void SendBusCmdResult(HWND window, const wchar_t* ext, const wchar_t* command, const wchar_t* orgCmdId, int success,
                      const wchar_t* info, int socket);
void SendBusCmdInfo(HWND window, const wchar_t* command, const wchar_t* orgCmdId, const wchar_t* info);
void SendBusDeleteInfo(HWND window, int del, const wchar_t* command, const wchar_t* orgCmdId, const wchar_t* info);
void SendBusDeleteInfo2(HWND window, int del, const wchar_t* command, const wchar_t* orgCmdId, const wchar_t* info);
void SendBusLogPrintf(HWND window, DWORD level, const wchar_t* format, ...);
void SendBusLog(HWND window, DWORD level, const wchar_t* text);
void SendBusScheme(HWND window, UINT schemeIndex, const wchar_t* fontName, const wchar_t* language);
void SendBusJsonRecord(HWND window, const wchar_t* record, DWORD pluginId);
void SendBusMenuEnable(HWND window, UINT itemId, UINT enable);
void SendBusMenuShow(HWND window, UINT itemId, UINT visible, UINT separator, const wchar_t* text);
void SendBusMenuText(HWND window, UINT itemId, const wchar_t* text);
void SendBusSetIcon(HWND window, HWND target);
void SendBusCommand(HWND window, const wchar_t* command, const wchar_t* argument);
void SendBusState(HWND window, int state);
void SendBusConnected(HWND window, int connected);
void SendBusEnabled(HWND window, int enabled);
void SendBusButtons(HWND window, int buttons);
void SendBusMenuAppend(HWND window, int itemId, const wchar_t* text);
void SendBusMenuDelete(HWND window, int itemId);
void SendBusMenuCheck(HWND window, int itemId, int enable);
// Copies size bytes of data into a new block named by the message's MemBlock value; the
// receiver frees both blocks. Returns 1 when posted, 0 when nothing was sent (then no block
// is left behind).
LRESULT SendBusMemBlock(HWND window, UINT type, const void* data, size_t size);
void SendBusCallEvent(HWND window, const wchar_t* event, DWORD callId, const wchar_t* partnerNumber);
void SendBusLastError(HWND window, const wchar_t* text);
void SendBusParam(HWND window, const wchar_t* parameter);

// Formats the text, builds the Type 4 message without sending it, and returns the text.
const wchar_t* FormatBusLog(DWORD level, const wchar_t* format, ...);
// A zeroed fixed block of 32,768 bytes holding the text (cut to 16,382 characters), or null.
HGLOBAL CopyToGlobalBlock(const wchar_t* text);
// Calls the module's DLL_PluginBusProcess with a Type-only message; 0 when the module is null
// or has no such export.
DWORD SendBusToModule(HMODULE module, UINT type);

// The per-user data folder's "LOG", "CFG" and "JOB" sub-folders (each its own per-thread text).
const wchar_t* GetLogFolder();
const wchar_t* GetConfigFolder();
const wchar_t* GetJobFolder();
