#include "plugin_support/Json.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <new>

bool JsonNameLess::operator()(const std::wstring& a, const std::wstring& b) const
{
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned ca = static_cast<unsigned short>(a[i]);
        unsigned cb = static_cast<unsigned short>(b[i]);
        if (ca != cb)
            return ca < cb;
    }
    return a.size() < b.size();
}

// ---- values -------------------------------------------------------------------------------

CJsonValue::CJsonValue() : m_type(JsonType_Null), m_number(0) {}
CJsonValue::CJsonValue(const wchar_t* text) : m_type(JsonType_String), m_string(text ? text : L"") {}
CJsonValue::CJsonValue(const std::wstring& text) : m_type(JsonType_String), m_string(text) {}
CJsonValue::CJsonValue(std::wstring&& text) : m_type(JsonType_String), m_string(std::move(text)) {}
CJsonValue::CJsonValue(bool value) : m_type(JsonType_Bool), m_bool(value) {}
CJsonValue::CJsonValue(double value) : m_type(JsonType_Number), m_number(value) {}
CJsonValue::CJsonValue(int value) : m_type(JsonType_Number), m_number(static_cast<double>(value)) {}
CJsonValue::CJsonValue(JsonArray&& children) : m_type(JsonType_Array), m_array(std::move(children)) { children.clear(); }
CJsonValue::CJsonValue(JsonObject&& members) : m_type(JsonType_Object), m_object(std::move(members)) { members.clear(); }

CJsonValue::CJsonValue(const CJsonValue& other) : m_type(JsonType_Null), m_number(0) { CopyFrom(other); }

CJsonValue& CJsonValue::operator=(const CJsonValue& other)
{
    if (this != &other) {
        CJsonValue copy(other);  // a failed copy leaves this value as it was
        Release();
        TakeFrom(copy);
    }
    return *this;
}

CJsonValue::~CJsonValue() { Release(); }

void CJsonValue::Release()
{
    switch (m_type) {
    case JsonType_String:
        m_string.~basic_string();
        break;
    case JsonType_Array:
        for (CJsonValue* child : m_array)
            delete child;
        m_array.~JsonArray();
        break;
    case JsonType_Object:
        for (auto& member : m_object)
            delete member.second;
        m_object.~JsonObject();
        break;
    default:
        break;
    }
    m_type = JsonType_Null;
    m_number = 0;
}

// Moves the other value's payload into this one, which holds none; the other is left Null.
void CJsonValue::TakeFrom(CJsonValue& other) noexcept
{
    switch (other.m_type) {
    case JsonType_String:
        new (&m_string) std::wstring(std::move(other.m_string));
        other.m_string.~basic_string();
        break;
    case JsonType_Array:
        new (&m_array) JsonArray(std::move(other.m_array));
        other.m_array.~JsonArray();
        break;
    case JsonType_Object:
        new (&m_object) JsonObject(std::move(other.m_object));
        other.m_object.~JsonObject();
        break;
    case JsonType_Bool:
        m_bool = other.m_bool;
        break;
    default:
        m_number = other.m_number;
        break;
    }
    m_type = other.m_type;
    other.m_type = JsonType_Null;
    other.m_number = 0;
}

// Fills this value, which holds no payload, with a deep copy of the other.
void CJsonValue::CopyFrom(const CJsonValue& other)
{
    switch (other.m_type) {
    case JsonType_String:
        new (&m_string) std::wstring(other.m_string);
        break;
    case JsonType_Bool:
        m_bool = other.m_bool;
        break;
    case JsonType_Number:
        m_number = other.m_number;
        break;
    case JsonType_Array: {
        JsonArray copy;
        try {
            copy.reserve(other.m_array.size());
            for (const CJsonValue* child : other.m_array)
                copy.push_back(new CJsonValue(*child));
        } catch (...) {
            for (CJsonValue* child : copy)
                delete child;
            throw;
        }
        new (&m_array) JsonArray(std::move(copy));
        break;
    }
    case JsonType_Object: {
        JsonObject copy;
        try {
            for (const auto& member : other.m_object) {
                std::unique_ptr<CJsonValue> value(new CJsonValue(*member.second));
                copy.emplace_hint(copy.end(), member.first, value.get());
                value.release();
            }
        } catch (...) {
            for (auto& member : copy)
                delete member.second;
            throw;
        }
        new (&m_object) JsonObject(std::move(copy));
        break;
    }
    default:
        break;
    }
    m_type = other.m_type;
}

