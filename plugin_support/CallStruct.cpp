#include "plugin_support/CallStruct.h"

#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "foundation/Format.h"
#include "foundation/TextEncoding.h"
#include "foundation/TextUtils.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

// The texts sent by SendToHost and SendEvent (per thread: the telephony plug-in sends from
// its receive threads and from the GUI thread).
thread_local wchar_t t_sendBuffer[kCallXmlCapacity + 1];
thread_local wchar_t t_eventBuffer[kCallXmlCapacity + 1];

// An escaped result text is at most five times its field.
thread_local wchar_t t_escaped[1024 * 5 + 1];

const wchar_t kResultsClose[] = L" </Results>";

// Copies into a field keeping one character more free than the bounded copy needs, as every
// sender of this record does (a 32-character field holds at most 30).
template <size_t N>
void CopyField(wchar_t (&field)[N], const wchar_t* text)
{
    CopyText(field, N - 1, text);
}

// Signed decimal text (leading blanks, a sign) stored as 32 bits; no digits gives 0.
DWORD ReadNumber(const wchar_t* text)
{
    return static_cast<DWORD>(_wcstoi64(text, nullptr, 10));
}

void ReadTime(SYSTEMTIME* time, const wchar_t* text)
{
    HexToBytes(reinterpret_cast<BYTE*>(time), sizeof(*time), text);
}

void AppendNonZero(wchar_t* b, size_t cap, const wchar_t* keyword, DWORD value)
{
    if (value)
        BusMsgAppendUInt(b, cap, keyword, value);
}

void AppendNonEmpty(wchar_t* b, size_t cap, const wchar_t* keyword, const wchar_t* text)
{
    if (text[0])
        BusMsgAppendText(b, cap, keyword, text);
}

// A value line of a result record, indented by three blanks.
void AppendResultText(wchar_t* b, size_t cap, const wchar_t* keyword, const wchar_t* text)
{
    if (!text[0])
        return;
    EscapeBusValue(t_escaped, _countof(t_escaped), text);
    BusMsgAppend(b, cap, L"   <value keyword=\"%s\">%s</value>\r\n", keyword, t_escaped);
}

DWORD ClampResultCount(DWORD count)
{
    return count > kCallResultCount ? kCallResultCount : count;
}

}  // namespace

CQorCallStruct::CQorCallStruct()
{
    Reset();
}

CQorCallStruct::CQorCallStruct(const wchar_t* xml)
{
    FromXml(xml);
}

CQorCallStruct::CQorCallStruct(const CQorCallStruct& other) : tag_call_struct_normal(other)
{
}

CQorCallStruct& CQorCallStruct::operator=(const CQorCallStruct& other)
{
    tag_call_struct_normal::operator=(other);
    return *this;
}

CQorCallStruct::~CQorCallStruct() = default;

void CQorCallStruct::Reset()
{
    memset(static_cast<tag_call_struct_normal*>(this), 0, sizeof(tag_call_struct_normal));
}

