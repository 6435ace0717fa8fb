#include "host/CommandLine.h"

#include "foundation/Format.h"

#include <cwchar>

namespace {

// One "%[^#]#" step of the bounded scan: the text up to the next '#', at most 254 characters.
// Returns the position after the '#', or null when the field is empty, too long or not ended
// (the scan stops there and the later fields stay empty).
const wchar_t* ScanField(const wchar_t* p, wchar_t* field)
{
    field[0] = L'\0';
    if (!p)
        return nullptr;
    const wchar_t* end = wcschr(p, L'#');
    if (!end || end == p || static_cast<size_t>(end - p) > kShortcutFieldMax)
        return nullptr;
    CopyTextN(field, kShortcutFieldMax + 1, p, static_cast<size_t>(end - p));
    return end + 1;
}

}  // namespace

void ParseHostCommandLine(const wchar_t* commandLine, HostCommandLine* result)
{
    result->action = HOST_SWITCH_NONE;
    result->group[0] = result->name[0] = result->third[0] = L'\0';
    if (!commandLine || commandLine[0] != L'-' || commandLine[1] == L'\0')
        return;
    switch (commandLine[1]) {
    case L'D': case L'd': result->action = HOST_SWITCH_START_SERVICE; return;
    case L'I': case L'i': result->action = HOST_SWITCH_INSTALL; return;
    case L'U': case L'u': result->action = HOST_SWITCH_UNINSTALL; return;
    case L'S': case L's': break;
    default: return;
    }
    result->action = HOST_SWITCH_SHORTCUTS;
    // The third character is skipped whatever it is; "-S" alone has no fields at all.
    if (commandLine[2] == L'\0')
        return;
    const wchar_t* p = ScanField(commandLine + 3, result->group);
    p = ScanField(p, result->name);
    if (!p)
        return;
    ScanField(p, result->third);
}