size_t CJsonValue::CountChildren() const
{
    if (m_type == JsonType_Array)
        return m_array.size();
    if (m_type == JsonType_Object)
        return m_object.size();
    return 0;
}

bool CJsonValue::HasChild(size_t index) const { return m_type == JsonType_Array && index < m_array.size(); }

CJsonValue* CJsonValue::Child(size_t index) const { return HasChild(index) ? m_array[index] : nullptr; }

bool CJsonValue::HasChild(const wchar_t* name) const { return Child(name) != nullptr; }

CJsonValue* CJsonValue::Child(const wchar_t* name) const
{
    if (m_type != JsonType_Object || !name)
        return nullptr;
    auto it = m_object.find(name);
    return it == m_object.end() ? nullptr : it->second;
}

std::vector<std::wstring> CJsonValue::ObjectKeys() const
{
    std::vector<std::wstring> keys;
    if (m_type == JsonType_Object)
        for (const auto& member : m_object)
            keys.push_back(member.first);
    return keys;
}

// ---- reader -------------------------------------------------------------------------------

bool JsonSkipWhitespace(const wchar_t** data)
{
    while (**data == L' ' || **data == L'\t' || **data == L'\r' || **data == L'\n')
        ++*data;
    return **data != L'\0';
}

bool JsonHasChars(const wchar_t* data, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (data[i] == L'\0')
            return false;
    return true;
}

static int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    return -1;
}

bool JsonExtractString(const wchar_t** data, std::wstring& out)
{
    out.clear();
    const wchar_t* p = *data;
    for (;;) {
        wchar_t c = *p;
        if (c == L'\0')
            return false;
        if (c == L'"') {
            *data = p + 1;
            return true;
        }
        if (c == L'\\') {
            ++p;
            switch (*p) {
            case L'"': out += L'"'; break;
            case L'/': out += L'/'; break;
            case L'\\': out += L'\\'; break;
            case L'b': out += L'\b'; break;
            case L'f': out += L'\f'; break;
            case L'n': out += L'\n'; break;
            case L'r': out += L'\r'; break;
            case L't': out += L'\t'; break;
            case L'u': {
                if (!JsonHasChars(p, 5))
                    return false;
                unsigned unit = 0;
                for (int i = 1; i <= 4; ++i) {
                    int d = HexDigit(p[i]);
                    if (d < 0)
                        return false;
                    unit = unit * 16 + static_cast<unsigned>(d);
                }
                out += static_cast<wchar_t>(unit);
                p += 4;
                break;
            }
            default:
                return false;  // an unknown escape or the end of the text
            }
            ++p;
            continue;
        }
        if (c < 0x20 && c != L'\t')
            return false;
        // A run of plain characters goes in at once: one append instead of one per character.
        const wchar_t* run = p;
        while (*p != L'"' && *p != L'\\' && (*p >= 0x20 || *p == L'\t'))
            ++p;
        out.append(run, static_cast<size_t>(p - run));
    }
}

double JsonParseInt(const wchar_t** data)
{
    double value = 0;
    while (**data >= L'0' && **data <= L'9') {
        value = value * 10 + (**data - L'0');
        ++*data;
    }
    return value;
}

double JsonParseDecimal(const wchar_t** data)
{
    double sum = 0;
    double weight = 0.1;
    while (**data >= L'0' && **data <= L'9') {
        sum += (**data - L'0') * weight;
        weight *= 0.1;
        ++*data;
    }
    return sum;
}

static bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