void CQorCallStruct::ToXml(wchar_t* out) const
{
    if (!out)
        return;
    // Built straight into the caller's buffer: no scratch block that could fail to allocate
    // and leave the caller with the previous record.
    wchar_t* b = out;
    const size_t cap = kCallXmlCapacity;
    BusMsgBegin(b, cap);
    BusMsgAppendUInt(b, cap, L"Type", Type);
    AppendNonZero(b, cap, L"Inbound", Inbound);
    AppendNonZero(b, cap, L"IsConf", IsConf);
    AppendNonZero(b, cap, L"LineID", LineID);
    AppendNonZero(b, cap, L"CallID", CallID);
    AppendNonZero(b, cap, L"Call", Call);
    AppendNonZero(b, cap, L"OpenContactID", OpenContactID);
    if (TimeStart.wYear) {
        const struct { const wchar_t* keyword; const SYSTEMTIME* time; } times[] = {
            {L"TimeStart", &TimeStart}, {L"TimeConnected", &TimeConnected},
            {L"TimeDisconnected", &TimeDisconnected}, {L"TimeIdle", &TimeIdle},
        };
        for (const auto& t : times)
            BusMsgAppend(b, cap, L" <value keyword=\"%s\">%s</value>\r\n", t.keyword,
                         BytesToHex(reinterpret_cast<const BYTE*>(t.time), sizeof(SYSTEMTIME)));
    }
    AppendNonEmpty(b, cap, L"OwnExtension", OwnExtension);
    AppendNonEmpty(b, cap, L"PartnerNumber", PartnerNumber);
    AppendNonEmpty(b, cap, L"CalledMSN", CalledMSN);
    AppendNonEmpty(b, cap, L"RedirectingID", RedirectingID);
    AppendNonEmpty(b, cap, L"Event", Event);
    AppendNonEmpty(b, cap, L"Value", Value);
    AppendNonEmpty(b, cap, L"UniqueCallID", UniqueCallID);
    BusMsgAppendUInt(b, cap, L"NumberOfResults", NumberOfResults);
    BusMsgAppend(b, cap, L" <Results>");
    // The records leave room for the closing " </Results>", so a cut message stays whole.
    const size_t recordCap = cap - (_countof(kResultsClose) - 1);
    for (DWORD i = 0; i < ClampResultCount(NumberOfResults); ++i) {
        const QorResultRecord& r = Results[i];
        BusMsgAppend(b, recordCap, L"  <ResultRecord>");
        // An empty record is written without values, so the later ones keep their index
        // (OpenContactID names a record by its index).
        if (!r.IdentInfo[0]) {
            BusMsgAppend(b, recordCap, L"  </ResultRecord>");
            continue;
        }
        if (r.OpenContact)
            BusMsgAppend(b, recordCap, L"   <value keyword=\"OpenContact\">%u</value>\r\n", r.OpenContact);
        AppendResultText(b, recordCap, L"IdentInfo", r.IdentInfo);
        AppendResultText(b, recordCap, L"SearchSource", r.SearchSource);
        AppendResultText(b, recordCap, L"CustomerID", r.CustomerID);
        AppendResultText(b, recordCap, L"Mail", r.Mail);
        AppendResultText(b, recordCap, L"URL", r.URL);
        BusMsgAppend(b, recordCap, L"  </ResultRecord>");
    }
    BusMsgAppend(b, cap, kResultsClose);
    BusMsgEnd(b, cap);
}

void CQorCallStruct::FromXml(const wchar_t* xml)
{
    Reset();
    if (!xml)
        return;
    Type = ReadNumber(GetValueByKeyword(xml, L"Type"));
    Inbound = ReadNumber(GetValueByKeyword(xml, L"Inbound"));
    IsConf = ReadNumber(GetValueByKeyword(xml, L"IsConf"));
    LineID = ReadNumber(GetValueByKeyword(xml, L"LineID"));
    CallID = ReadNumber(GetValueByKeyword(xml, L"CallID"));
    Call = ReadNumber(GetValueByKeyword(xml, L"Call"));
    OpenContactID = ReadNumber(GetValueByKeyword(xml, L"OpenContactID"));
    ReadTime(&TimeStart, GetValueByKeyword(xml, L"TimeStart"));
    ReadTime(&TimeConnected, GetValueByKeyword(xml, L"TimeConnected"));
    ReadTime(&TimeDisconnected, GetValueByKeyword(xml, L"TimeDisconnected"));
    ReadTime(&TimeIdle, GetValueByKeyword(xml, L"TimeIdle"));
    CopyField(OwnExtension, GetValueByKeyword(xml, L"OwnExtension"));
    CopyField(PartnerNumber, GetValueByKeyword(xml, L"PartnerNumber"));
    CopyField(CalledMSN, GetValueByKeyword(xml, L"CalledMSN"));
    CopyField(RedirectingID, GetValueByKeyword(xml, L"RedirectingID"));
    CopyField(Event, GetValueByKeyword(xml, L"Event"));
    CopyField(Value, GetValueByKeyword(xml, L"Value"));
    CopyField(UniqueCallID, GetValueByKeyword(xml, L"UniqueCallID"));
    // More than four records can never be held: a larger count reads as four.
    NumberOfResults = ClampResultCount(ReadNumber(GetValueByKeyword(xml, L"NumberOfResults")));

    static const wchar_t kOpen[] = L"<ResultRecord>";
    static const wchar_t kClose[] = L"</ResultRecord>";
    const wchar_t* at = wcsstr(xml, kOpen);
    for (DWORD i = 0; i < NumberOfResults && at; ++i) {
        // The record's own text, whole whatever its length, ending at its closing tag (or at
        // the next record when the tag is missing) so no value comes from a later record.
        const wchar_t* body = at + (_countof(kOpen) - 1);
        const wchar_t* end = wcsstr(body, kClose);
        const wchar_t* next = wcsstr(body, kOpen);
        if (!end || (next && next < end))
            end = next ? next : body + wcslen(body);
        std::wstring record(at, end);
        QorResultRecord& r = Results[i];
        r.OpenContact = ReadNumber(GetValueByKeyword(record.c_str(), L"OpenContact"));
        CopyField(r.IdentInfo, GetValueByKeyword(record.c_str(), L"IdentInfo"));
        CopyField(r.SearchSource, GetValueByKeyword(record.c_str(), L"SearchSource"));
        CopyField(r.CustomerID, GetValueByKeyword(record.c_str(), L"CustomerID"));
        CopyField(r.Mail, GetValueByKeyword(record.c_str(), L"Mail"));
        CopyField(r.URL, GetValueByKeyword(record.c_str(), L"URL"));
        at = wcsstr(at + 1, kOpen);
    }
}

