#include "telephony_support/TapiErrors.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct CodeName {
    DWORD code;
    const wchar_t* name;
};

// Taken from the text of the system's tapi.h when this test was written.
const CodeName kLineErrorNames[] = {
    {0x80000001u, L"ALLOCATED"}, {0x80000002u, L"BADDEVICEID"}, {0x80000003u, L"BEARERMODEUNAVAIL"},
    {0x80000005u, L"CALLUNAVAIL"}, {0x80000006u, L"COMPLETIONOVERRUN"},
    {0x80000007u, L"CONFERENCEFULL"}, {0x80000008u, L"DIALBILLING"}, {0x80000009u, L"DIALDIALTONE"},
    {0x8000000Au, L"DIALPROMPT"}, {0x8000000Bu, L"DIALQUIET"},
    {0x8000000Cu, L"INCOMPATIBLEAPIVERSION"}, {0x8000000Du, L"INCOMPATIBLEEXTVERSION"},
    {0x8000000Eu, L"INIFILECORRUPT"}, {0x8000000Fu, L"INUSE"}, {0x80000010u, L"INVALADDRESS"},
    {0x80000011u, L"INVALADDRESSID"}, {0x80000012u, L"INVALADDRESSMODE"},
    {0x80000013u, L"INVALADDRESSSTATE"}, {0x80000014u, L"INVALAPPHANDLE"},
    {0x80000015u, L"INVALAPPNAME"}, {0x80000016u, L"INVALBEARERMODE"},
    {0x80000017u, L"INVALCALLCOMPLMODE"}, {0x80000018u, L"INVALCALLHANDLE"},
    {0x80000019u, L"INVALCALLPARAMS"}, {0x8000001Au, L"INVALCALLPRIVILEGE"},
    {0x8000001Bu, L"INVALCALLSELECT"}, {0x8000001Cu, L"INVALCALLSTATE"},
    {0x8000001Du, L"INVALCALLSTATELIST"}, {0x8000001Eu, L"INVALCARD"},
    {0x8000001Fu, L"INVALCOMPLETIONID"}, {0x80000020u, L"INVALCONFCALLHANDLE"},
    {0x80000021u, L"INVALCONSULTCALLHANDLE"}, {0x80000022u, L"INVALCOUNTRYCODE"},
    {0x80000023u, L"INVALDEVICECLASS"}, {0x80000024u, L"INVALDEVICEHANDLE"},
    {0x80000025u, L"INVALDIALPARAMS"}, {0x80000026u, L"INVALDIGITLIST"},
    {0x80000027u, L"INVALDIGITMODE"}, {0x80000028u, L"INVALDIGITS"},
    {0x80000029u, L"INVALEXTVERSION"}, {0x8000002Au, L"INVALGROUPID"},
    {0x8000002Bu, L"INVALLINEHANDLE"}, {0x8000002Cu, L"INVALLINESTATE"},
    {0x8000002Du, L"INVALLOCATION"}, {0x8000002Eu, L"INVALMEDIALIST"},
    {0x8000002Fu, L"INVALMEDIAMODE"}, {0x80000030u, L"INVALMESSAGEID"},
    {0x80000032u, L"INVALPARAM"}, {0x80000033u, L"INVALPARKID"}, {0x80000034u, L"INVALPARKMODE"},
    {0x80000035u, L"INVALPOINTER"}, {0x80000036u, L"INVALPRIVSELECT"}, {0x80000037u, L"INVALRATE"},
    {0x80000038u, L"INVALREQUESTMODE"}, {0x80000039u, L"INVALTERMINALID"},
    {0x8000003Au, L"INVALTERMINALMODE"}, {0x8000003Bu, L"INVALTIMEOUT"},
    {0x8000003Cu, L"INVALTONE"}, {0x8000003Du, L"INVALTONELIST"}, {0x8000003Eu, L"INVALTONEMODE"},
    {0x8000003Fu, L"INVALTRANSFERMODE"}, {0x80000040u, L"LINEMAPPERFAILED"},
    {0x80000041u, L"NOCONFERENCE"}, {0x80000042u, L"NODEVICE"}, {0x80000043u, L"NODRIVER"},
    {0x80000044u, L"NOMEM"}, {0x80000045u, L"NOREQUEST"}, {0x80000046u, L"NOTOWNER"},
    {0x80000047u, L"NOTREGISTERED"}, {0x80000048u, L"OPERATIONFAILED"},
    {0x80000049u, L"OPERATIONUNAVAIL"}, {0x8000004Au, L"RATEUNAVAIL"},
    {0x8000004Bu, L"RESOURCEUNAVAIL"}, {0x8000004Cu, L"REQUESTOVERRUN"},
    {0x8000004Du, L"STRUCTURETOOSMALL"}, {0x8000004Eu, L"TARGETNOTFOUND"},
    {0x8000004Fu, L"TARGETSELF"}, {0x80000050u, L"UNINITIALIZED"},
    {0x80000051u, L"USERUSERINFOTOOBIG"}, {0x80000052u, L"REINIT"},
    {0x80000053u, L"ADDRESSBLOCKED"}, {0x80000054u, L"BILLINGREJECTED"},
    {0x80000055u, L"INVALFEATURE"}, {0x80000056u, L"NOMULTIPLEINSTANCE"},
    {0x80000057u, L"INVALAGENTID"}, {0x80000058u, L"INVALAGENTGROUP"},
    {0x80000059u, L"INVALPASSWORD"}, {0x8000005Au, L"INVALAGENTSTATE"},
    {0x8000005Bu, L"INVALAGENTACTIVITY"}, {0x8000005Cu, L"DIALVOICEDETECT"},
    {0x8000005Du, L"USERCANCELLED"}, {0x8000005Eu, L"INVALADDRESSTYPE"},
    {0x8000005Fu, L"INVALAGENTSESSIONSTATE"}, {0x80000060u, L"DISCONNECTED"},
    {0x80000061u, L"SERVICE_NOT_RUNNING"},
};
const CodeName kPhoneErrorNames[] = {
    {0x90000001u, L"ALLOCATED"}, {0x90000002u, L"BADDEVICEID"},
    {0x90000003u, L"INCOMPATIBLEAPIVERSION"}, {0x90000004u, L"INCOMPATIBLEEXTVERSION"},
    {0x90000005u, L"INIFILECORRUPT"}, {0x90000006u, L"INUSE"}, {0x90000007u, L"INVALAPPHANDLE"},
    {0x90000008u, L"INVALAPPNAME"}, {0x90000009u, L"INVALBUTTONLAMPID"},
    {0x9000000Au, L"INVALBUTTONMODE"}, {0x9000000Bu, L"INVALBUTTONSTATE"},
    {0x9000000Cu, L"INVALDATAID"}, {0x9000000Du, L"INVALDEVICECLASS"},
    {0x9000000Eu, L"INVALEXTVERSION"}, {0x9000000Fu, L"INVALHOOKSWITCHDEV"},
    {0x90000010u, L"INVALHOOKSWITCHMODE"}, {0x90000011u, L"INVALLAMPMODE"},
    {0x90000012u, L"INVALPARAM"}, {0x90000013u, L"INVALPHONEHANDLE"},
    {0x90000014u, L"INVALPHONESTATE"}, {0x90000015u, L"INVALPOINTER"},
    {0x90000016u, L"INVALPRIVILEGE"}, {0x90000017u, L"INVALRINGMODE"}, {0x90000018u, L"NODEVICE"},
    {0x90000019u, L"NODRIVER"}, {0x9000001Au, L"NOMEM"}, {0x9000001Bu, L"NOTOWNER"},
    {0x9000001Cu, L"OPERATIONFAILED"}, {0x9000001Du, L"OPERATIONUNAVAIL"},
    {0x9000001Fu, L"RESOURCEUNAVAIL"}, {0x90000020u, L"REQUESTOVERRUN"},
    {0x90000021u, L"STRUCTURETOOSMALL"}, {0x90000022u, L"UNINITIALIZED"}, {0x90000023u, L"REINIT"},
    {0x90000024u, L"DISCONNECTED"}, {0x90000025u, L"SERVICE_NOT_RUNNING"},
};