static bool ParseNumber(const wchar_t** data, double& result)
{
    const wchar_t* p = *data;
    bool negative = false;
    if (*p == L'-') {
        negative = true;
        ++p;
    }
    double value;
    if (*p == L'0') {
        value = 0;
        ++p;
    } else if (*p >= L'1' && *p <= L'9') {
        value = JsonParseInt(&p);
    } else {
        return false;
    }
    if (*p == L'.') {
        ++p;
        if (!IsDigit(*p))
            return false;
        value += JsonParseDecimal(&p);
    }
    if (*p == L'e' || *p == L'E') {
        ++p;
        bool down = false;
        if (*p == L'+' || *p == L'-') {
            down = *p == L'-';
            ++p;
        }
        if (!IsDigit(*p))
            return false;
        double n = JsonParseInt(&p);
        // One step per unit of the exponent, but no further once the value cannot change any
        // more: 1e999999999 would otherwise spin for about a billion steps.
        for (double i = 0; i < n; ++i) {
            if (value == 0 || std::isinf(value))
                break;
            if (down)
                value /= 10;
            else
                value *= 10;
        }
    }
    if (negative)
        value *= -1;
    result = value;
    *data = p;
    return true;
}

static bool MatchWord(const wchar_t* p, const wchar_t* word)
{
    size_t n = wcslen(word);
    if (!JsonHasChars(p, n))
        return false;
    for (size_t i = 0; i < n; ++i) {
        wchar_t c = p[i];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != word[i])
            return false;
    }
    return true;
}

static void DeleteAll(JsonArray& items)
{
    for (CJsonValue* item : items)
        delete item;
    items.clear();
}

static void DeleteAll(JsonObject& members)
{
    for (auto& member : members)
        delete member.second;
    members.clear();
}

// The elements of an array being read. The first few wait in a local buffer, so that the
// array's vector is made once at its final size instead of growing (a heap block for each
// doubling); a longer array goes on in a vector. Owns the elements until they are taken.
class ArrayItems {
public:
    ArrayItems() = default;
    ArrayItems(const ArrayItems&) = delete;
    ArrayItems& operator=(const ArrayItems&) = delete;
    ~ArrayItems()
    {
        for (size_t i = 0; i < m_count; ++i)
            delete m_first[i];
        DeleteAll(m_rest);
    }

    bool Empty() const { return m_count == 0 && m_rest.empty(); }

    // Takes the item, also when adding it fails.
    void Add(CJsonValue* item)
    {
        if (m_rest.empty() && m_count < kFirst) {
            m_first[m_count++] = item;
            return;
        }
        try {
            if (m_rest.empty()) {
                m_rest.reserve(2 * kFirst);
                m_rest.assign(m_first, m_first + m_count);
                m_count = 0;
            }
            m_rest.push_back(item);
        } catch (...) {
            delete item;
            throw;
        }
    }

    // The elements in order; this collection is empty afterwards.
    JsonArray Take()
    {
        JsonArray items;
        if (!m_rest.empty()) {
            items.swap(m_rest);
        } else {
            items.assign(m_first, m_first + m_count);
            m_count = 0;
        }
        return items;
    }

private:
    static constexpr size_t kFirst = 8;
    CJsonValue* m_first[kFirst];
    size_t m_count = 0;
    JsonArray m_rest;
};

static CJsonValue* NewArray(ArrayItems& collected)
{
    JsonArray items = collected.Take();
    try {
        return new CJsonValue(std::move(items));
    } catch (...) {
        DeleteAll(items);
        throw;
    }
}

// Reads after the opening bracket. Every failure path frees what was collected.
static CJsonValue* ParseArray(const wchar_t** data, int depth)
{
    ArrayItems items;
    while (**data != L'\0') {
        if (!JsonSkipWhitespace(data))
            break;
        if (items.Empty() && **data == L']') {
            ++*data;
            return NewArray(items);
        }
        CJsonValue* item = CJsonValue::Parse(data, depth + 1);
        if (!item)
            break;
        items.Add(item);
        if (!JsonSkipWhitespace(data))
            break;
        if (**data == L']') {
            ++*data;
            return NewArray(items);
        }
        if (**data != L',')
            break;
        ++*data;
    }
    return nullptr;
}

