// The call record that the plug-ins exchange on the bus.
//
// The telephony plug-in fills it from the PBX's call events and sends it; the business-card
// plug-in reads it back, shows it and returns it when the user opens a contact. It travels
// only as bus XML text, so only the field list, the widths and the XML form are binding.
#pragma once

#include <windows.h>

// One contact match found for the partner's number (XML element "ResultRecord").
struct QorResultRecord {
    DWORD OpenContact;          // identifier of the contact in its source
    wchar_t IdentInfo[1024];    // display text; a record counts as filled when non-empty
    wchar_t SearchSource[32];   // name of the source that found it; the key for updates
    wchar_t CustomerID[512];
    wchar_t Mail[128];
    wchar_t URL[256];
};

constexpr DWORD kCallResultCount = 4;

struct tag_call_struct_normal {
    DWORD Type;
    DWORD Inbound;
    DWORD IsConf;
    DWORD LineID;
    DWORD CallID;
    DWORD OpenContactID;        // index of the result record the user chose (0..3)
    DWORD Call;
    SYSTEMTIME TimeStart;       // UTC, as GetSystemTime gives it
    SYSTEMTIME TimeConnected;
    SYSTEMTIME TimeDisconnected;
    SYSTEMTIME TimeIdle;
    wchar_t OwnExtension[32];
    wchar_t PartnerNumber[32];
    wchar_t CalledMSN[32];
    wchar_t RedirectingID[32];
    wchar_t Event[32];          // "OnReceived", "OnDelivered", "OnEstablished", "OnConnectionCleared"
    wchar_t Value[2200];
    wchar_t UniqueCallID[64];
    DWORD NumberOfResults;      // 0..4
    QorResultRecord Results[kCallResultCount];
};

// Characters ToXml may write, terminator included.
constexpr size_t kCallXmlCapacity = 16383;

class CQorCallStruct : public tag_call_struct_normal {
public:
    CQorCallStruct();
    explicit CQorCallStruct(const wchar_t* xml);
    CQorCallStruct(const CQorCallStruct& other);
    CQorCallStruct& operator=(const CQorCallStruct& other);
    virtual ~CQorCallStruct();

    void Reset();
    void FromXml(const wchar_t* xml);
    // Writes the record as a complete bus message; out holds kCallXmlCapacity characters.
    void ToXml(wchar_t* out) const;

    void SetUniqueCallID(DWORD callId, const wchar_t* text);
    void SetResult(const wchar_t* searchSource, DWORD openContact, const wchar_t* identInfo,
                   const wchar_t* customerId, const wchar_t* mail, const wchar_t* url);
    DWORD GetNumberOfResults() const;
    QorResultRecord* GetResult(DWORD index);
    // The record the user opened, when it came from that source; else null.
    QorResultRecord* GetOpenedResult(const wchar_t* searchSource);
    BOOL IsSameCall(const wchar_t* uniqueCallId) const;
    BOOL IsReceived() const;

    // Each posts the record to the host window and returns TRUE when it was posted; nothing
    // is sent (FALSE) to a null handle or one that is no window.
    BOOL SendToHost(HWND host, DWORD type);
    BOOL SendOpenContact(HWND host, DWORD openContactId);
    BOOL SendEvent(HWND host, const wchar_t* event, DWORD callId, const wchar_t* text);
};
