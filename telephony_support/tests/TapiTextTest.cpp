#include "telephony_support/TapiText.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <tapi.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

// Every value-to-text member with its text-to-value partner (if any).
struct Family {
    const char* name;
    const wchar_t* (*toText)(DWORD);
    const wchar_t* (*toTextVerbose)(DWORD, BOOL);
    DWORD (*fromText)(const wchar_t*);
    size_t capacity;
    bool enumeration;
    bool firstMatch;  // the reading stops at the first name found

    std::wstring Text(DWORD value) const { return toText ? toText(value) : toTextVerbose(value, TRUE); }
};

const Family kFamilies[] = {
    {"LineAddrCapFlags", LineAddrCapFlagsToText, nullptr, nullptr, 1023, false, false},
    {"LineAddrFeature", LineAddrFeatureToText, nullptr, nullptr, 1023, false, false},
    {"LineAddressMode", LineAddressModeToText, nullptr, nullptr, 255, false, false},
    {"LineAddressSharing", LineAddressSharingToText, nullptr, nullptr, 255, false, false},
    {"LineAddressState", nullptr, LineAddressStateToText, TextToLineAddressState, 1023, false, false},
    {"LineAgentFeature", LineAgentFeatureToText, nullptr, nullptr, 255, false, false},
    {"LineAgentSessionState", LineAgentSessionStateToText, nullptr, nullptr, 255, false, false},
    {"LineAgentStateEx", LineAgentStateExToText, nullptr, nullptr, 255, false, false},
    {"LineAgentState", LineAgentStateToText, nullptr, TextToLineAgentState, 255, false, false},
    {"LineAgentStatus", LineAgentStatusToText, nullptr, nullptr, 255, false, false},
    {"LineAnswerMode", LineAnswerModeToText, nullptr, nullptr, 255, false, false},
    {"LineBearerMode", LineBearerModeToText, nullptr, TextToLineBearerMode, 255, false, false},
    {"LineCallComplCond", LineCallComplCondToText, nullptr, nullptr, 255, false, false},
    {"LineCallComplMode", LineCallComplModeToText, nullptr, TextToLineCallComplMode, 255, false, true},
    {"LineCallFeature", LineCallFeatureToText, nullptr, nullptr, 1023, false, false},
    {"LineCallFeature2", LineCallFeature2ToText, nullptr, nullptr, 1023, false, false},
    {"LineCallInfoState", nullptr, LineCallInfoStateToText, TextToLineCallInfoState, 1023, false, false},
    {"LineCallParamFlags", LineCallParamFlagsToText, nullptr, nullptr, 1023, false, false},
    {"LineCallPartyId", LineCallPartyIdToText, nullptr, nullptr, 1023, false, false},
    {"LineCallPrivilege", LineCallPrivilegeToText, nullptr, TextToLineCallPrivilege, 255, false, false},
    {"DeviceKind", nullptr, DeviceKindToText, TextToDeviceKind, 255, false, true},
    {"LineConnectedMode", nullptr, LineConnectedModeToText, TextToLineConnectedMode, 255, false, true},
    {"LineDialToneMode", nullptr, LineDialToneModeToText, TextToLineDialToneMode, 255, false, true},
    {"LineDisconnectMode", nullptr, LineDisconnectModeToText, TextToLineDisconnectMode, 1023, false, true},
    {"LineOfferingMode", nullptr, LineOfferingModeToText, TextToLineOfferingMode, 255, false, true},
    {"LineSpecialInfo", nullptr, LineSpecialInfoToText, TextToLineSpecialInfo, 255, false, true},
    {"LineCallState", nullptr, LineCallStateToText, TextToLineCallState, 1023, false, false},
    {"LineCallTreatment", LineCallTreatmentToText, nullptr, TextToLineCallTreatment, 255, true, false},
    {"LineDevCapFlags", LineDevCapFlagsToText, nullptr, nullptr, 255, false, false},
    {"LineDevState", nullptr, LineDevStateToText, TextToLineDevState, 1023, false, false},
    {"LineDevStatusFlags", LineDevStatusFlagsToText, nullptr, TextToLineDevStatusFlags, 255, false, false},
    {"LineDigitMode", LineDigitModeToText, nullptr, TextToLineDigitMode, 255, false, true},
    {"LineFeature", LineFeatureToText, nullptr, nullptr, 255, false, false},
    {"LineForwardMode", LineForwardModeToText, nullptr, TextToLineForwardMode, 1023, false, true},
    {"LineGatherTerm", LineGatherTermToText, nullptr, nullptr, 255, false, false},
    {"LineGenerateTerm", LineGenerateTermToText, nullptr, nullptr, 255, false, false},
    {"LineGroupStatus", LineGroupStatusToText, nullptr, nullptr, 255, false, false},
    {"LineMediaMode", LineMediaModeToText, nullptr, TextToLineMediaMode, 1023, false, false},
    {"LineCallOrigin", nullptr, LineCallOriginToText, TextToLineCallOrigin, 255, false, false},
    {"LineParkMode", LineParkModeToText, nullptr, TextToLineParkMode, 255, false, true},
    {"LineProxyStatus", LineProxyStatusToText, nullptr, nullptr, 255, false, false},
    {"LineQueueStatus", LineQueueStatusToText, nullptr, nullptr, 255, false, false},
    {"LineCallReason", LineCallReasonToText, nullptr, nullptr, 255, false, false},
    {"LineProxyRequest", LineProxyRequestToText, nullptr, nullptr, 1023, true, false},
    {"LineRemoveFromConf", LineRemoveFromConfToText, nullptr, nullptr, 255, true, false},
    {"LineRequestMode", LineRequestModeToText, nullptr, nullptr, 255, false, false},
    {"LineRoamMode", LineRoamModeToText, nullptr, nullptr, 255, false, false},
    {"LineTermDev", LineTermDevToText, nullptr, nullptr, 255, false, false},
    {"LineTermMode", LineTermModeToText, nullptr, TextToLineTermMode, 255, false, false},
    {"LineTermSharing", LineTermSharingToText, nullptr, nullptr, 255, false, false},
    {"LineToneMode", LineToneModeToText, nullptr, TextToLineToneMode, 255, false, false},
    {"LineTransferMode", LineTransferModeToText, nullptr, TextToLineTransferMode, 255, false, true},
    {"StringFormat", StringFormatToText, nullptr, nullptr, 255, true, false},
    {"PhoneButtonFunction", PhoneButtonFunctionToText, nullptr, TextToPhoneButtonFunction, 1023, true, false},
    {"PhoneButtonMode", PhoneButtonModeToText, nullptr, TextToPhoneButtonMode, 511, false, false},
    {"PhoneButtonState", PhoneButtonStateToText, nullptr, TextToPhoneButtonState, 511, false, false},
    {"PhoneFeature", PhoneFeatureToText, nullptr, nullptr, 511, false, false},
    {"PhoneHookSwitchDev", PhoneHookSwitchDevToText, nullptr, TextToPhoneHookSwitchDev, 255, false, false},
    {"PhoneHookSwitchMode", PhoneHookSwitchModeToText, nullptr, TextToPhoneHookSwitchMode, 255, false, true},
    {"PhoneLampMode", PhoneLampModeToText, nullptr, TextToPhoneLampMode, 255, false, true},
    {"PhonePrivilege", PhonePrivilegeToText, nullptr, TextToPhonePrivilege, 255, false, false},
    {"PhoneState", PhoneStateToText, nullptr, TextToPhoneState, 255, false, false},
    {"PhoneStatusFlags", PhoneStatusFlagsToText, nullptr, nullptr, 255, false, false},
};

