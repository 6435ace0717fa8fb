// The plug-in's JSON values on UTF-16 text: a value tree, a reader and a writer.
//
// Ownership: a CJsonValue owns its whole subtree. A JsonArray or JsonObject on its own never
// owns the values its pointers name; only the CJsonValue that holds the container does. The
// constructors from a container therefore take it by rvalue reference: the pointers move into
// the new value and the source container is left empty. Views that own nothing (such as the
// message accessor's arrays) are JsonArrayView, of const pointers, which no constructor takes,
// so a borrowed sequence can never be adopted (and freed twice) by mistake.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

class CJsonValue;

enum JsonType { JsonType_Null = 0, JsonType_String = 1, JsonType_Bool = 2, JsonType_Number = 3, JsonType_Array = 4, JsonType_Object = 5 };

// Member names in order of their code units as unsigned 16-bit numbers.
struct JsonNameLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const;
};

typedef std::vector<CJsonValue*> JsonArray;
typedef std::map<std::wstring, CJsonValue*, JsonNameLess> JsonObject;
typedef std::vector<const CJsonValue*> JsonArrayView;

// Deepest nesting of arrays and objects the reader accepts; deeper text is rejected instead of
// running the receive thread out of stack.
constexpr int kJsonMaxDepth = 256;

class CJsonValue {
public:
    CJsonValue();
    explicit CJsonValue(const wchar_t* text);
    explicit CJsonValue(const std::wstring& text);
    explicit CJsonValue(std::wstring&& text);
    explicit CJsonValue(bool value);
    explicit CJsonValue(double value);
    explicit CJsonValue(int value);
    explicit CJsonValue(JsonArray&& children);
    explicit CJsonValue(JsonObject&& members);
    CJsonValue(const CJsonValue& other);
    CJsonValue& operator=(const CJsonValue& other);
    ~CJsonValue();

    JsonType Type() const { return m_type; }
    bool IsNull() const { return m_type == JsonType_Null; }
    bool IsString() const { return m_type == JsonType_String; }
    bool IsBool() const { return m_type == JsonType_Bool; }
    bool IsNumber() const { return m_type == JsonType_Number; }
    bool IsArray() const { return m_type == JsonType_Array; }
    bool IsObject() const { return m_type == JsonType_Object; }

    // Defined only for a value of that kind; test the kind first.
    const std::wstring& AsString() const { return m_string; }
    bool AsBool() const { return m_bool; }
    double AsNumber() const { return m_number; }
    const JsonArray& AsArray() const { return m_array; }
    const JsonObject& AsObject() const { return m_object; }

    size_t CountChildren() const;
    bool HasChild(size_t index) const;
    // The element, or null when the index is out of range or this is no Array.
    CJsonValue* Child(size_t index) const;
    // Plain int indexes (a literal 0 would otherwise also match the name form).
    bool HasChild(int index) const { return index >= 0 && HasChild(static_cast<size_t>(index)); }
    CJsonValue* Child(int index) const { return index >= 0 ? Child(static_cast<size_t>(index)) : nullptr; }
    bool HasChild(const wchar_t* name) const;
    // The member's value, or null when there is none or this is no Object.
    CJsonValue* Child(const wchar_t* name) const;
    std::vector<std::wstring> ObjectKeys() const;

    std::wstring Stringify(bool pretty = false) const;

    // Reads one value at the position and advances it; null on failure. depth counts the
    // arrays and objects that enclose the position.
    static CJsonValue* Parse(const wchar_t** data, int depth = 0);

private:
    void Release();
    void CopyFrom(const CJsonValue& other);
    void TakeFrom(CJsonValue& other) noexcept;
    std::wstring StringifyImpl(size_t depth) const;
    static std::wstring StringifyString(const std::wstring& text);
    static std::wstring Indent(size_t depth);

    // The payload lives inside the value: a string or container of its own would be one more
    // heap block per value, and the reader's time goes mostly into taking and freeing blocks.
    JsonType m_type;
    union {
        std::wstring m_string;
        bool m_bool;
        double m_number;
        JsonArray m_array;
        JsonObject m_object;
    };
};

// The value of the whole text (a new tree the caller deletes), or null when the text is not
// exactly one well-formed value.
CJsonValue* JsonParse(const wchar_t* text);
// The same for 8-bit text in the C runtime's current locale.
CJsonValue* JsonParse(const char* text);
// Compact text of the value; empty for null.
std::wstring JsonStringify(const CJsonValue* value);

// Reader helpers on a position in NUL-terminated text.
bool JsonSkipWhitespace(const wchar_t** data);
bool JsonExtractString(const wchar_t** data, std::wstring& out);
double JsonParseInt(const wchar_t** data);
double JsonParseDecimal(const wchar_t** data);
bool JsonHasChars(const wchar_t* data, size_t count);

// A double as C's "%.15g" writes it in the "C" locale (point as decimal separator, at least two
// exponent digits), whatever the process locale is.
std::wstring JsonFormatNumber(double value);
