#include "telephony_support/DeskPhones.h"

#include "foundation/Format.h"
#include "foundation/SecurityTools.h"
#include "foundation/TextEncoding.h"
#include "foundation/TextUtils.h"
#include "telephony_support/DeskPhoneSeams.h"

#include <cstring>
#include <cwchar>
#include <initializer_list>
#include <vector>

namespace {

const wchar_t kNoVendor[] = L"------------------";

const wchar_t* const kVendorNames[] = {
    nullptr, L"Snom", L"Aastra/Mitel", L"Panasonic", L"Grandstream", L"Polycom", L"Cisco", L"Yealink", L"Yealink",
};
const wchar_t* const kVendorNamesEx[] = {
    nullptr, L"Snom", L"Aastra/Mitel", L"Panasonic", L"Grandstream", L"Polycom", L"Cisco", L"Yealink new FW",
    L"Yealink Android new FW",
};

const wchar_t* VendorName(const wchar_t* const* names, int index, wchar_t* text, size_t capacity)
{
    const wchar_t* name = (index >= 1 && index <= kPhoneVendorYealinkApi) ? names[index] : kNoVendor;
    CopyText(text, capacity, name);
    return text;
}

// A searchable copy: at most 2,046 characters, upper case, line breaks and tabs as blanks.
struct SearchText {
    wchar_t text[2048];
    explicit SearchText(const wchar_t* source)
    {
        CopyText(text, 2047, source);
        CharUpperBuffW(text, static_cast<DWORD>(wcslen(text)));
        CharToBlanks(text, L'\r');
        CharToBlanks(text, L'\n');
        CharToBlanks(text, L'\t');
    }
    bool Has(const wchar_t* marker) const { return wcsstr(text, marker) != nullptr; }
    bool HasAny(std::initializer_list<const wchar_t*> markers) const
    {
        for (const wchar_t* marker : markers) {
            if (Has(marker))
                return true;
        }
        return false;
    }
};

const wchar_t kServletLogin[] = L"WINDOW.LOCATION =\"/SERVLET?P=LOGIN";
const wchar_t kServletListenerLogin[] = L"WINDOW.LOCATION =\"/SERVLET?M=MOD_LISTENER&P=LOGIN";
const wchar_t kApiLocation[] = L"WINDOW.LOCATION = '/API'";

bool StartsWithNoCase(const wchar_t* text, const wchar_t* prefix)
{
    for (; *prefix; ++text, ++prefix) {
        if (!*text || towupper(*text) != towupper(*prefix))
            return false;
    }
    return true;
}

int VendorFromMac(const wchar_t* mac, const SearchText& page)
{
    if (StartsWithNoCase(mac, L"00085"))
        return kPhoneVendorAastraMitel;
    if (StartsWithNoCase(mac, L"000B8"))
        return kPhoneVendorGrandstream;
    if (StartsWithNoCase(mac, L"008"))
        return kPhoneVendorPanasonic;
    if (StartsWithNoCase(mac, L"F87"))
        return kPhoneVendorCisco;
    if (StartsWithNoCase(mac, L"00041"))
        return kPhoneVendorSnom;
    if (StartsWithNoCase(mac, L"0015")) {
        if (page.HasAny({L"YEALINK T5", L"YEALINK T42U", L"YEALINK T43U", L"YEALINK T46U", L"YEALINK T48U", kApiLocation}))
            return kPhoneVendorYealinkApi;
        if (page.HasAny({kServletLogin, kServletListenerLogin}))
            return kPhoneVendorYealink;
        return kPhoneVendorUnknown;
    }
    if (StartsWithNoCase(mac, L"805E")) {
        if (page.HasAny({L"YEALINK T5", L"YEALINK VP", L"YEALINK T42U", L"YEALINK T43U", L"YEALINK T46U", L"YEALINK T48U"}))
            return kPhoneVendorYealinkApi;
        if (page.Has(L"YEALINK T3"))
            return kPhoneVendorYealink;
        if (page.Has(kApiLocation))
            return kPhoneVendorYealinkApi;
        if (page.HasAny({kServletLogin, kServletListenerLogin}))
            return kPhoneVendorYealink;
    }
    return kPhoneVendorUnknown;
}

bool IsIpChar(wchar_t ch) { return (ch >= L'0' && ch <= L'9') || ch == L'.'; }

bool IsHexChar(wchar_t ch)
{
    return (ch >= L'0' && ch <= L'9') || (ch >= L'a' && ch <= L'f') || (ch >= L'A' && ch <= L'F');
}

// "hh-hh-hh-hh-hh-hh" at text (never reads past its terminator).
bool IsMacText(const wchar_t* text)
{
    for (int i = 0; i < 17; ++i) {
        bool ok = (i % 3 == 2) ? text[i] == L'-' : IsHexChar(text[i]);
        if (!ok)
            return false;
    }
    return true;
}

// The MAC address of the entry of ip in the output of "arp -a": the address must stand on its
// own (192.168.1.2 is not 192.168.1.20) and be followed on its line by a well-formed MAC.
bool FindMacInArpOutput(const wchar_t* output, const wchar_t* ip, wchar_t* mac, size_t capacity)
{
    size_t ipLength = wcslen(ip);
    for (const wchar_t* at = wcsstr(output, ip); at; at = wcsstr(at + 1, ip)) {
        const wchar_t* end = at + ipLength;
        if ((at > output && IsIpChar(at[-1])) || IsIpChar(*end))
            continue;
        const wchar_t* dash = end;
        while (*dash && *dash != L'-' && *dash != L'\r' && *dash != L'\n')
            ++dash;
        if (*dash != L'-' || dash - end < 2 || !IsMacText(dash - 2))
            continue;
        CopyTextN(mac, capacity, dash - 2, 17);
        CharUpperBuffW(mac, static_cast<DWORD>(wcslen(mac)));
        KeepAllowedChars(mac, L"0123456789ABCDEF");
        return true;
    }
    return false;
}

// Dotted digits only, as arp takes them: nothing else reaches its command line.
bool IsIpAddressText(const wchar_t* ip)
{
    size_t length = BoundedLength(ip, 16);
    if (length == 0 || length > 15)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (!IsIpChar(ip[i]))
            return false;
    }
    return true;
}

