#include "bench/reliability/BusMessageCheck.h"

#include <cmath>
#include <climits>
#include <cwchar>
#include <memory>
#include <set>

#include "rapidjson/document.h"

#include "bus/BusTypes.h"
#include "foundation/TextUtils.h"
#include "plugin_support/CallStruct.h"

namespace reliability {

namespace {

typedef rapidjson::UTF16<wchar_t> Wide;
typedef rapidjson::GenericDocument<Wide> Document;
typedef rapidjson::GenericValue<Wide> Value;

struct EventRow {
    const wchar_t* msg;
    const wchar_t* stateEvent;
    const wchar_t* recordEvent;
};

// RCC call events and what becomes of them on the bus.
const EventRow kEvents[] = {
    {L"x-alert", L"Offering", L"OnReceived"},     {L"r-alert", L"Ringback", L"OnDelivered"},
    {L"x-conn", L"Connected", L"OnEstablished"},  {L"r-conn", L"Connected", L"OnEstablished"},
    {L"r-ct", L"Connected", L"OnEstablished"},    {L"del", L"Idle", L"OnConnectionCleared"},
};

// Deeper texts are refused as a whole by the plug-in's reader.
constexpr size_t kReaderDepth = 250;
// The peer object is read again from its text, which is cut at this length.
constexpr size_t kObjectTextChars = 16000;

size_t Depth(const Value& root)
{
    size_t deepest = 0;
    std::vector<std::pair<const Value*, size_t>> stack = {{&root, 1}};
    while (!stack.empty()) {
        auto [value, level] = stack.back();
        stack.pop_back();
        deepest = level > deepest ? level : deepest;
        if (value->IsObject())
            for (const auto& m : value->GetObject())
                stack.push_back({&m.value, level + 1});
        else if (value->IsArray())
            for (const auto& e : value->GetArray())
                stack.push_back({&e, level + 1});
    }
    return deepest;
}

// The member of that name, or null; *twice is set when the name occurs more than once.
const Value* Member(const Value& object, const wchar_t* name, bool* twice)
{
    const Value* found = nullptr;
    for (const auto& m : object.GetObject()) {
        if (std::wstring(m.name.GetString(), m.name.GetStringLength()) == name) {
            if (found)
                *twice = true;
            found = &m.value;
        }
    }
    return found;
}

std::wstring Text(const Value* value)
{
    return value && value->IsString() ? std::wstring(value->GetString(), value->GetStringLength()) : std::wstring();
}

// Rough length of an object written as compact JSON (escapes make it longer, never shorter).
size_t WrittenLength(const Value& value)
{
    size_t length = 0;
    std::vector<const Value*> stack = {&value};
    while (!stack.empty()) {
        const Value* v = stack.back();
        stack.pop_back();
        length += 8;
        if (v->IsString())
            length += v->GetStringLength();
        else if (v->IsObject())
            for (const auto& m : v->GetObject()) {
                length += m.name.GetStringLength() + 4;
                stack.push_back(&m.value);
            }
        else if (v->IsArray())
            for (const auto& e : v->GetArray())
                stack.push_back(&e);
    }
    return length;
}

// Splits a bus text into keyword/value pairs; false (with the reason) when it is not the
// exact shape every builder writes.
bool SplitMessage(const std::wstring& text, std::vector<std::pair<std::wstring, std::wstring>>* values,
                  std::wstring* why)
{
    const std::wstring header = L"<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<data>\r\n";
    const std::wstring open = L" <value keyword=\"", close = L"</value>\r\n", footer = L"</data>\r\n";
    if (text.compare(0, header.size(), header) != 0) {
        *why = L"no header";
        return false;
    }
    // A call record carries its (here always empty) list of search results among its values.
    const std::wstring results = L" <Results> </Results>";
    size_t at = header.size();
    for (;;) {
        if (text.compare(at, results.size(), results) == 0) {
            at += results.size();
            continue;
        }
        if (text.compare(at, open.size(), open) != 0)
            break;
        at += open.size();
        size_t quote = text.find(L"\">", at);
        if (quote == std::wstring::npos) {
            *why = L"keyword not closed";
            return false;
        }
        std::wstring keyword = text.substr(at, quote - at);
        if (keyword.find_first_of(L"<>&\"") != std::wstring::npos) {
            *why = L"keyword with markup";
            return false;
        }
        at = quote + 2;
        size_t end = text.find(L'<', at);
        if (end == std::wstring::npos || text.compare(end, close.size(), close) != 0) {
            *why = L"value of " + keyword + L" not closed by </value>";
            return false;
        }
        std::wstring value = text.substr(at, end - at);
        if (value.find(L'>') != std::wstring::npos) {
            *why = L"unescaped > in " + keyword;
            return false;
        }
        for (size_t amp = value.find(L'&'); amp != std::wstring::npos; amp = value.find(L'&', amp + 1)) {
            bool entity = false;
            for (const wchar_t* e : {L"&amp;", L"&lt;", L"&gt;", L"&quot;", L"&apos;"})
                entity = entity || value.compare(amp, wcslen(e), e) == 0;
            if (!entity) {
                *why = L"bare & in " + keyword;
                return false;
            }
        }
        values->push_back({keyword, value});
        at = end + close.size();
    }
    if (text.compare(at, std::wstring::npos, footer) != 0) {
        *why = L"no footer where one belongs";
        return false;
    }
    return true;
}

}  // namespace

Expectation Expect(const std::wstring& input)
{
    Expectation e;
    Document document;
    document.Parse<rapidjson::kParseIterativeFlag>(input.c_str());
    if (document.HasParseError() || Depth(document) > kReaderDepth)
        return e;
    e.known = true;
    if (!document.IsObject())
        return e;
    bool twice = false;
    const Value* mt = Member(document, L"mt", &twice);
    const Value* msg = Member(document, L"msg", &twice);
    const Value* call = Member(document, L"call", &twice);
    const Value* peer = Member(document, L"peer", &twice);
    const Value* e164 = peer && peer->IsObject() ? Member(*peer, L"e164", &twice) : nullptr;
    // Which of two equal names a reader keeps is its own choice.
    if (twice) {
        e.known = false;
        return e;
    }
    std::wstring type = Text(mt), event = Text(msg);
    // The plug-in reads at most 255 and 31 characters of these.
    if (type.size() > 255 || event.size() > 31 || type.find(L'\0') != std::wstring::npos ||
        event.find(L'\0') != std::wstring::npos) {
        e.known = false;
        return e;
    }
    if (type != L"CallInfo")
        return e;
    for (const EventRow& row : kEvents)
        if (event == row.msg) {
            e.callEvent = true;
            e.stateEvent = row.stateEvent;
            e.recordEvent = row.recordEvent;
        }
    if (!e.callEvent)
        return e;
    std::wstring number = Text(e164);
    number = number.substr(0, number.find(L'\0')).substr(0, 31);
    if (!number.empty() && number[0] == L'0')
        number.erase(0, 1);
    e.number = number;
    e.numberMayBeEmpty = peer && peer->IsObject() && WrittenLength(*peer) >= kObjectTextChars / 2;
    if (!call || !call->IsNumber()) {
        e.callIdKnown = true;
        e.callId = 0;
    } else {
        double d = std::trunc(call->GetDouble());
        // Numbers with many digits may round differently in two readers; only clear ones count.
        if (call->IsInt() || call->IsInt64() || std::fabs(d) > 1e10) {
            e.callIdKnown = true;
            e.callId = d >= (double)INT_MAX ? INT_MAX : d <= (double)INT_MIN ? INT_MIN : (int)d;
        }
    }
    return e;
}

std::wstring Check(const std::vector<testing_support::CapturedMessage>& messages, const Expectation& e)
{
    // Log lines, call states and records, the plug-in's state, and the tray menu's device
    // entries that a device list rebuilds.
    static const std::set<UINT> kAllowed = {
        QOR_BUSMSG_LOG,        QOR_BUSMSG_LASTERROR,  QOR_BUSMSG_CALLSTATE,  QOR_BUSMSG_CALLEVENT,
        QOR_BUSMSG_ENABLED,    QOR_BUSMSG_STATE,      QOR_BUSMSG_MENUAPPEND, QOR_BUSMSG_MENUDELETE,
        QOR_BUSMSG_MENUENABLE, QOR_BUSMSG_MENUSHOW,   QOR_BUSMSG_MENUTEXT,   QOR_BUSMSG_MENUCHECK};
    size_t states = 0, records = 0;
    for (const auto& m : messages) {
        std::wstring where = L"type " + std::to_wstring(m.type) + L": ";
        if (m.message != WM_QOR_BUSMESSAGE || !kAllowed.count(m.type))
            return where + L"a message the dispatcher never sends";
        std::vector<std::pair<std::wstring, std::wstring>> values;
        std::wstring why;
        if (!SplitMessage(m.text, &values, &why))
            return where + why;
        std::set<std::wstring> seen;
        for (const auto& v : values)
            if (!seen.insert(v.first).second)
                return where + L"keyword " + v.first + L" twice";
        if (values.size() < 2 || values.front().first != L"Type" || values.back().first != L"Sender")
            return where + L"Type not first or Sender not last";
        if (values.front().second != std::to_wstring(m.type))
            return where + L"Type value " + values.front().second + L" differs from the message type";
        const wchar_t* text = m.text.c_str();
        if (m.type == QOR_BUSMSG_CALLSTATE) {
            ++states;
            if (!e.known)
                continue;
            if (!e.callEvent)
                return where + L"a call-state message for a text that is no call event";
            std::wstring event = GetValueByKeyword(text, L"Event");
            if (event != e.stateEvent)
                return where + L"Event " + event + L", the PBX's event gives " + e.stateEvent;
            std::wstring number = GetValueByKeyword(text, L"CallerID");
            if (number != e.number && !(e.numberMayBeEmpty && number.empty()))
                return where + L"CallerID '" + number + L"', the PBX sent '" + e.number + L"'";
            std::wstring id = GetValueByKeyword(text, L"CallID");
            if (e.callIdKnown && id != std::to_wstring(e.callId))
                return where + L"CallID " + id + L", the PBX sent " + std::to_wstring(e.callId);
        } else if (m.type == QOR_BUSMSG_CALLEVENT) {
            ++records;
            if (!e.known)
                continue;
            if (!e.callEvent)
                return where + L"a call record for a text that is no call event";
            auto record = std::make_unique<CQorCallStruct>(text);
            if (std::wstring(record->Event) != e.recordEvent)
                return where + L"record Event " + record->Event + L", the PBX's event gives " + e.recordEvent;
            // The record's number field keeps 30 characters.
            std::wstring number = record->PartnerNumber;
            if (number != e.number.substr(0, 30) && !(e.numberMayBeEmpty && number.empty()))
                return where + L"record number '" + number + L"', the PBX sent '" + e.number + L"'";
            if (e.callIdKnown && record->CallID != static_cast<DWORD>(e.callId))
                return where + L"record CallID " + std::to_wstring(record->CallID) + L", the PBX sent " +
                       std::to_wstring(e.callId);
        }
    }
    if (e.known && e.callEvent && states != 1)
        return std::to_wstring(states) + L" call-state messages for one call event";
    if (records > 1 || (states == 0 && records > 0))
        return std::to_wstring(records) + L" call records for one text";
    return L"";
}

}  // namespace reliability
