#include "host/SharedMemName.h"

#include <gtest/gtest.h>

namespace {

// The numbers are zlib.crc32 of the folder texts' UTF-16LE bytes, as signed 32-bit values
// (computed with Python when the test was written).
TEST(HostSharedMemName, UserAndFolderChecksum)
{
    const struct {
        const wchar_t* folder;
        const wchar_t* user;
        const wchar_t* name;
    } cases[] = {
        {L"C:\\Prog\\", L"admin", L"Local\\SharedMemQorServer-1247678409ADMIN"},
        {L"C:\\Prog\\", L"ADMIN", L"Local\\SharedMemQorServer-1247678409ADMIN"},
        {L"C:\\Program Files\\Orvix\\", L"Jörg", L"Local\\SharedMemQorServer-919508596JÖRG"},
        // Each folder has a block of its own: the case of the path counts.
        {L"c:\\prog\\", L"admin", nullptr},
    };
    for (const auto& c : cases) {
        wchar_t name[512];
        BuildSharedMemName(name, _countof(name), c.folder, c.user);
        if (c.name)
            EXPECT_STREQ(c.name, name) << c.folder;
        else
            EXPECT_STRNE(L"Local\\SharedMemQorServer-1247678409ADMIN", name);
    }
}

}  // namespace
