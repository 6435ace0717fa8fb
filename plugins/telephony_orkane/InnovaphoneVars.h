// One websocket connection to the PBX: its name, URL, credentials, request text, the values
// the PBX sent during login, the dialling prefixes, the WinHTTP handles and the receive thread.
// The plug-in has two: the user connection and the application connection.
#pragma once

#include <windows.h>
#include <winhttp.h>

struct tag_innovaphone_vars {
    wchar_t m_szConfigFile[260];
    wchar_t m_szSection[32];
    wchar_t m_szURL[512];
    wchar_t m_szUser[128];
    wchar_t m_szPassword[128];
    wchar_t m_szSession[128];
    wchar_t m_szExSession[256];
    wchar_t m_szSend[1024];
    wchar_t m_szChallenge[256];
    wchar_t m_szBuild[32];
    wchar_t m_szDomain[256];
    wchar_t m_szType[32];
    wchar_t m_szMethod[32];
    wchar_t m_szGUID[64];
    wchar_t m_szDN[64];
    wchar_t m_szCN[64];
    wchar_t m_szNum[32];
    wchar_t m_szPrefixArea[16];
    wchar_t m_szPrefixCountry[16];
    wchar_t m_szPrefixInt[32];
    wchar_t m_szPrefixNat[32];
    wchar_t m_szPrefixSubs[32];
    wchar_t m_szPbxObj[128];
    wchar_t m_szApp[128];
    wchar_t m_szSip[128];
    wchar_t m_szDigest[128];
    wchar_t m_szInfo[2024];
    DWORD m_dwHandleCall;
    HINTERNET m_hSessionHandle;
    HINTERNET m_hConnectionHandle;
    HINTERNET m_hWebSocketHandle;  // non-zero: connection open
    HANDLE m_hMonitorThread;
    volatile DWORD m_dwMonitorThId;  // 0 tells the receive thread to stop
    volatile BOOL m_bLogin;
    volatile BOOL m_bAnswer;  // a message arrived since the last send
};

class CInnovaphoneVars : public tag_innovaphone_vars {
public:
    explicit CInnovaphoneVars(const wchar_t* name);
    virtual ~CInnovaphoneVars();
    CInnovaphoneVars(const CInnovaphoneVars&) = delete;
    CInnovaphoneVars& operator=(const CInnovaphoneVars&) = delete;

    void ReadConfig(const wchar_t* iniFile);
    void WriteConfig();
    // Closes the websocket, connection and session handles, in this order.
    void CloseHandles();
    void CloseHandle(HINTERNET* handle);
    void ResetValues();
    // Asks the receive thread to stop and waits a bounded time for it; see PbxWebsocket.cpp.
    void StopMonitorThread();
    void SetHandleCall(DWORD call) { m_dwHandleCall = call; }

    // The text lower-cased (at most 127 characters) as UTF-8, its bytes read back as ANSI
    // code page characters so that a conversion to that code page gives the UTF-8 bytes (on
    // a single-byte code page; a double-byte one need not give them back).
    static void ToUtf8Text(wchar_t* text, size_t size);
    // The login responses; each returns a buffer of its own (256 characters) per thread. The
    // user digest takes the lower-cased user name's UTF-8 bytes themselves, the other parts in
    // the ANSI code page.
    const wchar_t* GetUserDigest(const wchar_t* nonce) const;
    const wchar_t* GetSessionDigest(const wchar_t* nonce, const wchar_t* password) const;
    void PrintValues() const;

    // Guards the handle fields while one thread sends on or closes them.
    CRITICAL_SECTION m_csHandles;
    // Serialises writers of m_szSend (login thread, GUI thread).
    CRITICAL_SECTION m_csSend;
    // One message on the wire at a time (a websocket takes one send at a time); a mutex, so
    // that a sender behind a blocked send gives up in bounded time. No closer takes it.
    HANDLE m_hWireLock;
    // Set to wake the receive thread when it is asked to stop.
    HANDLE m_hStopEvent;
    // Messages dispatched on this connection, and "LoginResult" messages among them; a sender
    // compares them with their values at its send.
    volatile LONG m_lAnswers;
    volatile LONG m_lLoginResults;
    // The last "AppGetLoginResult" held an "info" object too long for m_szInfo (kept empty).
    volatile BOOL m_bInfoCut;
};

// SHA-256 of the text in the ANSI code page (at most 511 bytes) as 64 lower-case hex digits;
// per-thread buffer of 128 characters.
const wchar_t* Sha256HexOfText(const wchar_t* text);

extern CInnovaphoneVars InnovaphoneVarsUser;
extern CInnovaphoneVars InnovaphoneVarsApp;
