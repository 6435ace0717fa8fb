// The host core: its constructor is the start-up, Run the GUI thread's message loop, the
// destructor the orderly shutdown. Exactly one object, a local of wWinMain.
#pragma once

#include <windows.h>

class CServiceWindow {
public:
    CServiceWindow();
    virtual ~CServiceWindow();
    CServiceWindow(const CServiceWindow&) = delete;
    CServiceWindow& operator=(const CServiceWindow&) = delete;

    // Hands a bus message to the router (which frees the block).
    virtual DWORD DistributeBusMessage(UINT type, HGLOBAL block);
    virtual void OnTrayNotify(UINT mouseMessage);
    virtual void OnCommand(WPARAM id);

    int Run();

    // Status report entries, written as plain text.
    static void WriteProgramStatus(const wchar_t* text);
    static void WriteLastError(const wchar_t* text);
};

// The host window (Type of WPARAM, block in LPARAM etc.): created once.
void CreateMainWindow();
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The PrgMsg section: Type, Command, Partner, Sender of a message from another program.
void WritePrgMsg(const wchar_t* text);

// Every plug-in's DLL_PluginBeforeClose, trace plug-ins last and 500 ms after the others.
void UnloadAllPlugins();
void PrintSubProgram(const wchar_t* relativeName);
DWORD IsServer();

// The end of the program in tray mode (WM_DESTROY): the end state is written and the shared
// block's flags cleared before the process is ended.
void EndHostProcess();

// Functions run on the GUI thread by WM_QOR_RUNINMAINTHREAD must be registered first: the
// message's LPARAM is only an index into this process's table, so no other process can make
// the host call an address of its choosing.
typedef void (*HostMainThreadFunc)();
LPARAM RegisterMainThreadFunc(HostMainThreadFunc func);