// Bytes a console program wrote, as text: UTF-16 when it wrote UTF-16, else the OEM code page
// that console programs use.
void DecodeCommandOutput(const char* bytes, size_t count, wchar_t* output, size_t capacity)
{
    output[0] = L'\0';
    if (count == 0 || capacity == 0)
        return;
    if (count >= 2 && bytes[0] != 0 && bytes[1] == 0) {
        size_t units = count / 2 < capacity - 1 ? count / 2 : capacity - 1;
        memcpy(output, bytes, units * sizeof(wchar_t));
        output[units] = L'\0';
        output[BoundedLength(output, units)] = L'\0';
        return;
    }
    // Decoded whole first: the conversion writes nothing when the text does not fit.
    std::vector<wchar_t> text(count + 1, L'\0');
    int n = MultiByteToWideChar(CP_OEMCP, 0, bytes, static_cast<int>(count), text.data(), static_cast<int>(count));
    text[n > 0 ? n : 0] = L'\0';
    CopyText(output, capacity, text.data());
}

}  // namespace

const wchar_t* GetPhoneVendorName(int index)
{
    thread_local wchar_t text[64];
    return VendorName(kVendorNames, index, text, 63);
}

const wchar_t* GetPhoneVendorNameEx(int index)
{
    thread_local wchar_t text[64];
    return VendorName(kVendorNamesEx, index, text, 63);
}

