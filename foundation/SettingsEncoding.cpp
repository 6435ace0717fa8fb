#include "foundation/SettingsEncoding.h"

#include "foundation/Format.h"
#include "foundation/TextEncoding.h"

#include <windows.h>

#include <cwchar>
#include <cstring>
#include <string>
#include <vector>

const wchar_t kUnicodeMarker[] = L"#UNI#";

namespace {

const size_t kMarkerLength = 5;

bool StartsWithMarker(const wchar_t* text) { return wcsncmp(text, kUnicodeMarker, kMarkerLength) == 0; }

bool IsEscapeLetter(wchar_t ch) { return ch == L'n' || ch == L'r' || ch == L't'; }

// A backslash right before an escape letter would read back as a control character.
bool HasEscapeLookalike(const wchar_t* text)
{
    for (; *text; ++text)
        if (text[0] == L'\\' && IsEscapeLetter(text[1]))
            return true;
    return false;
}

// "#UNI#" and four hex digits per UTF-16 unit; the text is cut before a unit (or a surrogate
// pair) that no longer fits, never inside one.
void ToUnicodeForm(std::wstring& out, const wchar_t* text, size_t capacity)
{
    out = kUnicodeMarker;
    size_t room = capacity > kMarkerLength + 1 ? (capacity - kMarkerLength - 1) / 4 : 0;
    size_t units = wcslen(text);
    if (units > room) {
        units = room;
        if (units && IS_HIGH_SURROGATE(text[units - 1]))
            --units;
    }
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text);
    size_t total = units * sizeof(wchar_t);
    // The hex encoder takes up to 511 bytes per call: whole units in chunks of 510.
    for (size_t done = 0; done < total; done += 510)
        out += BytesToHex(bytes + done, total - done < 510 ? total - done : 510);
}

}  // namespace

int HasWideChars(const wchar_t* text)
{
    if (!text)
        return 0;
    for (; *text; ++text)
        if (*text > 255)
            return 1;
    return 0;
}

void EncodeSettingText(wchar_t* dst, size_t capacity, const wchar_t* text)
{
    if (!dst || capacity == 0)
        return;
    dst[0] = L'\0';
    if (!text)
        return;
    std::wstring staged;
    // Texts the escape form cannot carry go in the marked form (see the header); a plain text
    // that begins with the marker would otherwise be decoded into something else when read.
    if (HasWideChars(text) || StartsWithMarker(text) || HasEscapeLookalike(text))
        ToUnicodeForm(staged, text, capacity);
    else
        staged = text;
    size_t n = 0;
    for (size_t i = 0; i < staged.size(); ++i) {
        wchar_t ch = staged[i];
        wchar_t pair[2] = {L'\\', 0};
        if (ch == L'\t')
            pair[1] = L't';
        else if (ch == L'\n')
            pair[1] = L'n';
        else if (ch == L'\r')
            pair[1] = L'r';
        size_t need = pair[1] ? 2 : 1;
        if (n + need > capacity - 1)
            break;
        if (pair[1]) {
            dst[n++] = pair[0];
            dst[n++] = pair[1];
        } else {
            dst[n++] = ch;
        }
    }
    dst[n] = L'\0';
}

void UnescapeSettingText(wchar_t* dst, size_t capacity, const wchar_t* text)
{
    if (!dst || capacity == 0)
        return;
    size_t n = 0;
    for (const wchar_t* p = text ? text : L""; *p && n + 1 < capacity; ++p) {
        if (p[0] == L'\\' && IsEscapeLetter(p[1])) {
            ++p;
            dst[n++] = *p == L'n' ? L'\n' : *p == L'r' ? L'\r' : L'\t';
        } else {
            dst[n++] = *p;
        }
    }
    dst[n] = L'\0';
}

void DecodeUnicodeSetting(wchar_t* text, size_t capacity)
{
    if (!text || capacity == 0 || !StartsWithMarker(text))
        return;
    std::vector<BYTE> bytes((capacity - 1) * sizeof(wchar_t) + 1);
    size_t count = HexToBytes(bytes.data(), bytes.size(), text + kMarkerLength);
    size_t units = count / sizeof(wchar_t);
    if (units > capacity - 1)
        units = capacity - 1;
    memcpy(text, bytes.data(), units * sizeof(wchar_t));
    text[units] = L'\0';
    // A terminator inside the decoded bytes ends the text there.
    text[BoundedLength(text, units)] = L'\0';
}