static CJsonValue* ParseObject(const wchar_t** data, int depth)
{
    JsonObject members;
    try {
        std::wstring name;
        while (**data != L'\0') {
            if (!JsonSkipWhitespace(data))
                break;
            if (members.empty() && **data == L'}') {
                ++*data;
                return new CJsonValue(std::move(members));
            }
            if (**data != L'"')
                break;
            ++*data;
            if (!JsonExtractString(data, name))
                break;
            if (!JsonSkipWhitespace(data) || **data != L':')
                break;
            ++*data;
            if (!JsonSkipWhitespace(data))
                break;
            CJsonValue* value = CJsonValue::Parse(data, depth + 1);
            if (!value)
                break;
            try {
                // The name moves into the new member (a repeated name keeps its last value).
                auto placed = members.try_emplace(std::move(name), value);
                if (!placed.second) {
                    delete placed.first->second;
                    placed.first->second = value;
                }
            } catch (...) {
                delete value;
                throw;
            }
            if (!JsonSkipWhitespace(data))
                break;
            if (**data == L'}') {
                ++*data;
                return new CJsonValue(std::move(members));
            }
            if (**data != L',')
                break;
            ++*data;
        }
    } catch (...) {
        DeleteAll(members);
        throw;
    }
    DeleteAll(members);
    return nullptr;
}

CJsonValue* CJsonValue::Parse(const wchar_t** data, int depth)
{
    const wchar_t* p = *data;
    wchar_t c = *p;
    if (c == L'"') {
        ++p;
        std::wstring text;
        if (!JsonExtractString(&p, text))
            return nullptr;
        *data = p;
        return new CJsonValue(std::move(text));
    }
    // The words are matched only where one can begin (they are read in either case).
    wchar_t lower = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    if (lower == L't' && MatchWord(p, L"true")) {
        *data = p + 4;
        return new CJsonValue(true);
    }
    if (lower == L'f' && MatchWord(p, L"false")) {
        *data = p + 5;
        return new CJsonValue(false);
    }
    if (lower == L'n' && MatchWord(p, L"null")) {
        *data = p + 4;
        return new CJsonValue();
    }
    if (c == L'-' || IsDigit(c)) {
        double value;
        if (!ParseNumber(&p, value))
            return nullptr;
        *data = p;
        return new CJsonValue(value);
    }
    if (c == L'{' || c == L'[') {
        if (depth >= kJsonMaxDepth)
            return nullptr;
        ++p;
        CJsonValue* result = c == L'{' ? ParseObject(&p, depth) : ParseArray(&p, depth);
        if (result)
            *data = p;
        return result;
    }
    return nullptr;
}

CJsonValue* JsonParse(const wchar_t* text)
{
    if (!text)
        return nullptr;
    const wchar_t* p = text;
    if (!JsonSkipWhitespace(&p))
        return nullptr;
    CJsonValue* value = CJsonValue::Parse(&p, 0);
    if (!value)
        return nullptr;
    if (JsonSkipWhitespace(&p)) {
        delete value;
        return nullptr;
    }
    return value;
}

CJsonValue* JsonParse(const char* text)
{
    if (!text)
        return nullptr;
    size_t length = strlen(text);
    std::vector<wchar_t> wide(length + 1);
    size_t n = mbstowcs(wide.data(), text, length + 1);
    if (n == static_cast<size_t>(-1))
        return nullptr;
    wide[length] = L'\0';
    return JsonParse(wide.data());
}

// ---- writer -------------------------------------------------------------------------------

