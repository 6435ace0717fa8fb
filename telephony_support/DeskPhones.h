// Recognition of the desk phone behind a network address: its vendor from the vendor part of
// its hardware (MAC) address and from what its built-in web server answers, its MAC address from
// the system's ARP table, and the login redirect of its start page.
#pragma once

#include <windows.h>

#include <cstddef>

// Vendor index.
enum PhoneVendor {
    kPhoneVendorUnknown = 0,
    kPhoneVendorSnom = 1,
    kPhoneVendorAastraMitel = 2,
    kPhoneVendorPanasonic = 3,
    kPhoneVendorGrandstream = 4,
    kPhoneVendorPolycom = 5,
    kPhoneVendorCisco = 6,
    kPhoneVendorYealink = 7,         // web server answers with the servlet login page
    kPhoneVendorYealinkApi = 8,      // web server answers with the '/api' interface
};

// The vendor's display name ("------------------" for any other index), in a per-thread text.
const wchar_t* GetPhoneVendorName(int index);
// The same, telling the two Yealink firmware families apart.
const wchar_t* GetPhoneVendorNameEx(int index);

// The vendor index from the web server's headers and start page and, if known (else null), the
// MAC address text; each text is searched on its first 2,046 characters.
int DetectPhoneVendor(const wchar_t* headers, const wchar_t* page, const wchar_t* macAddress);

// The target of the page's window.location="..."; assignment, or an empty text; per-thread text.
const wchar_t* GetLoginRedirect(const wchar_t* page);

// The MAC address of an IPv4 address (dotted digits) from the system's ARP table as twelve
// upper-case hexadecimal digits, or an empty text; per-thread text. Runs the ARP command through
// g_pfnRunArpCommand (DeskPhoneSeams.h).
const wchar_t* GetMacAddressByArp(const wchar_t* ipAddress);

// The real ARP runner behind the seam.
BOOL RunArpCommand(const wchar_t* ipAddress, wchar_t* output, size_t capacity);
// Starts a command line hidden, in its own console, with its output and error going to a pipe,
// and keeps what it prints (up to 1,023 bytes, for at most about 5 seconds) decoded in output.
// The program is not ended. FALSE when the pipe or the process could not be made.
BOOL ReadCommandOutput(const wchar_t* commandLine, wchar_t* output, size_t capacity);
