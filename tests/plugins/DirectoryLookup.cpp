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

// The IdentInfo of the first contact whose number matches, or an empty text.
std::wstring FindContact(const wchar_t* partnerNumber)
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&FindContact), &self);
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(self, path, _countof(path));
    if (!n || n >= _countof(path))
        return L"";
    wchar_t* slash = wcsrchr(path, L'\\');
    if (!slash)
        return L"";
    CopyText(slash + 1, _countof(path) - static_cast<size_t>(slash + 1 - path), L"Directory.txt");
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return L"";
    std::string bytes(65536, '\0');
    DWORD read = 0;
    if (!ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr))
        read = 0;
    CloseHandle(file);
    bytes.resize(read);
    int chars = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], chars);

    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        size_t bar = line.find(L'|');
        if (bar != std::wstring::npos && SameNumber(line.substr(0, bar).c_str(), partnerNumber))
            return line.substr(bar + 1);
    }
    return L"";
}

}  // namespace

bool AttachDirectoryEntry(wchar_t* text)
{
    auto call = std::make_unique<CQorCallStruct>(text);
    std::wstring identInfo = FindContact(call->PartnerNumber);
    if (identInfo.empty())
        return false;
    call->SetResult(kSource, kContactId, identInfo.c_str(), L"", L"", L"");
    std::unique_ptr<wchar_t[]> xml(new wchar_t[kCallXmlCapacity]);
    call->ToXml(xml.get());
    CopyText(text, kBlockChars, xml.get());
    return true;
}
