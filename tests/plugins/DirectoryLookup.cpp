#include "tests/plugins/DirectoryLookup.h"

#include "foundation/Format.h"
#include "plugin_support/CallStruct.h"

#include <cwchar>
#include <memory>
#include <string>

namespace {

constexpr wchar_t kSource[] = L"Directory";
// A contact's reference in the directory: non-zero, so that the card offers to open it.
constexpr DWORD kContactId = 1;
// The characters the router's block holds for sure, terminator included.
constexpr size_t kBlockChars = 16384;

// The digits of a number without the leading zeros of dialling prefixes.
std::wstring Digits(const wchar_t* number)
{
    std::wstring digits;
    for (const wchar_t* p = number; *p; ++p)
        if (*p >= L'0' && *p <= L'9' && (*p != L'0' || !digits.empty()))
            digits += *p;
    return digits;
}

// The way a contact store matches a caller: the same digits, or one number is the end of the
// other (at least 7 digits) when one of them comes with a country or area code in front.
bool SameNumber(const wchar_t* stored, const wchar_t* caller)
{
    std::wstring a = Digits(stored), b = Digits(caller);
    if (a.empty() || b.empty())
        return false;
    if (a == b)
        return true;
    const std::wstring& shorter = a.size() < b.size() ? a : b;
    const std::wstring& longer = a.size() < b.size() ? b : a;
    if (shorter.size() < 7)
        return false;
    return longer.compare(longer.size() - shorter.size(), shorter.size(), shorter) == 0;
}

}  // namespace

bool AttachDirectoryEntry(wchar_t* text)
{
    wchar_t entry[1200] = L"";
    DWORD n = GetEnvironmentVariableW(L"ORVIX_TEST_DIRECTORY", entry, _countof(entry));
    if (!n || n >= _countof(entry))
        return false;
    wchar_t* bar = wcschr(entry, L'|');
    if (!bar)
        return false;
    *bar = L'\0';
    const wchar_t* identInfo = bar + 1;

    auto call = std::make_unique<CQorCallStruct>(text);
    if (!SameNumber(entry, call->PartnerNumber))
        return false;
    call->SetResult(kSource, kContactId, identInfo, L"", L"", L"");
    std::unique_ptr<wchar_t[]> xml(new wchar_t[kCallXmlCapacity]);
    call->ToXml(xml.get());
    CopyText(text, kBlockChars, xml.get());
    return true;
}
