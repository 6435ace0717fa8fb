// The plug-in's handle on one received PBX message: parses the text, keeps the tree and
// answers typed questions about the members of the top-level object.
#pragma once

#include "plugin_support/Json.h"

class CJsonParserBase {
public:
    CJsonParserBase();
    virtual ~CJsonParserBase();
    CJsonParserBase(const CJsonParserBase&) = delete;
    CJsonParserBase& operator=(const CJsonParserBase&) = delete;

    // TRUE when the text is one JSON object; anything else leaves the accessor empty.
    BOOL Parse(const wchar_t* text);
    void Clear();

    // Copies the String member into dest (size in characters, terminator included), cut to
    // size - 1 characters; empty when there is no such String member.
    void GetString(wchar_t* dest, size_t size, const wchar_t* key) const;
    // The Number member truncated toward zero, saturated to the int range; 0 otherwise.
    int GetInt(const wchar_t* key) const;
    // The Number member rounded to a whole number ("%.f"); empty otherwise. The text stays
    // valid until the next call on this thread.
    const wchar_t* GetNumberText(const wchar_t* key) const;
    BOOL GetBool(const wchar_t* key) const;
    // The Array member's element pointers. The elements stay owned by the held tree and die
    // with Clear, the next Parse or this accessor: the returned view owns nothing.
    JsonArrayView GetArray(const wchar_t* key) const;
    // TRUE when the member exists and is an Array (an empty one included).
    BOOL HasArray(const wchar_t* key) const;
    // The Object member written compact (members sorted by name), at most 15,999 characters;
    // valid until the next call on this thread.
    const wchar_t* GetObjectText(const wchar_t* key) const;

private:
    const CJsonValue* Find(const wchar_t* key) const;

    CJsonValue* m_root;
    // The root's member map, looked at where it lies: a copy would take a heap block for
    // every member of every message.
    const JsonObject* m_members;
};
