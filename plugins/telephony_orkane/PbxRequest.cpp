#include "plugins/telephony_orkane/PbxRequest.h"

#include <memory>

#include "bus/LogLine.h"
#include "plugin_support/Json.h"
#include "plugins/telephony_orkane/PbxWebsocket.h"

std::wstring JsonQuoted(const wchar_t* text)
{
    CJsonValue value(text ? text : L"");
    return JsonStringify(&value);
}

std::wstring Utf8Units(const wchar_t* text)
{
    std::wstring out;
    if (!text || !*text)
        return out;
    int length = (int)wcslen(text);
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return out;
    std::string utf8(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, &utf8[0], bytes, nullptr, nullptr);
    out.reserve(utf8.size());
    for (char c : utf8)
        out.push_back((wchar_t)(unsigned char)c);
    return out;
}

CPbxRequest::CPbxRequest(const wchar_t* mt)
{
    m_text = L"{\"mt\":" + JsonQuoted(mt);
}

CPbxRequest::~CPbxRequest()
{
    Wipe();
}

CPbxRequest& CPbxRequest::String(const wchar_t* name, const wchar_t* text)
{
    m_text += L"," + JsonQuoted(name) + L":" + JsonQuoted(text);
    return *this;
}

CPbxRequest& CPbxRequest::Int(const wchar_t* name, int value)
{
    m_text += L"," + JsonQuoted(name) + L":" + std::to_wstring(value);
    return *this;
}

CPbxRequest& CPbxRequest::Object(const wchar_t* name, const wchar_t* json)
{
    std::unique_ptr<CJsonValue> parsed(JsonParse(json ? json : L""));
    if (!parsed || !parsed->IsObject()) {
        Fail((std::wstring(L"\"") + name + L"\" is no whole JSON object").c_str());
        return *this;
    }
    m_text += L"," + JsonQuoted(name) + L":" + Utf8Units(json);
    return *this;
}

void CPbxRequest::Fail(const wchar_t* why)
{
    if (m_why.empty())
        m_why = why && *why ? why : L"unusable";
}

const wchar_t* CPbxRequest::Text()
{
    if (!Usable())
        return L"";
    if (!m_closed) {
        m_text += L"}";
        m_closed = true;
    }
    return m_text.c_str();
}

void CPbxRequest::Wipe()
{
    if (!m_text.empty())
        SecureZeroMemory(&m_text[0], m_text.size() * sizeof(wchar_t));
    m_text.clear();
}

BOOL SendPbxRequest(CInnovaphoneVars* conn, CPbxRequest& request, DWORD passes, const wchar_t* function)
{
    if (!request.Usable()) {
        LogLine(0, L"Func.%s.Error.Request not sent: %s", function, request.Why());
        return FALSE;
    }
    return SendRequest(conn, request.Text(), passes);
}
