#include "foundation/Credentials.h"

#include <gtest/gtest.h>

#include <wincred.h>

#include <string>

namespace {
class Credentials : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (const wchar_t* t : {L"OrvixTestModuleSessionA", L"OrvixTestAnsi", L"OrvixTestLong"})
            CredDeleteW(t, CRED_TYPE_GENERIC, 0);
    }
};
}  // namespace

TEST_F(Credentials, WrittenSecretReadsBackBothWays)
{
    ASSERT_TRUE(WriteCredential(L"OrvixTestModule", L"Session", L"A", L"s\u00e9cret \u20ac"));
    EXPECT_STREQ(L"s\u00e9cret \u20ac", ReadCredential(L"OrvixTestModule", L"Session", L"A"));
    EXPECT_STREQ(L"s\u00e9cret \u20ac", ReadCredentialByTarget(L"OrvixTestModuleSessionA"));
    ASSERT_TRUE(WriteCredentialByTarget(L"OrvixTestModuleSessionA", L"replaced"));
    EXPECT_STREQ(L"replaced", ReadCredential(L"OrvixTestModule", L"Session", L"A"));
    CREDENTIALW* raw = nullptr;
    ASSERT_TRUE(CredReadW(L"OrvixTestModuleSessionA", CRED_TYPE_GENERIC, 0, &raw));
    EXPECT_EQ(18u, raw->CredentialBlobSize) << "UTF-16 with its terminator";
    EXPECT_EQ(static_cast<DWORD>(CRED_PERSIST_LOCAL_MACHINE), raw->Persist);
    CredFree(raw);
}

TEST_F(Credentials, EightBitEntryOfAnotherProgramIsRead)
{
    char password[] = "pa\xe4ss";  // no terminator stored, odd length
    CREDENTIALW cred = {};
    cred.Type = CRED_TYPE_GENERIC;
    cred.TargetName = const_cast<LPWSTR>(L"OrvixTestAnsi");
    cred.CredentialBlobSize = 5;
    cred.CredentialBlob = reinterpret_cast<LPBYTE>(password);
    cred.Persist = CRED_PERSIST_LOCAL_MACHINE;
    ASSERT_TRUE(CredWriteW(&cred, 0));
    EXPECT_STREQ(L"pa\u00e4ss", ReadCredential(L"OrvixTest", L"Ansi", L""));
}

TEST_F(Credentials, LongSecretIsCutAndMissingEntryIsEmpty)
{
    std::wstring longSecret(300, L'k');
    ASSERT_TRUE(WriteCredentialByTarget(L"OrvixTestLong", longSecret.c_str()));
    EXPECT_EQ(255u, wcslen(ReadCredentialByTarget(L"OrvixTestLong")));
    EXPECT_STREQ(L"", ReadCredentialByTarget(L"OrvixTestNoSuchEntry"));
    EXPECT_STREQ(L"", ReadCredential(L"OrvixTest", L"No", L"Such"));
}
