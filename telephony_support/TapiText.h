// Telephony (TAPI 2.x) constants as readable text and back.
//
// Value to text: a DWORD of one constant set becomes "0x00000104 (ACCEPTED CONNECTED )" or, for
// the members that take a verbose switch, the short form "ACCEPTED|CONNECTED". Each member returns
// its own per-thread buffer, valid until the member's next call on the same thread.
// Text to value: names (upper case, without the set prefix) found in the text give the value;
// a text naming nothing is read as a number ("0x..." hexadecimal or leading decimal digits).
// 0 means nothing was recognised.
#pragma once

#include <windows.h>

// Turns "A B " into "A|B" in place: drops the last character of a non-empty text, then every
// blank becomes '|'. Null is ignored.
void JoinConstantNames(wchar_t* text);
// The numeric fallback of the text-to-value members: only when *result is 0, reads "0X..." as
// hexadecimal or leading decimal digits (the text is expected upper case); anything else leaves 0.
// Values beyond 32 bits saturate at 0xFFFFFFFF.
void ParseConstantNumber(DWORD* result, const wchar_t* text);

const wchar_t* LineAddrCapFlagsToText(DWORD value);
const wchar_t* LineAddrFeatureToText(DWORD value);
const wchar_t* LineAddressModeToText(DWORD value);
const wchar_t* LineAddressSharingToText(DWORD value);
const wchar_t* LineAddressStateToText(DWORD value, BOOL verbose);
DWORD TextToLineAddressState(const wchar_t* text);
const wchar_t* LineAgentFeatureToText(DWORD value);
const wchar_t* LineAgentSessionStateToText(DWORD value);
const wchar_t* LineAgentStateExToText(DWORD value);
const wchar_t* LineAgentStateToText(DWORD value);
DWORD TextToLineAgentState(const wchar_t* text);
const wchar_t* LineAgentStatusToText(DWORD value);
const wchar_t* LineAnswerModeToText(DWORD value);
const wchar_t* LineBearerModeToText(DWORD value);
DWORD TextToLineBearerMode(const wchar_t* text);
const wchar_t* LineCallComplCondToText(DWORD value);
const wchar_t* LineCallComplModeToText(DWORD value);
DWORD TextToLineCallComplMode(const wchar_t* text);
const wchar_t* LineCallFeatureToText(DWORD value);
const wchar_t* LineCallFeature2ToText(DWORD value);
const wchar_t* LineCallInfoStateToText(DWORD value, BOOL verbose);
DWORD TextToLineCallInfoState(const wchar_t* text);
const wchar_t* LineCallParamFlagsToText(DWORD value);
const wchar_t* LineCallPartyIdToText(DWORD value);
const wchar_t* LineCallPrivilegeToText(DWORD value);
DWORD TextToLineCallPrivilege(const wchar_t* text);
const wchar_t* DeviceKindToText(DWORD value, BOOL verbose);
DWORD TextToDeviceKind(const wchar_t* text);
const wchar_t* LineConnectedModeToText(DWORD value, BOOL verbose);
DWORD TextToLineConnectedMode(const wchar_t* text);
const wchar_t* LineDialToneModeToText(DWORD value, BOOL verbose);
DWORD TextToLineDialToneMode(const wchar_t* text);
const wchar_t* LineDisconnectModeToText(DWORD value, BOOL verbose);
DWORD TextToLineDisconnectMode(const wchar_t* text);
const wchar_t* LineOfferingModeToText(DWORD value, BOOL verbose);
DWORD TextToLineOfferingMode(const wchar_t* text);
const wchar_t* LineSpecialInfoToText(DWORD value, BOOL verbose);
DWORD TextToLineSpecialInfo(const wchar_t* text);
const wchar_t* LineCallStateToText(DWORD value, BOOL verbose);
DWORD TextToLineCallState(const wchar_t* text);
const wchar_t* LineCallTreatmentToText(DWORD value);
DWORD TextToLineCallTreatment(const wchar_t* text);
const wchar_t* LineDevCapFlagsToText(DWORD value);
const wchar_t* LineDevStateToText(DWORD value, BOOL verbose);
DWORD TextToLineDevState(const wchar_t* text);
const wchar_t* LineDevStatusFlagsToText(DWORD value);
DWORD TextToLineDevStatusFlags(const wchar_t* text);
const wchar_t* LineDigitModeToText(DWORD value);
DWORD TextToLineDigitMode(const wchar_t* text);
const wchar_t* LineFeatureToText(DWORD value);
const wchar_t* LineForwardModeToText(DWORD value);
DWORD TextToLineForwardMode(const wchar_t* text);
const wchar_t* LineGatherTermToText(DWORD value);
const wchar_t* LineGenerateTermToText(DWORD value);
const wchar_t* LineGroupStatusToText(DWORD value);
const wchar_t* LineMediaModeToText(DWORD value);
DWORD TextToLineMediaMode(const wchar_t* text);
const wchar_t* LineCallOriginToText(DWORD value, BOOL verbose);
DWORD TextToLineCallOrigin(const wchar_t* text);
const wchar_t* LineParkModeToText(DWORD value);
DWORD TextToLineParkMode(const wchar_t* text);
const wchar_t* LineProxyStatusToText(DWORD value);
const wchar_t* LineQueueStatusToText(DWORD value);
const wchar_t* LineCallReasonToText(DWORD value);
const wchar_t* LineProxyRequestToText(DWORD value);
const wchar_t* LineRemoveFromConfToText(DWORD value);
const wchar_t* LineRequestModeToText(DWORD value);
const wchar_t* LineRoamModeToText(DWORD value);
const wchar_t* LineTermDevToText(DWORD value);
const wchar_t* LineTermModeToText(DWORD value);
DWORD TextToLineTermMode(const wchar_t* text);
const wchar_t* LineTermSharingToText(DWORD value);
const wchar_t* LineToneModeToText(DWORD value);
DWORD TextToLineToneMode(const wchar_t* text);
const wchar_t* LineTransferModeToText(DWORD value);
DWORD TextToLineTransferMode(const wchar_t* text);
const wchar_t* StringFormatToText(DWORD value);
const wchar_t* PhoneButtonFunctionToText(DWORD value);
DWORD TextToPhoneButtonFunction(const wchar_t* text);
const wchar_t* PhoneButtonModeToText(DWORD value);
DWORD TextToPhoneButtonMode(const wchar_t* text);
const wchar_t* PhoneButtonStateToText(DWORD value);
DWORD TextToPhoneButtonState(const wchar_t* text);
const wchar_t* PhoneFeatureToText(DWORD value);
const wchar_t* PhoneHookSwitchDevToText(DWORD value);
DWORD TextToPhoneHookSwitchDev(const wchar_t* text);
const wchar_t* PhoneHookSwitchModeToText(DWORD value);
DWORD TextToPhoneHookSwitchMode(const wchar_t* text);
const wchar_t* PhoneLampModeToText(DWORD value);
DWORD TextToPhoneLampMode(const wchar_t* text);
const wchar_t* PhonePrivilegeToText(DWORD value);
DWORD TextToPhonePrivilege(const wchar_t* text);
const wchar_t* PhoneStateToText(DWORD value);
DWORD TextToPhoneState(const wchar_t* text);
const wchar_t* PhoneStatusFlagsToText(DWORD value);
DWORD TextToLineCallSelect(const wchar_t* text);
DWORD TextToLineMessage(const wchar_t* text);
DWORD TextToLineMediaControl(const wchar_t* text);
DWORD TextToQosServiceType(const wchar_t* text);
DWORD TextToPhoneMessage(const wchar_t* text);
DWORD TextToLineCallSelect(const wchar_t* text);
DWORD TextToLineMessage(const wchar_t* text);
DWORD TextToLineMediaControl(const wchar_t* text);
DWORD TextToQosServiceType(const wchar_t* text);
DWORD TextToPhoneMessage(const wchar_t* text);