void CQorCallStruct::SetUniqueCallID(DWORD callId, const wchar_t* text)
{
    FormatW(UniqueCallID, _countof(UniqueCallID) - 1, L"%010u%s", callId, text ? text : L"");
}

void CQorCallStruct::SetResult(const wchar_t* searchSource, DWORD openContact, const wchar_t* identInfo,
                               const wchar_t* customerId, const wchar_t* mail, const wchar_t* url)
{
    const wchar_t* source = searchSource ? searchSource : L"";
    // An update needs a named source: an empty name would "match" the first free record and
    // fill it without ever counting it.
    if (source[0]) {
        for (QorResultRecord& r : Results) {
            if (wcscmp(r.SearchSource, source) == 0) {
                r.OpenContact = openContact;
                CopyField(r.IdentInfo, identInfo);
                CopyField(r.CustomerID, customerId);
                CopyField(r.Mail, mail);
                CopyField(r.URL, url);
                return;
            }
        }
    }
    for (DWORD i = 0; i < kCallResultCount; ++i) {
        QorResultRecord& r = Results[i];
        if (r.SearchSource[0] || r.IdentInfo[0])
            continue;
        r.OpenContact = openContact;
        CopyField(r.SearchSource, source);
        CopyField(r.IdentInfo, identInfo);
        CopyField(r.CustomerID, customerId);
        CopyField(r.Mail, mail);
        CopyField(r.URL, url);
        // A free record below the count (an empty one read from the bus) must not shrink it.
        if (NumberOfResults < i + 1)
            NumberOfResults = i + 1;
        return;
    }
}

DWORD CQorCallStruct::GetNumberOfResults() const
{
    if (NumberOfResults)
        return NumberOfResults;
    return Results[0].IdentInfo[0] ? 1 : 0;
}

QorResultRecord* CQorCallStruct::GetResult(DWORD index)
{
    return &Results[index < kCallResultCount ? index : 0];
}

QorResultRecord* CQorCallStruct::GetOpenedResult(const wchar_t* searchSource)
{
    QorResultRecord* r = GetResult(OpenContactID);
    return wcscmp(r->SearchSource, searchSource ? searchSource : L"") == 0 ? r : nullptr;
}

BOOL CQorCallStruct::IsSameCall(const wchar_t* uniqueCallId) const
{
    return wcscmp(UniqueCallID, uniqueCallId ? uniqueCallId : L"") == 0;
}

BOOL CQorCallStruct::IsReceived() const
{
    return lstrcmpiW(Event, L"OnReceived") == 0;
}

BOOL CQorCallStruct::SendToHost(HWND host, DWORD type)
{
    if (!host || !IsWindow(host))
        return FALSE;
    // A bus text's Type is the type the message travels as.
    Type = type;
    ToXml(t_sendBuffer);
    return SendBusMessage(host, FALSE, type, t_sendBuffer) != 0;
}

BOOL CQorCallStruct::SendOpenContact(HWND host, DWORD openContactId)
{
    OpenContactID = openContactId;
    return SendToHost(host, QOR_BUSMSG_CALLRECORD);
}

BOOL CQorCallStruct::SendEvent(HWND host, const wchar_t* event, DWORD callId, const wchar_t* text)
{
    if (!host || !IsWindow(host))
        return FALSE;
    CopyField(Event, event);
    CopyField(PartnerNumber, text);
    CopyField(Value, text);
    CallID = callId;
    SetUniqueCallID(callId, text);
    Type = QOR_BUSMSG_CALLEVENT;
    ToXml(t_eventBuffer);
    return SendBusMessage(host, FALSE, QOR_BUSMSG_CALLEVENT, t_eventBuffer) != 0;
}