// Names the text-to-value partner leaves out on purpose.
bool LeftOutOfReading(const Family& family, const std::wstring& name)
{
    return (std::string(family.name) == "LineBearerMode" && name == L"PASSTHROUGH") ||
           (std::string(family.name) == "PhoneButtonFunction" && name == L"DROP");
}

// The names between "(" and ")" of a verbose text.
std::vector<std::wstring> NamesOf(const std::wstring& text)
{
    std::vector<std::wstring> names;
    size_t open = text.find(L'(');
    size_t close = text.rfind(L')');
    if (open == std::wstring::npos || close == std::wstring::npos || close < open)
        return names;
    std::wstring inner = text.substr(open + 1, close - open - 1);
    size_t start = 0;
    while (start < inner.size()) {
        size_t blank = inner.find(L' ', start);
        if (blank == std::wstring::npos)
            blank = inner.size();
        if (blank > start)
            names.push_back(inner.substr(start, blank - start));
        start = blank + 1;
    }
    return names;
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& ch : text)
        ch = static_cast<wchar_t>(towlower(ch));
    return text;
}

std::wstring Hex(DWORD value)
{
    wchar_t prefix[16];
    _snwprintf(prefix, 16, L"0x%08X", value);
    prefix[15] = L'\0';
    return prefix;
}