int DetectPhoneVendor(const wchar_t* headers, const wchar_t* page, const wchar_t* macAddress)
{
    // Each copy is 4 KB: kept off the stack of callers that may run on small thread stacks.
    std::vector<SearchText> texts{SearchText(headers), SearchText(page)};
    const SearchText& head = texts[0];
    const SearchText& body = texts[1];

    if (macAddress) {
        int vendor = VendorFromMac(macAddress, body);
        if (vendor != kPhoneVendorUnknown)
            return vendor;
    }
    if (head.HasAny({L" SNOM ", L"\"SNOM\""}))
        return kPhoneVendorSnom;
    if (head.HasAny({L"AASTRA", L"MITEL"}) || body.Has(L"MITEL IP"))
        return kPhoneVendorAastraMitel;
    if (head.Has(L"POLYCOM"))
        return kPhoneVendorPolycom;
    if (body.Has(L"CISCO"))
        return kPhoneVendorCisco;
    if (body.HasAny({L"YEALINK T5", kApiLocation}))
        return kPhoneVendorYealinkApi;
    if (body.HasAny({kServletLogin, kServletListenerLogin}))
        return kPhoneVendorYealink;
    if (head.Has(L"DIGEST REALM"))
        return kPhoneVendorPanasonic;
    if (body.HasAny({L"YEALINK VP", L"YEALINK T42U", L"YEALINK T43U", L"YEALINK T46U", L"YEALINK T48U"}))
        return kPhoneVendorYealinkApi;
    if (body.HasAny({L"YEALINK T4", L"YEALINK T3"}))
        return kPhoneVendorYealink;
    return kPhoneVendorUnknown;
}

const wchar_t* GetLoginRedirect(const wchar_t* page)
{
    thread_local wchar_t text[4096];
    CopyText(text, 4095, page);
    RemoveChar(text, L'\r');
    RemoveChar(text, L'\n');
    RemoveChar(text, L'\t');
    RemoveChar(text, L' ');
    static const wchar_t kMarker[] = L"window.location=\"";
    const wchar_t* start = wcsstr(text, kMarker);
    const wchar_t* end = start ? wcsstr(start + wcslen(kMarker), L"\";") : nullptr;
    if (!end) {
        text[0] = L'\0';
        return text;
    }
    start += wcslen(kMarker);
    size_t length = static_cast<size_t>(end - start);
    wmemmove(text, start, length);
    text[length] = L'\0';
    return text;
}

const wchar_t* GetMacAddressByArp(const wchar_t* ipAddress)
{
    thread_local wchar_t mac[64];
    mac[0] = L'\0';
    if (!IsIpAddressText(ipAddress))
        return mac;
    std::vector<wchar_t> output(1024, L'\0');
    if (!g_pfnRunArpCommand(ipAddress, output.data(), output.size()))
        return mac;
    output.back() = L'\0';
    if (!FindMacInArpOutput(output.data(), ipAddress, mac, 63))
        mac[0] = L'\0';
    return mac;
}

BOOL RunArpCommand(const wchar_t* ipAddress, wchar_t* output, size_t capacity)
{
    if (output && capacity)
        output[0] = L'\0';
    if (!IsIpAddressText(ipAddress))
        return FALSE;
    wchar_t commandLine[128];
    FormatW(commandLine, _countof(commandLine), L"arp -a %s", ipAddress);
    return ReadCommandOutput(commandLine, output, capacity);
}

BOOL ReadCommandOutput(const wchar_t* commandLine, wchar_t* output, size_t capacity)
{
    if (!output || capacity == 0)
        return FALSE;
    output[0] = L'\0';
    if (!commandLine)
        return FALSE;

    // Only the write end is inherited, so the program alone holds it once ours is closed.
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, GetNullDaclSecurityAttributes(), 2048))
        return FALSE;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    std::vector<wchar_t> line(commandLine, commandLine + wcslen(commandLine) + 1);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr, nullptr,
                        &startup, &process)) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        return FALSE;
    }
    CloseHandle(writeEnd);

    // Collects until the program has ended and its output is read, the buffer is full, or
    // 500 rounds of 10 ms have passed. A program may write its lines one by one, so stopping at
    // the first bytes could miss the line that was asked for.
    char bytes[1024] = {};
    DWORD total = 0;
    const DWORD limit = sizeof(bytes) - 1;
    for (int round = 0; round < 500 && total < limit; ++round) {
        bool ended = WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0;
        DWORD waiting = 0;
        if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &waiting, nullptr))
            break;  // the program ended and everything it wrote has been read
        if (waiting) {
            DWORD got = 0;
            DWORD want = waiting < limit - total ? waiting : limit - total;
            if (!ReadFile(readEnd, bytes + total, want, &got, nullptr))
                break;
            total += got;
            continue;
        }
        if (ended)
            break;
    }
    CloseHandle(readEnd);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    DecodeCommandOutput(bytes, total, output, capacity);
    return TRUE;
}
