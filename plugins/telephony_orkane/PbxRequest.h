// The JSON text of one request to the PBX, sized to its content. String members go through
// the JSON writer's own escaping, which writes every unit from 0x80 up as a \u escape: the
// text is plain ASCII, so the send path (one byte per unit) carries any name unchanged.
#pragma once

#include <windows.h>

#include <string>

class CPbxRequest {
public:
    // Starts {"mt":"<mt>"
    explicit CPbxRequest(const wchar_t* mt);
    ~CPbxRequest();
    CPbxRequest(const CPbxRequest&) = delete;
    CPbxRequest& operator=(const CPbxRequest&) = delete;

    // ,"name":"<text escaped>"
    CPbxRequest& String(const wchar_t* name, const wchar_t* text);
    // ,"name":<number>
    CPbxRequest& Int(const wchar_t* name, int value);
    // ,"name":<json>: a JSON text of the PBX's own that goes on as it stands, its units from
    // 0x80 up as UTF-8 bytes (one unit each). Not added, and the request marked unusable,
    // when json is not one JSON object.
    CPbxRequest& Object(const wchar_t* name, const wchar_t* json);
    // Marks the request unusable: it is not to be sent. The reason is logged by the sender.
    void Fail(const wchar_t* why);

    // The whole text, with its closing brace; empty when the request is unusable.
    const wchar_t* Text();
    bool Usable() const { return m_why.empty(); }
    const wchar_t* Why() const { return m_why.c_str(); }
    // Overwrites the text (it may hold a password's digest or a credential).
    void Wipe();

private:
    std::wstring m_text;
    std::wstring m_why;
    bool m_closed = false;
};

// The text as a JSON string with its quotes, escaped by the JSON writer.
std::wstring JsonQuoted(const wchar_t* text);
// The text's units from 0x80 up as UTF-8 bytes, one unit each (a lone surrogate as U+FFFD).
std::wstring Utf8Units(const wchar_t* text);

class CInnovaphoneVars;
// Sends the request with SendRequest; one that could not be built whole is not sent, and the
// error line names the function and why. FALSE then, as for a request not answered.
BOOL SendPbxRequest(CInnovaphoneVars* conn, CPbxRequest& request, DWORD passes, const wchar_t* function);