// The values one family can show: its single bits, or for an enumeration the small numbers.
std::vector<DWORD> CandidateValues(const Family& family)
{
    std::vector<DWORD> values;
    if (family.enumeration) {
        for (DWORD v = 0; v < 64; ++v)
            values.push_back(v);
    } else {
        for (int bit = 0; bit < 32; ++bit)
            values.push_back(1ul << bit);
    }
    return values;
}

}  // namespace

class EveryFamily : public ::testing::TestWithParam<Family> {};

TEST_P(EveryFamily, EachConstantGoesToItsTextAndBack)
{
    const Family& family = GetParam();
    int named = 0;
    for (DWORD value : CandidateValues(family)) {
        std::wstring text = family.Text(value);
        ASSERT_EQ(0u, text.find(Hex(value))) << family.name << " " << value;
        std::vector<std::wstring> names = NamesOf(text);
        ASSERT_FALSE(names.empty()) << family.name;
        if (names.size() == 1 && names[0] == L"None")
            continue;
        ASSERT_EQ(1u, names.size()) << family.name << ": one constant per value, got " << std::string(text.begin(), text.end());
        ++named;
        if (!family.fromText || LeftOutOfReading(family, names[0]))
            continue;
        EXPECT_EQ(value, family.fromText(names[0].c_str())) << family.name << " " << std::string(names[0].begin(), names[0].end());
        EXPECT_EQ(value, family.fromText(Lower(names[0]).c_str())) << family.name << ": names are read in any case";
    }
    EXPECT_GT(named, 1) << family.name;
}

TEST_P(EveryFamily, UnknownValueAndCombinedFlags)
{
    const Family& family = GetParam();
    if (family.enumeration) {
        EXPECT_EQ(L"0xFFFFFFFF (None)", family.Text(0xFFFFFFFF)) << family.name;
        return;
    }
    EXPECT_EQ(std::string(family.name) == "LineCallInfoState" ? L"0x00000000 0 (None)" : L"0x00000000 (None)",
              family.Text(0)) << family.name;
    // All bits together name every constant once, in the family's order, inside the buffer.
    std::wstring all = family.Text(0xFFFFFFFF);
    ASSERT_LE(all.size(), family.capacity - 1) << family.name;
    std::vector<std::wstring> single;
    DWORD known = 0;
    for (DWORD value : CandidateValues(family)) {
        std::vector<std::wstring> names = NamesOf(family.Text(value));
        if (names.size() == 1 && names[0] != L"None") {
            known |= value;
            single.push_back(names[0]);
        }
    }
    std::wstring fromKnown = family.Text(known);
    EXPECT_EQ(all.substr(all.find(L'(')), fromKnown.substr(fromKnown.find(L'('))) << family.name << ": other bits name nothing";
    if (all.back() != L')') {
        EXPECT_EQ(family.capacity - 1, all.size()) << family.name << ": only a cut text lacks its end";
        return;
    }
    std::vector<std::wstring> listed = NamesOf(all);
    EXPECT_EQ(single.size(), listed.size()) << family.name;
    for (const std::wstring& name : single)
        EXPECT_EQ(1, std::count(listed.begin(), listed.end(), name)) << family.name;
}

