#include "host/SharedMemName.h"

#include "foundation/Checksums.h"
#include "foundation/Format.h"

#include <cwchar>

void BuildSharedMemName(wchar_t* name, size_t capacity, const wchar_t* programFolder, const wchar_t* userName)
{
    static const CCrc32 crc;
    const wchar_t* folder = programFolder ? programFolder : L"";
    DWORD sum = crc.Calculate(folder, wcslen(folder) * sizeof(wchar_t));
    wchar_t user[127];
    CopyText(user, _countof(user), userName ? userName : L"");
    CharUpperW(user);
    FormatW(name, capacity, L"Local\\SharedMemQorServer%d%s", static_cast<int>(sum), user);
}