const wchar_t* NameOf(const CodeName* table, size_t count, DWORD code)
{
    for (size_t i = 0; i < count; ++i) {
        if (table[i].code == code)
            return table[i].name;
    }
    return nullptr;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

}  // namespace

TEST(TapiErrorText, EveryLineAndPhoneCode)
{
    for (DWORD code = 0x80000000; code <= 0x80000070; ++code) {
        const wchar_t* name = NameOf(kLineErrorNames, _countof(kLineErrorNames), code);
        std::wstring expected = (name && code <= 0x8000005C) ? std::wstring(L"LINEERR_") + name : L"Unknown Error";
        EXPECT_EQ(expected, GetTapiErrorText(static_cast<LONG>(code))) << std::hex << code;
    }
    for (DWORD code = 0x90000000; code <= 0x90000030; ++code) {
        const wchar_t* name = NameOf(kPhoneErrorNames, _countof(kPhoneErrorNames), code);
        std::wstring expected = name ? std::wstring(L"PHONEERR_") + name : L"Unknown Error";
        EXPECT_EQ(expected, GetTapiErrorText(static_cast<LONG>(code))) << std::hex << code;
    }
}

TEST(TapiErrorText, Table)
{
    struct { LONG code; const wchar_t* text; } cases[] = {
        {static_cast<LONG>(0x80000010), L"LINEERR_INVALADDRESS"},
        {static_cast<LONG>(0x80000004), L"Unknown Error"},
        {static_cast<LONG>(0x80000031), L"Unknown Error"},
        {static_cast<LONG>(0x8000005C), L"LINEERR_DIALVOICEDETECT"},
        {static_cast<LONG>(0x8000005D), L"Unknown Error"},
        {static_cast<LONG>(0x90000025), L"PHONEERR_SERVICE_NOT_RUNNING"},
        {static_cast<LONG>(0x9000001E), L"Unknown Error"},
        {0, L"Success"},
        {-1, L"No CallInfo."},
        {-2, L"Vars empty or corrupted."},
        {-3, L"No SubState in CallState."},
        {-4, L"Dynamic feature disabled. Command in progress."},
        {-5, L"Asynchronous function call needs more than 500 ms."},
        {-6, L"Unexpected event."},
        {-7, L"General warning."},
        {-8, L"Unknown Error"},
        {-9, L"Unknown Error"},
        {-10, L"Unknown Error"},
        {-11, L"Bad scene command."},
        {-12, L"Bad function parameter."},
        {-13, L"No CallState."},
        {-14, L"Unexpected return value."},
        {-15, L"No Reply."},
        {-16, L"Unknown Error"},
        {-17, L"Feature disabled. Command refused."},
        {-18, L"General error."},
        {-19, L"Unknown Error"},
        {1, L"Unknown Error"},
        {static_cast<LONG>(0x7FFFFFFF), L"Unknown Error"},
        {static_cast<LONG>(0xA0000001), L"Unknown Error"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.text, GetTapiErrorText(c.code)) << c.code;
}

TEST(TapiErrorText, LeavesTheLastErrorAlone)
{
    for (LONG code : {0L, -5L, static_cast<LONG>(0x80000010), 12345L}) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        GetTapiErrorText(code);
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    }
}