std::wstring JsonFormatNumber(double value)
{
    if (std::isnan(value) || std::isinf(value))
        return L"null";
    // The C runtime writes the digits; its decimal point (which follows the locale) and its
    // exponent width (msvcrt writes three digits) are not used: the text is put together here.
    char raw[64];
    snprintf(raw, sizeof raw, "%.14e", value);
    const char* p = raw;
    std::wstring out;
    if (*p == '-') {
        out += L'-';
        ++p;
    }
    std::string digits;
    while (*p && *p != 'e' && *p != 'E') {
        if (*p >= '0' && *p <= '9')
            digits += *p;
        ++p;
    }
    int exponent = *p ? atoi(p + 1) : 0;
    if (digits.size() < 15)
        digits.append(15 - digits.size(), '0');
    // Trailing zeros never show in the g conversion.
    size_t significant = digits.find_last_not_of('0');
    digits.resize(significant == std::string::npos ? 1 : significant + 1);
    if (exponent >= -4 && exponent < 15) {
        if (exponent < 0) {
            out += L"0.";
            out.append(static_cast<size_t>(-exponent - 1), L'0');
            for (char d : digits)
                out += static_cast<wchar_t>(d);
        } else {
            size_t whole = static_cast<size_t>(exponent) + 1;
            for (size_t i = 0; i < whole; ++i)
                out += static_cast<wchar_t>(i < digits.size() ? digits[i] : '0');
            if (digits.size() > whole) {
                out += L'.';
                for (size_t i = whole; i < digits.size(); ++i)
                    out += static_cast<wchar_t>(digits[i]);
            }
        }
    } else {
        out += static_cast<wchar_t>(digits[0]);
        if (digits.size() > 1) {
            out += L'.';
            for (size_t i = 1; i < digits.size(); ++i)
                out += static_cast<wchar_t>(digits[i]);
        }
        wchar_t tail[16];
        int magnitude = exponent < 0 ? -exponent : exponent;
        tail[0] = L'e';
        tail[1] = exponent < 0 ? L'-' : L'+';
        int len = 2;
        wchar_t rev[8];
        int r = 0;
        do {
            rev[r++] = static_cast<wchar_t>(L'0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude);
        if (r < 2)
            rev[r++] = L'0';
        while (r)
            tail[len++] = rev[--r];
        tail[len] = L'\0';
        out += tail;
    }
    return out;
}

std::wstring CJsonValue::Indent(size_t depth) { return depth >= 1 ? std::wstring(2 * (depth - 1), L' ') : std::wstring(); }

std::wstring CJsonValue::StringifyString(const std::wstring& text)
{
    static const wchar_t hex[] = L"0123456789ABCDEF";
    std::wstring out;
    out.reserve(text.size() + 2);
    out += L'"';
    for (wchar_t c : text) {
        switch (c) {
        case L'"': out += L"\\\""; break;
        case L'\\': out += L"\\\\"; break;
        case L'/': out += L"\\/"; break;
        case L'\b': out += L"\\b"; break;
        case L'\f': out += L"\\f"; break;
        case L'\n': out += L"\\n"; break;
        case L'\r': out += L"\\r"; break;
        case L'\t': out += L"\\t"; break;
        default: {
            unsigned unit = static_cast<unsigned short>(c);
            if (unit >= 0x20 && unit <= 0x7E) {
                out += c;
            } else {
                out += L"\\u";
                out += hex[(unit >> 12) & 15];
                out += hex[(unit >> 8) & 15];
                out += hex[(unit >> 4) & 15];
                out += hex[unit & 15];
            }
        }
        }
    }
    out += L'"';
    return out;
}

std::wstring CJsonValue::StringifyImpl(size_t depth) const
{
    size_t depth1 = depth ? depth + 1 : 0;
    switch (m_type) {
    case JsonType_String:
        return StringifyString(m_string);
    case JsonType_Bool:
        return m_bool ? L"true" : L"false";
    case JsonType_Number:
        return JsonFormatNumber(m_number);
    case JsonType_Array: {
        std::wstring out = L"[";
        if (depth)
            out += L"\n" + Indent(depth1);
        bool first = true;
        for (const CJsonValue* child : m_array) {
            if (!first)
                out += L',';
            first = false;
            out += child->StringifyImpl(depth1);
        }
        if (depth)
            out += L"\n" + Indent(depth);
        out += L']';
        return out;
    }
    case JsonType_Object: {
        std::wstring out = L"{";
        if (depth)
            out += L"\n" + Indent(depth1);
        bool first = true;
        for (const auto& member : m_object) {
            if (!first)
                out += L',';
            first = false;
            out += StringifyString(member.first);
            out += L':';
            out += member.second->StringifyImpl(depth1);
        }
        if (depth)
            out += L"\n" + Indent(depth);
        out += L'}';
        return out;
    }
    default:
        return L"null";
    }
}

std::wstring CJsonValue::Stringify(bool pretty) const { return StringifyImpl(pretty ? 1 : 0); }

std::wstring JsonStringify(const CJsonValue* value) { return value ? value->Stringify(false) : std::wstring(); }
