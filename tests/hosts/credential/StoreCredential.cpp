// Stores a secret in the Credential Manager the way the plug-ins read it, for scripts that set
// up a user's account before the host starts (scripts/demo):
//   StoreCredential <module> <user> <entry> <secret>
#include "foundation/Credentials.h"

#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 5) {
        fwprintf(stderr, L"usage: StoreCredential <module> <user> <entry> <secret>\n");
        return 2;
    }
    if (!WriteCredential(argv[1], argv[2], argv[3], argv[4])) {
        fwprintf(stderr, L"StoreCredential: not stored (error %lu)\n", GetLastError());
        return 1;
    }
    return 0;
}