TEST(TextToLineErr, EveryNameWithAndWithoutPrefix)
{
    for (const CodeName& entry : kLineErrorNames) {
        std::wstring name = entry.name;
        EXPECT_EQ(static_cast<LONG>(entry.code), TextToLineErr(name.c_str())) << Narrow(name);
        EXPECT_EQ(static_cast<LONG>(entry.code), TextToLineErr((L"lineMakeCall: LINEERR_" + name + L" (3)").c_str()))
            << Narrow(name);
    }
}

TEST(TextToLineErr, Table)
{
    struct { const wchar_t* text; LONG code; } cases[] = {
        {L"LINEERR_INVALTONEMODE", static_cast<LONG>(0x8000003E)},
        {L"LINEERR_INVALADDRESSTYPE", static_cast<LONG>(0x8000005E)},
        {L"LINEERR_INVALADDRESS", static_cast<LONG>(0x80000010)},
        {L"INVALCALLSTATELIST", static_cast<LONG>(0x8000001D)},
        {L"lineerr_inuse", 0},  // case-sensitive
        {L"NOCALLINFO", -1},
        {L"NOVARS", -2},
        {L"NOSUBSTATE", -3},
        {L"REFUSEDYNAMIC", -4},
        {L"ASYNCTIMETOLONG", -5},
        {L"UNEXPECTED", -6},
        {L"BADSCENECOMMAND", -11},
        {L"BADSCENEPARAMS", -12},
        {L"NOCALLSTATE", -13},
        {L"BADRETURN", -14},
        {L"NOREPLY", -15},
        {L"NOSCENEFILE", -16},
        {L"REFUSEFUNCTION", -17},
        {L"0x80000010", 0},  // no numeric reading
        {L"", 0},
        {nullptr, 0},
        {L"INUSE and NOMEM", static_cast<LONG>(0x8000000F)},  // the first in the search order wins
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.code, TextToLineErr(c.text)) << (c.text ? Narrow(c.text) : "null");
}

TEST(TextToPhoneErr, EveryNameInAnyCase)
{
    for (const CodeName& entry : kPhoneErrorNames) {
        std::wstring name = entry.name;
        EXPECT_EQ(static_cast<LONG>(entry.code), TextToPhoneErr(name.c_str())) << Narrow(name);
        for (wchar_t& ch : name)
            ch = static_cast<wchar_t>(towlower(ch));
        EXPECT_EQ(static_cast<LONG>(entry.code), TextToPhoneErr(name.c_str())) << Narrow(name);
    }
}

TEST(TextToPhoneErr, Table)
{
    struct { const wchar_t* text; LONG code; } cases[] = {
        {L"inuse", static_cast<LONG>(0x90000006)},
        {L"PHONEERR_INUSE", 0},  // whole name without prefix only
        {L"INUSE ", 0},
        {L"0X90000006", static_cast<LONG>(0x90000006)},
        {L"0x90000006", static_cast<LONG>(0x90000006)},
        {L"12", 12},
        {L"", 0},
        {nullptr, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.code, TextToPhoneErr(c.text)) << (c.text ? Narrow(c.text) : "null");
}

TEST(TextToPhoneErr, LongTextsAndTheEndOfReadableMemory)
{
    EXPECT_EQ(0, TextToPhoneErr((std::wstring(L"INUSE") + std::wstring(70, L' ')).c_str()));
    testing_support::GuardedBuffer guard(4096);
    EXPECT_EQ(static_cast<LONG>(0x90000006), TextToPhoneErr(guard.PlaceText(L"INUSE")));
    EXPECT_EQ(static_cast<LONG>(0x8000000F), TextToLineErr(guard.PlaceText(L"INUSE")));
    EXPECT_EQ(0, TextToLineErr(guard.PlaceText(L"INUS")));
}
