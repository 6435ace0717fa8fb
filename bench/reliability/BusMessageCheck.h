// What the dispatcher may put on the bus for one PBX text, worked out independently of the
// plug-in's own reader (RapidJSON reads the text), and the check of what it did put there:
// every message well-formed with each keyword once, Type first and Sender last, text values
// escaped, only the types the dispatcher sends, and for a call event the values the PBX sent.
#pragma once

#include <string>
#include <vector>

#include "tests/hosts/RecordingWindow.h"

namespace reliability {

struct Expectation {
    // The text is valid JSON as an independent reader sees it (and shallow enough for the
    // plug-in's reader): what it must and must not send is known.
    bool known = false;
    // A CallInfo message whose msg is a call event: one call-state message, at most one record.
    bool callEvent = false;
    const wchar_t* stateEvent = L"";
    const wchar_t* recordEvent = L"";
    std::wstring number;         // the caller's number as it must arrive
    bool numberMayBeEmpty = false;  // the peer object is too long to be read again
    bool callIdKnown = false;
    int callId = 0;
};

Expectation Expect(const std::wstring& input);

// An empty text when the messages are what the input allows, else what is wrong.
std::wstring Check(const std::vector<testing_support::CapturedMessage>& messages, const Expectation& expected);

}  // namespace reliability
