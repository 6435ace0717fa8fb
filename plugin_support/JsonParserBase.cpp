#include "plugin_support/JsonParserBase.h"

#include "foundation/Format.h"

#include <climits>
#include <cmath>

namespace {
constexpr size_t kNumberText = 32;
constexpr size_t kObjectText = 16000;
// Per thread: the login, receive and GUI threads each read messages.
thread_local wchar_t t_numberText[kNumberText];
thread_local wchar_t t_objectText[kObjectText];
}  // namespace

CJsonParserBase::CJsonParserBase() : m_root(nullptr), m_members(nullptr) {}

CJsonParserBase::~CJsonParserBase() { Clear(); }

void CJsonParserBase::Clear()
{
    m_members = nullptr;
    delete m_root;
    m_root = nullptr;
}

BOOL CJsonParserBase::Parse(const wchar_t* text)
{
    Clear();
    m_root = JsonParse(text);
    if (!m_root)
        return FALSE;
    if (!m_root->IsObject()) {
        Clear();
        return FALSE;
    }
    m_members = &m_root->AsObject();
    return TRUE;
}

const CJsonValue* CJsonParserBase::Find(const wchar_t* key) const
{
    if (!m_members || !key)
        return nullptr;
    auto it = m_members->find(key);
    return it == m_members->end() ? nullptr : it->second;
}

void CJsonParserBase::GetString(wchar_t* dest, size_t size, const wchar_t* key) const
{
    if (!dest || size == 0)
        return;
    dest[0] = L'\0';
    const CJsonValue* value = Find(key);
    if (value && value->IsString())
        CopyTextN(dest, size, value->AsString().c_str(), value->AsString().size());
}

int CJsonParserBase::GetInt(const wchar_t* key) const
{
    const CJsonValue* value = Find(key);
    if (!value || !value->IsNumber())
        return 0;
    double number = std::trunc(value->AsNumber());
    if (std::isnan(number))
        return 0;
    if (number >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (number <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(number);
}

const wchar_t* CJsonParserBase::GetNumberText(const wchar_t* key) const
{
    t_numberText[0] = L'\0';
    const CJsonValue* value = Find(key);
    // An infinite value has no digits to give ("1.#INF" is no number text).
    if (value && value->IsNumber() && std::isfinite(value->AsNumber())) {
        if (FormatW(t_numberText, kNumberText - 1, L"%.f", value->AsNumber()) < 0)
            t_numberText[0] = L'\0';  // more than 30 digits: no cut number
    }
    return t_numberText;
}

BOOL CJsonParserBase::GetBool(const wchar_t* key) const
{
    const CJsonValue* value = Find(key);
    return value && value->IsBool() && value->AsBool() ? TRUE : FALSE;
}

JsonArrayView CJsonParserBase::GetArray(const wchar_t* key) const
{
    const CJsonValue* value = Find(key);
    if (value && value->IsArray())
        return JsonArrayView(value->AsArray().begin(), value->AsArray().end());
    return JsonArrayView();
}

const wchar_t* CJsonParserBase::GetObjectText(const wchar_t* key) const
{
    t_objectText[0] = L'\0';
    const CJsonValue* value = Find(key);
    if (value && value->IsObject()) {
        std::wstring text = value->Stringify(false);
        CopyTextN(t_objectText, kObjectText, text.c_str(), text.size());
    }
    return t_objectText;
}

BOOL CJsonParserBase::HasArray(const wchar_t* key) const
{
    const CJsonValue* value = Find(key);
    return value && value->IsArray();
}
