#include "telephony_support/NumberTranslation.h"

#include "telephony_support/NumberTranslationSeams.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using testing_support::GuardedBuffer;

namespace {

// A stand-in for the dialling rules: records the call and writes what the test asks for.
struct FakeTranslation {
    LONG result = 0;
    std::string bytes;   // the dialable string as stored in the block
    DWORD offset = 0;    // 0: right behind the fixed part
    DWORD size = 0;      // 0: the length of bytes
    std::wstring address;
    DWORD options = 0xFFFF;
    DWORD apiVersion = 0;
    DWORD totalSize = 0;
};
FakeTranslation g_fake;

LONG WINAPI FakeTranslate(HLINEAPP app, DWORD device, DWORD version, LPCWSTR address, DWORD card, DWORD options,
                          LPLINETRANSLATEOUTPUT out)
{
    g_fake.address = address;
    g_fake.options = options;
    g_fake.apiVersion = version;
    g_fake.totalSize = out->dwTotalSize;
    if (g_fake.result)
        return g_fake.result;
    DWORD offset = g_fake.offset ? g_fake.offset : sizeof(LINETRANSLATEOUTPUT);
    DWORD size = g_fake.size ? g_fake.size : static_cast<DWORD>(g_fake.bytes.size());
    if (offset + g_fake.bytes.size() <= out->dwTotalSize)
        memcpy(reinterpret_cast<BYTE*>(out) + offset, g_fake.bytes.data(), g_fake.bytes.size());
    out->dwDialableStringOffset = offset;
    out->dwDialableStringSize = size;
    out->dwUsedSize = offset + size;
    return 0;
}

std::string Utf16(const std::wstring& text)
{
    std::string b(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2);
    return b;
}

class Translation : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_fake = FakeTranslation();
        g_pfnLineTranslateAddressW = FakeTranslate;
    }
    void TearDown() override { g_pfnLineTranslateAddressW = lineTranslateAddressW; }
};

}  // namespace

TEST_F(Translation, OwnCountryIsForcedLongDistanceAndOthersAreNot)
{
    g_fake.bytes = Utf16(L"0W030,123");
    EXPECT_STREQ(L"0030,123", TranslateNumber(L"+4930123", 49));
    EXPECT_EQ(0u, GetLastError());
    EXPECT_EQ(L"+49 30123", g_fake.address);
    EXPECT_EQ(static_cast<DWORD>(LINETRANSLATEOPTION_FORCELD), g_fake.options);
    EXPECT_EQ(0x20000u, g_fake.apiVersion);
    EXPECT_EQ(512u, g_fake.totalSize);

    TranslateNumber(L"+4420712", 49);
    EXPECT_EQ(L"+44 20712", g_fake.address);
    EXPECT_EQ(0u, g_fake.options);
    TranslateNumber(L"030123", 49);
    EXPECT_EQ(L"030123", g_fake.address);
    EXPECT_EQ(static_cast<DWORD>(LINETRANSLATEOPTION_FORCELD), g_fake.options);
}

TEST_F(Translation, EightBitAndOverlongDialableStrings)
{
    g_fake.bytes = std::string("9,0W711-12\0", 11);
    EXPECT_STREQ(L"9,071112", TranslateNumber(L"0711", 49));
    g_fake.bytes = Utf16(std::wstring(40, L'5'));
    EXPECT_EQ(std::wstring(31, L'5'), TranslateNumber(L"0711", 49));
    g_fake.bytes = "12345";  // no terminator inside its size
    EXPECT_STREQ(L"12345", TranslateNumber(L"0711", 49));
}

TEST_F(Translation, FailureAndBadBlocksGiveTheUntranslatedNumber)
{
    g_fake.result = LINEERR_INVALADDRESS;
    EXPECT_STREQ(L"+49 711", TranslateNumber(L"+49711", 49));
    EXPECT_EQ(static_cast<DWORD>(LINEERR_INVALADDRESS), GetLastError());

    struct { DWORD offset, size; } bad[] = {
        {0, 0},               // nothing written
        {4, 8},               // inside the fixed part
        {508, 8},             // runs past the block
        {0xFFFFFFF0u, 0x20},  // wraps round
        {600, 2},
    };
    for (const auto& b : bad) {
        g_fake = FakeTranslation();
        g_fake.bytes = Utf16(L"000");
        g_fake.offset = b.offset ? b.offset : 0;
        g_fake.size = b.size;
        if (b.offset == 0 && b.size == 0)
            g_fake.bytes.clear();
        EXPECT_STREQ(L"+49 711", TranslateNumber(L"+49711", 49)) << b.offset;
        EXPECT_NE(0u, GetLastError()) << b.offset;
    }
}

TEST(TranslationUnderWine, TheRealDiallingRulesCallIsNeverTakenForAnEmptySuccess)
{
    // Wine's stub reports success and writes nothing: that is no dialable number.
    const wchar_t* result = TranslateNumber(L"+4930123", 49);
    if (GetLastError() == 0)
        EXPECT_NE(L'\0', result[0]);
    else
        EXPECT_STREQ(L"+49 30123", result);
}

TEST(NormalizeNumber, BlankBehindTheCountryCode)
{
    struct Case {
        const wchar_t* in;
        LONG own;
        const wchar_t* out;
        BOOL result;
    } cases[] = {
        {L"+493012345", 49, L"+49 3012345", TRUE},
        {L"+12125551234", 1, L"+1 2125551234", TRUE},
        {L"+2712345", 49, L"+27 12345", FALSE},
        {L"+35312345", 353, L"+353 12345", TRUE},
        {L"+49 3012345", 49, L"+49 3012345", TRUE},  // already there: no second blank
        {L"+4", 4, L"+4 ", TRUE},
        {L"030123", 43, L"030123", TRUE},
        {L"", 43, L"", TRUE},
    };
    for (const auto& c : cases) {
        wchar_t number[32];
        wcscpy(number, c.in);
        EXPECT_EQ(c.result, NormalizeInternationalNumber(number, c.own)) << c.in;
        EXPECT_STREQ(c.out, number) << c.in;
    }
    // A number that fills the buffer keeps all its digits rather than gaining the blank.
    wchar_t full[32];
    wcscpy(full, (L"+49" + std::wstring(27, L'7')).c_str());
    EXPECT_TRUE(NormalizeInternationalNumber(full, 49));
    EXPECT_EQ(L"+49" + std::wstring(27, L'7'), full);
    wchar_t almost[32];
    wcscpy(almost, (L"+49" + std::wstring(26, L'7')).c_str());
    NormalizeInternationalNumber(almost, 49);
    EXPECT_EQ(L"+49 " + std::wstring(26, L'7'), almost);
}

TEST(CallerId, NameFormAndTonePrefix)
{
    struct Case {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"NCaller <0301234>", L"0301234"},
        {L"N<123", L"N<123"},
        {L"n<123>", L"n<123>"},
        {L"T0301234", L"0301234"},
        {L"T", L""},
        {L"t0301234", L"t0301234"},
        {L"0301234", L"0301234"},
        {L"N<>", L""},
    };
    GuardedBuffer guard(64);
    for (const auto& c : cases) {
        wchar_t* text = static_cast<wchar_t*>(guard.data());
        wcscpy(text, c.in);
        CleanCallerId(text);
        EXPECT_STREQ(c.out, text) << c.in;
    }
    CleanCallerId(nullptr);
    CleanCallerId(reinterpret_cast<wchar_t*>(0x10));
}
