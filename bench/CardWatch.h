// What the business-card plug-in did with each call record, seen from its own side: the
// records the Info category got (the probe beside the card notes them as they come) matched
// one by one with the card's own log lines on the bus ("New call" and "Shown at", or
// "Abort" for records that show nothing), and its real popup window (class "QorHTMLPopup",
// owned by the host's window) seen shown and then hidden again by its display thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "bench/ProbeLog.h"

namespace bench {

// One call and the records it must give, in this order.
struct ExpectedCall {
    std::wstring callId;  // empty: any, but the same for all its records and new for each call
    std::wstring number;  // the record's PartnerNumber
    std::vector<std::wstring> events;
};

class CardWatch {
public:
    // With card unset (no business card loaded) only the records are checked.
    CardWatch(ProbeLog& probe, HWND host, bool card);

    // The debug level at which the card writes the lines this watch reads, on the host's bus.
    static bool AskForCardLines(HWND host);

    // Takes the probe's whole entries and looks at the popup window; call it often. The
    // probe is emptied whenever all its entries are taken, so it never fills up.
    void Take();
    // Forgets what was taken (not the window): the next calls are checked on their own.
    void Clear();
    size_t Records() const { return m_records.size(); }
    // What the card made of the records so far (one entry for each record it handled).
    size_t Outcomes() const { return m_outcomes.size(); }

    // An empty text when the records are exactly the calls' records in order and the card
    // showed each OnReceived as a new call and nothing for the others; else the first
    // difference, naming the call.
    std::string Check(const std::vector<ExpectedCall>& calls) const;
    // Waits until the card's display thread has hidden the popup after its last showing and
    // the window is hidden; an empty text, or what is missing. The window must have been seen
    // shown since the last Clear.
    std::string WaitHidden(double seconds);

private:
    struct Record {
        std::wstring callId, number, event;
    };
    void Add(const TestPluginCall& c);
    void LookAtWindow();

    ProbeLog& m_probe;
    HWND m_host;
    bool m_card;
    LONG m_taken = 0, m_lastCount = 0;
    double m_lastNew = 0;
    std::vector<Record> m_records;
    std::vector<std::wstring> m_outcomes;  // "shown", "ignored", or what else the card did
    bool m_newCall = false;                // a "New call" line waits for its showing
    std::wstring m_lastError;              // the card's last error line since then
    bool m_hiddenLine = false;             // "Popup hidden" after the last showing
    bool m_seenShown = false;              // the window seen visible since the last Clear
    HWND m_popup = nullptr;
};

}  // namespace bench
