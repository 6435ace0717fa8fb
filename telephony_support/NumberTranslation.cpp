#include "telephony_support/NumberTranslation.h"

#include "foundation/Format.h"
#include "foundation/TextEncoding.h"
#include "telephony_support/CountryCode.h"
#include "telephony_support/NumberTranslationSeams.h"

#include <tapi.h>

#include <cstring>
#include <cwchar>

namespace {

constexpr DWORD kTranslateBlockBytes = 512;
constexpr size_t kDialableChars = 31;  // a dialable string is cut to this many characters

thread_local wchar_t t_translated[32];
thread_local wchar_t t_normalized[32];
thread_local union {
    LINETRANSLATEOUTPUT output;
    BYTE bytes[kTranslateBlockBytes];
} t_block;

// The dialable string of a successful translation, or false when the block does not hold
// one (Wine's stub reports success and writes nothing).
bool ReadDialableString(const BYTE* block, wchar_t* dst, size_t capacity)
{
    const LINETRANSLATEOUTPUT* out = reinterpret_cast<const LINETRANSLATEOUTPUT*>(block);
    DWORD offset = out->dwDialableStringOffset;
    DWORD size = out->dwDialableStringSize;
    if (size == 0 || offset < sizeof(LINETRANSLATEOUTPUT) || offset > kTranslateBlockBytes ||
        size > kTranslateBlockBytes - offset)
        return false;
    const BYTE* text = block + offset;
    if (size >= 3 && text[1] == 0 && text[2] != 0) {
        CopyTextN(dst, capacity, reinterpret_cast<const wchar_t*>(text), size / 2);
    } else {
        char narrow[kTranslateBlockBytes + 1];
        memcpy(narrow, text, size);
        narrow[size] = '\0';
        wchar_t wide[kTranslateBlockBytes + 1];
        int n = MultiByteToWideChar(CP_ACP, 0, narrow, -1, wide, _countof(wide));
        if (n <= 0)
            wide[0] = L'\0';
        CopyText(dst, capacity, wide);
    }
    return true;
}

}  // namespace

BOOL NormalizeInternationalNumber(wchar_t* number, LONG ownCountryCode)
{
    if (!number || number[0] != L'+')
        return TRUE;
    size_t n = static_cast<size_t>(GetCountryCodeLength(number));
    size_t len = wcslen(number);
    size_t head = len < n + 1 ? len : n + 1;
    // The blank goes in only once, and only when no character is lost to make room for it.
    if (number[head] != L' ' && len + 1 < kNumberBufferCapacity) {
        CopyTextN(t_normalized, _countof(t_normalized), number, head);
        AppendText(t_normalized, _countof(t_normalized), L" ");
        AppendText(t_normalized, _countof(t_normalized), number + head);
        CopyText(number, kNumberBufferCapacity, t_normalized);
    }
    LONG code = 0;
    for (size_t i = 1; i < head && number[i] >= L'0' && number[i] <= L'9'; ++i)
        code = code * 10 + (number[i] - L'0');
    return code == ownCountryCode;
}

const wchar_t* TranslateNumber(const wchar_t* number, LONG ownCountryCode)
{
    CopyText(t_translated, kNumberBufferCapacity, number);
    BOOL own = NormalizeInternationalNumber(t_translated, ownCountryCode);
    memset(&t_block, 0, sizeof(t_block));
    t_block.output.dwTotalSize = kTranslateBlockBytes;
    SetLastError(0);
    LONG rc = g_pfnLineTranslateAddressW(0, 0, 0x20000, t_translated, 0,
                                         own ? LINETRANSLATEOPTION_FORCELD : 0, &t_block.output);
    wchar_t dialable[kDialableChars + 1];
    if (rc == 0 && !ReadDialableString(t_block.bytes, dialable, _countof(dialable)))
        rc = LINEERR_OPERATIONFAILED;
    if (rc != 0) {
        SetLastError(static_cast<DWORD>(rc));
        return t_translated;
    }
    CopyText(t_translated, _countof(t_translated), dialable);
    KeepAllowedChars(t_translated, L"0,123456789");
    SetLastError(0);
    return t_translated;
}

void CleanCallerId(wchar_t* callerId)
{
    if (!callerId || IsBadWritePtr(callerId, 32 * sizeof(wchar_t)))
        return;
    if (callerId[0] == L'N') {
        const wchar_t* open = wcschr(callerId, L'<');
        if (!open)
            return;
        wchar_t inner[32];
        CopyText(inner, kNumberBufferCapacity, open + 1);
        wchar_t* close = wcschr(inner, L'>');
        if (!close)
            return;
        *close = L'\0';
        CopyText(callerId, kNumberBufferCapacity, inner);
    } else if (callerId[0] == L'T') {
        memmove(callerId, callerId + 1, (wcslen(callerId + 1) + 1) * sizeof(wchar_t));
    }
}