TEST_P(EveryFamily, ShortFormJoinsTheNames)
{
    const Family& family = GetParam();
    if (!family.toTextVerbose)
        return;
    EXPECT_STREQ(L"", family.toTextVerbose(0, FALSE)) << family.name;
    for (DWORD value : CandidateValues(family)) {
        for (DWORD second : {0ul, value << 1, value << 3}) {
            DWORD combined = value | second;
            std::vector<std::wstring> names = NamesOf(family.toTextVerbose(combined, TRUE));
            std::wstring joined;
            for (const std::wstring& name : names) {
                if (name == L"None")
                    continue;
                joined += (joined.empty() ? L"" : L"|") + name;
            }
            std::wstring shortText = family.toTextVerbose(combined, FALSE);
            EXPECT_EQ(joined, shortText) << family.name;
            if (!joined.empty() && joined.size() <= 62 && (!family.firstMatch || second == 0)) {
                // The short form reads back to exactly the named bits.
                DWORD named = 0;
                for (DWORD v : CandidateValues(family)) {
                    if ((combined & v) && NamesOf(family.toTextVerbose(v, TRUE))[0] != L"None")
                        named |= v;
                }
                EXPECT_EQ(named, family.fromText(shortText.c_str()))
                    << family.name << " " << std::string(shortText.begin(), shortText.end());
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, EveryFamily, ::testing::ValuesIn(kFamilies),
                         [](const ::testing::TestParamInfo<Family>& info) { return std::string(info.param.name); });

struct TextCase {
    const wchar_t* (*toText)(DWORD);
    DWORD value;
    const wchar_t* expected;
};

class ValueToText : public ::testing::TestWithParam<TextCase> {};

TEST_P(ValueToText, Table)
{
    EXPECT_STREQ(GetParam().expected, GetParam().toText(GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(Table, ValueToText, ::testing::Values(
    TextCase{PhoneButtonFunctionToText, 0, L"0x00000000 (UNKNOWN )"},
    TextCase{PhoneButtonFunctionToText, PHONEBUTTONFUNCTION_HOLD, L"0x00000004 (HOLD )"},
    TextCase{LineProxyRequestToText, 3, L"0x00000003 (SETAGENTACTIVITY )"},
    TextCase{LineDevCapFlagsToText, 0x21, L"0x00000021 (CLOSEDROP CROSSADDRCONF )"},
    TextCase{PhoneHookSwitchDevToText, 4, L"0x00000004 (HEADSET )"},
    TextCase{LineCallTreatmentToText, 3, L"0x00000003 (BUSY)"},
    TextCase{StringFormatToText, 3, L"0x00000003 (UNICODE)"},
    TextCase{LineRemoveFromConfToText, 5, L"0x00000005 (None)"},
    // tapi.h's values decide the order of the text, not the bit order
    TextCase{LineMediaModeToText, LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_VIDEO,
             L"0x0000800A (AUTOMATEDVOICE VIDEO UNKNOWN )"},
    TextCase{LineAddressSharingToText, LINEADDRESSSHARING_MONITORED | LINEADDRESSSHARING_PRIVATE,
             L"0x00000011 (PRIVATE MONITORED )"}));

TEST(ValueToTextForms, VerboseAndShort)
{
    EXPECT_STREQ(L"0x00000104 (ACCEPTED CONNECTED )", LineCallStateToText(0x104, TRUE));
    EXPECT_STREQ(L"ACCEPTED|CONNECTED", LineCallStateToText(0x104, FALSE));
    EXPECT_STREQ(L"0x00000000 (None)", LineCallStateToText(0, TRUE));
    EXPECT_STREQ(L"", LineCallStateToText(0, FALSE));
    EXPECT_STREQ(L"0x00000104 260 (BEARERMODE ORIGIN )", LineCallInfoStateToText(0x104, TRUE));
    EXPECT_STREQ(L"BEARERMODE|ORIGIN", LineCallInfoStateToText(0x104, FALSE));
    EXPECT_STREQ(L"0x00000005 (STATION UNKNOWN )", DeviceKindToText(5, TRUE));
    EXPECT_STREQ(L"TRUNK|UNAVAIL", DeviceKindToText(10, FALSE));
}

TEST(ValueToTextForms, LongListIsCutAtTheCapacity)
{
    // Every phone state together is longer than the member's 255 characters.
    const wchar_t* all = PhoneStateToText(0xFFFFFFFF);
    EXPECT_EQ(254u, wcslen(all));
    EXPECT_EQ(0, wcsncmp(all, L"0xFFFFFFFF (CAPSCHANGE CONNECTED DEVSPECIFIC ", 45));
}

TEST(ValueToTextForms, BuffersArePerMemberAndPerThread)
{
    const wchar_t* state = LineCallStateToText(LINECALLSTATE_IDLE, TRUE);
    const wchar_t* mode = LineMediaModeToText(LINEMEDIAMODE_TDD);
    EXPECT_STREQ(L"0x00000001 (IDLE )", state);
    EXPECT_STREQ(L"0x00000040 (TDD )", mode);
    std::thread other([] { LineCallStateToText(LINECALLSTATE_BUSY, TRUE); });
    other.join();
    EXPECT_STREQ(L"0x00000001 (IDLE )", state);
}

struct ReadCase {
    DWORD (*fromText)(const wchar_t*);
    const wchar_t* text;
    DWORD expected;
};

class TextToValue : public ::testing::TestWithParam<ReadCase> {};

TEST_P(TextToValue, Table)
{
    EXPECT_EQ(GetParam().expected, GetParam().fromText(GetParam().text))
        << std::string(GetParam().text, GetParam().text + wcslen(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(CallStateRules, TextToValue, ::testing::Values(
    ReadCase{TextToLineCallState, L"connected|onhold", 0x500},
    ReadCase{TextToLineCallState, L"DISCONNECTED", 0x4000},
    ReadCase{TextToLineCallState, L"ONHOLDPENDCONF", 0x1000},
    ReadCase{TextToLineCallState, L"onhold", LINECALLSTATE_ONHOLD},
    ReadCase{TextToLineCallState, L"IDLE|ONHOLD", LINECALLSTATE_IDLE | LINECALLSTATE_ONHOLD},
    ReadCase{TextToLineCallState, L"ONHOLD|ONHOLDPENDTRANSFER", 0x2400},
    ReadCase{TextToLineCallState, L"BUSY CONNECTED", LINECALLSTATE_BUSY},      // CONNECTED wants '|' or the start
    ReadCase{TextToLineCallState, L"ACCEPTED ONHOLD", LINECALLSTATE_ACCEPTED}, // ONHOLD wants '|' or the whole text
    ReadCase{TextToLineDevState, L"CONNECTED", LINEDEVSTATE_CONNECTED},
    ReadCase{TextToLineDevState, L"DISCONNECTED", LINEDEVSTATE_DISCONNECTED},
    ReadCase{TextToLineDevState, L"OPEN|CONNECTED", LINEDEVSTATE_OPEN | LINEDEVSTATE_CONNECTED},
    ReadCase{TextToLineMediaMode, L"VIDEO", LINEMEDIAMODE_VIDEO},
    ReadCase{TextToLineMediaMode, L"TDD|VIDEO", LINEMEDIAMODE_TDD | LINEMEDIAMODE_VIDEO},
    ReadCase{TextToLineMediaMode, L"TDD VIDEO", LINEMEDIAMODE_TDD}));

// A name that is only part of a longer name of the same set does not count.
INSTANTIATE_TEST_SUITE_P(NamesInsideLongerNames, TextToValue, ::testing::Values(
    ReadCase{TextToLineMediaMode, L"VIDEOTEX", LINEMEDIAMODE_VIDEOTEX},
    ReadCase{TextToLineMediaMode, L"TDD|VIDEOTEX", LINEMEDIAMODE_TDD | LINEMEDIAMODE_VIDEOTEX},
    ReadCase{TextToLineMediaMode, L"VIDEOTEX|VIDEO", LINEMEDIAMODE_VIDEOTEX | LINEMEDIAMODE_VIDEO},
    ReadCase{TextToLineAgentState, L"NOTREADY", LINEAGENTSTATE_NOTREADY},
    ReadCase{TextToLineAgentState, L"NOTREADY|READY", LINEAGENTSTATE_NOTREADY | LINEAGENTSTATE_READY},
    ReadCase{TextToLineCallInfoState, L"RELATEDCALLID", LINECALLINFOSTATE_RELATEDCALLID},
    ReadCase{TextToLineBearerMode, L"ALTSPEECHDATA", LINEBEARERMODE_ALTSPEECHDATA},
    ReadCase{TextToPhoneState, L"DISCONNECTED", PHONESTATE_DISCONNECTED},
    ReadCase{TextToPhoneState, L"CONNECTED DISCONNECTED", PHONESTATE_CONNECTED | PHONESTATE_DISCONNECTED}));

INSTANTIATE_TEST_SUITE_P(FirstMatch, TextToValue, ::testing::Values(
    ReadCase{TextToLineConnectedMode, L"INACTIVE", 2},
    ReadCase{TextToLineConnectedMode, L"inactiveheld", LINECONNECTEDMODE_INACTIVEHELD},
    ReadCase{TextToLineConnectedMode, L"ACTIVE CONFIRMED", LINECONNECTEDMODE_ACTIVE},
    ReadCase{TextToLineTransferMode, L"CONFERENCE TRANSFER", LINETRANSFERMODE_TRANSFER},
    ReadCase{TextToLineDialToneMode, L"NORMAL|EXTERNAL", LINEDIALTONEMODE_EXTERNAL},  // listed first wins
    ReadCase{TextToLineForwardMode, L"UNCONDINTERNAL", LINEFORWARDMODE_UNCONDINTERNAL},
    ReadCase{TextToLineForwardMode, L"BUSYNA", LINEFORWARDMODE_BUSYNA},
    ReadCase{TextToLineDigitMode, L"DTMFEND", LINEDIGITMODE_DTMFEND},
    ReadCase{TextToPhoneLampMode, L"BROKENFLUTTER", PHONELAMPMODE_BROKENFLUTTER},
    ReadCase{TextToPhoneHookSwitchMode, L"MICSPEAKER", PHONEHOOKSWITCHMODE_MICSPEAKER},
    ReadCase{TextToLineMessage, L"AGENTSTATUSEX", LINE_AGENTSTATUSEX},
    ReadCase{TextToLineMessage, L"LINE_DEVSPECIFICFEATURE", LINE_DEVSPECIFICFEATURE},
    ReadCase{TextToLineMessage, L"ADDRESSSTATE", 0},        // LINE_ADDRESSSTATE is 0 ...
    ReadCase{TextToLineMessage, L"ADDRESSSTATE 7", 0},      // ... and the number must lead
    ReadCase{TextToLineMessage, L"12", LINE_REPLY},
    ReadCase{TextToPhoneMessage, L"PHONE_STATE", PHONE_STATE},
    ReadCase{TextToPhoneMessage, L"remove", PHONE_REMOVE},
    ReadCase{TextToLineCallSelect, L"DEVICEID", LINECALLSELECT_DEVICEID},
    ReadCase{TextToLineCallSelect, L"CALL|LINE", LINECALLSELECT_CALL},
    ReadCase{TextToQosServiceType, L"NETWORK_CONTROL", 10},
    ReadCase{TextToQosServiceType, L"qualitative", 13},
    ReadCase{TextToQosServiceType, L"NOTRAFFIC", 0},
    ReadCase{TextToDeviceKind, L"TRUNK", 2},
    ReadCase{TextToLineCallComplMode, L"campon", LINECALLCOMPLMODE_CAMPON}));

INSTANTIATE_TEST_SUITE_P(AllMatches, TextToValue, ::testing::Values(
    ReadCase{TextToLineCallTreatment, L"BUSY", 3},
    ReadCase{TextToLineCallTreatment, L"MUSIC|SILENCE", LINECALLTREATMENT_MUSIC | LINECALLTREATMENT_SILENCE},
    ReadCase{TextToLineCallPrivilege, L"OWNER|PROXY", LINECALLPRIVILEGE_OWNER | LINEOPENOPTION_PROXY},
    ReadCase{TextToLineCallPrivilege, L"SINGLEADDRESS", LINEOPENOPTION_SINGLEADDRESS},
    ReadCase{TextToLineBearerMode, L"PASSTHROUGH", 0},
    ReadCase{TextToLineMediaControl, L"PAUSE|VOLUMEUP", LINEMEDIACONTROL_PAUSE | LINEMEDIACONTROL_VOLUMEUP},
    ReadCase{TextToPhoneButtonState, L"up down", PHONEBUTTONSTATE_UP | PHONEBUTTONSTATE_DOWN},
    ReadCase{TextToLineAddressState, L"0x00000010 (FORWARD OTHER)", LINEADDRESSSTATE_FORWARD | LINEADDRESSSTATE_OTHER}));

INSTANTIATE_TEST_SUITE_P(WholeText, TextToValue, ::testing::Values(
    ReadCase{TextToPhoneButtonFunction, L"hold", 4},
    ReadCase{TextToPhoneButtonFunction, L"HOLD MUTE", 0},
    ReadCase{TextToPhoneButtonFunction, L"DROP", 0},
    ReadCase{TextToPhoneButtonFunction, L"UNKNOWN", 0},  // its value is 0: nothing told apart
    ReadCase{TextToPhoneButtonFunction, L"0x1B", 0x1B}));

INSTANTIATE_TEST_SUITE_P(NumericFallback, TextToValue, ::testing::Values(
    ReadCase{TextToLineMediaMode, L"0x00008000", 0x8000},
    ReadCase{TextToLineMediaMode, L"0x8000zz", 0x8000},
    ReadCase{TextToLineMediaMode, L"0X1F", 0x1F},
    ReadCase{TextToLineMediaMode, L"0x", 0},
    ReadCase{TextToLineMediaMode, L"123", 123},
    ReadCase{TextToLineMediaMode, L"123abc", 123},
    ReadCase{TextToLineMediaMode, L" 123", 0},
    ReadCase{TextToLineMediaMode, L"-5", 0},
    ReadCase{TextToLineMediaMode, L"0x1FFFFFFFF", 0xFFFFFFFF},
    ReadCase{TextToLineMediaMode, L"99999999999", 0xFFFFFFFF},
    ReadCase{TextToLineMediaMode, L"", 0},
    ReadCase{TextToLineMediaMode, nullptr, 0},
    ReadCase{TextToLineCallState, L"nothing at all", 0}));

TEST(TextToValueLimits, OnlyTheFirst62CharactersAreRead)
{
    std::wstring text(62, L'x');
    EXPECT_EQ(0u, TextToLineMediaMode((text + L"TDD|FAX").c_str()));
    text.resize(59);
    EXPECT_EQ(static_cast<DWORD>(LINEMEDIAMODE_TDD), TextToLineMediaMode((text + L"TDD" + std::wstring(8, L'y')).c_str()));
    text.resize(60);
    EXPECT_EQ(0u, TextToLineMediaMode((text + L"TDD" + std::wstring(7, L'y')).c_str())) << "cut inside the name";
}

TEST(TextToValueLimits, TextAtTheEndOfReadableMemoryIsNotOverRead)
{
    testing_support::GuardedBuffer guard(4096);
    EXPECT_EQ(static_cast<DWORD>(LINECALLSTATE_CONNECTED), TextToLineCallState(guard.PlaceText(L"CONNECTED")));
    EXPECT_EQ(static_cast<DWORD>(LINECALLSTATE_ONHOLD), TextToLineCallState(guard.PlaceText(L"X|ONHOLD")));
    EXPECT_EQ(4u, TextToPhoneButtonFunction(guard.PlaceText(L"HOLD")));
    EXPECT_EQ(0x10u, TextToLineMessage(guard.PlaceText(L"0x10")));
    EXPECT_EQ(0u, TextToLineMessage(guard.PlaceText(L"0")));
}

TEST(ConstantNameHelpers, JoinConstantNames)
{
    struct { const wchar_t* in; const wchar_t* out; } cases[] = {
        {L"ACCEPTED CONNECTED ", L"ACCEPTED|CONNECTED"}, {L"IDLE ", L"IDLE"}, {L"", L""}, {L"A", L""},
        {L"A  B ", L"A||B"},
    };
    for (const auto& c : cases) {
        wchar_t text[32];
        wcscpy(text, c.in);
        JoinConstantNames(text);
        EXPECT_STREQ(c.out, text);
    }
    JoinConstantNames(nullptr);
}

TEST(ConstantNameHelpers, ParseConstantNumberKeepsAFoundValue)
{
    DWORD result = 5;
    ParseConstantNumber(&result, L"0X10");
    EXPECT_EQ(5u, result);
    result = 0;
    ParseConstantNumber(&result, L"0X10");
    EXPECT_EQ(16u, result);
    result = 0;
    ParseConstantNumber(&result, L"0x10");  // the copy is upper case by then; "0x" is no prefix
    EXPECT_EQ(0u, result);
    ParseConstantNumber(nullptr, L"1");
}
