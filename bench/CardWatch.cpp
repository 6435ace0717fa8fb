#include "bench/CardWatch.h"

#include "bench/BenchStats.h"
#include "bench/HostRun.h"

namespace bench {

namespace {

constexpr DWORD kLog = 4, kCallEvent = 44;
constexpr wchar_t kCardLine[] = L" - PLUGININFOVISETTE.";

std::string Narrow(const std::wstring& w)
{
    std::string s;
    for (wchar_t ch : w)
        s += ch < 0x80 ? static_cast<char>(ch) : '?';
    return s;
}

}  // namespace

CardWatch::CardWatch(ProbeLog& probe, HWND host, bool card) : m_probe(probe), m_host(host), m_card(card)
{
    m_lastNew = Now();
}

bool CardWatch::AskForCardLines(HWND host)
{
    // Level 3 is where the card notes each record it takes and each showing and hiding.
    return SendText(host, BusText(L"26", {{L"Level", L"3"}}), 10000);
}

void CardWatch::Clear()
{
    m_records.clear();
    m_outcomes.clear();
    m_newCall = false;
    m_hiddenLine = false;
    m_seenShown = false;
}

void CardWatch::Add(const TestPluginCall& c)
{
    if (c.type == kCallEvent && wcscmp(c.function, L"BusProcess") == 0) {
        m_records.push_back({ProbeLog::Value(c, L"CallID"), ProbeLog::Value(c, L"PartnerNumber"),
                             ProbeLog::Value(c, L"Event")});
        return;
    }
    if (c.type != kLog || !m_card)
        return;
    std::wstring text = ProbeLog::Value(c, L"Text");
    size_t at = text.find(kCardLine);
    if (at == std::wstring::npos)
        return;
    std::wstring line = text.substr(at + wcslen(kCardLine));
    auto starts = [&](const wchar_t* head) { return line.compare(0, wcslen(head), head) == 0; };
    // A new call's record ends with its showing (or a failure) before the card takes the next.
    auto unfinished = [&](const std::wstring& next) {
        if (m_newCall)
            m_outcomes.push_back(L"a new call not shown (" + (m_lastError.empty() ? L"next: " + next : m_lastError) + L")");
        m_newCall = false;
        m_lastError.clear();
    };
    if (starts(L"Func.InfoLoopThread.Info.Popup hidden")) {
        m_hiddenLine = true;
    } else if (starts(L"Func.DoInfo.Abort")) {
        unfinished(line);
        m_outcomes.push_back(L"ignored");
    } else if (starts(L"Func.DoInfo.Info.New call")) {
        unfinished(line);
        m_newCall = true;
        m_lastError.clear();
    } else if (starts(L"Func.DoInfo.Info.Popup of this call closed")) {
        unfinished(line);
        m_outcomes.push_back(L"its call's card already closed");
    } else if (starts(L"Func.ShowTeaser.Info.Shown at")) {
        m_outcomes.push_back(m_newCall ? L"shown" : L"shown again for the same call");
        m_newCall = false;
        m_hiddenLine = false;
    } else if (starts(L"Func.ShowTeaser.Info.No changes")) {
        m_outcomes.push_back(m_newCall ? L"a new call taken for no change" : L"unchanged");
        m_newCall = false;
    } else if (line.find(L".Error.") != std::wstring::npos && m_newCall) {
        // Not every error ends the showing (a page the browser cannot show still leaves the
        // popup shown): the card's next line tells.
        m_lastError = line;
    }
}

void CardWatch::LookAtWindow()
{
    if (!m_card)
        return;
    if (!m_popup || !IsWindow(m_popup)) {
        m_popup = nullptr;
        // The card's popup: its class, owned by the host's window.
        for (HWND w = FindWindowExW(nullptr, nullptr, L"QorHTMLPopup", nullptr); w;
             w = FindWindowExW(nullptr, w, L"QorHTMLPopup", nullptr))
            if (GetWindow(w, GW_OWNER) == m_host)
                m_popup = w;
    }
    if (m_popup && IsWindowVisible(m_popup))
        m_seenShown = true;
}

void CardWatch::Take()
{
    LookAtWindow();
    // The probe writes an entry's text last: an entry is whole once the next one has begun
    // (one thread writes them in turn), or after a quiet moment.
    LONG n = m_probe.Count();
    if (n != m_lastCount) {
        m_lastCount = n;
        m_lastNew = Now();
    }
    LONG whole = Now() - m_lastNew > 0.05 ? n : n - 1;
    for (; m_taken < whole; ++m_taken) {
        const TestPluginCall* c = m_probe.At(m_taken);
        if (!c)
            break;
        Add(*c);
    }
    if (m_taken == n && n > 0 && m_probe.ResetIfCount(n))
        m_taken = m_lastCount = 0;
}

std::string CardWatch::Check(const std::vector<ExpectedCall>& calls) const
{
    size_t k = 0;
    std::wstring previousId;
    for (size_t i = 0; i < calls.size(); ++i) {
        const ExpectedCall& call = calls[i];
        std::string name = "call " + std::to_string(i + 1) + " of " + std::to_string(calls.size()) + " (" +
                           Narrow(call.number) + ")";
        std::wstring id;
        for (const std::wstring& event : call.events) {
            if (k >= m_records.size())
                return name + ": no " + Narrow(event) + " record (" + std::to_string(m_records.size()) + " records in all)";
            const Record& r = m_records[k];
            std::string got = "record " + std::to_string(k + 1) + " is " + Narrow(r.event) + " of call " +
                              Narrow(r.callId) + " (" + Narrow(r.number) + ")";
            if (r.event != event || r.number != call.number)
                return name + ": " + got + ", expected " + Narrow(event);
            if (id.empty())
                id = r.callId;
            if (r.callId != id || (!call.callId.empty() && r.callId != call.callId) || (id == previousId))
                return name + ": " + got + ", expected its own call ID" +
                       (call.callId.empty() ? std::string() : " " + Narrow(call.callId));
            if (m_card) {
                if (k >= m_outcomes.size())
                    return name + ": the card wrote nothing for its " + Narrow(event) + " record";
                const std::wstring expected = event == L"OnReceived" ? L"shown" : L"ignored";
                if (m_outcomes[k] != expected)
                    return name + ": the card " + Narrow(m_outcomes[k]) + " for its " + Narrow(event) +
                           " record, expected " + Narrow(expected);
            }
            ++k;
        }
        previousId = id;
    }
    if (k != m_records.size())
        return std::to_string(m_records.size() - k) + " records more than the calls give (the first: " +
               Narrow(m_records[k].event) + " of call " + Narrow(m_records[k].callId) + ")";
    if (m_card && m_outcomes.size() != k)
        return "the card handled " + std::to_string(m_outcomes.size()) + " records, the Info category got " +
               std::to_string(k);
    return "";
}

std::string CardWatch::WaitHidden(double seconds)
{
    if (!m_card)
        return "";
    double start = Now();
    while (Now() - start < seconds) {
        Take();
        if (m_hiddenLine && m_popup && !IsWindowVisible(m_popup))
            break;
        Sleep(5);
    }
    if (!m_popup)
        return "no popup window of the card (class QorHTMLPopup, owned by the host's window)";
    if (!m_seenShown)
        return "the card's popup window was never seen shown";
    if (!m_hiddenLine)
        return "the card did not hide its popup after its display time (no \"Popup hidden\")";
    if (IsWindowVisible(m_popup))
        return "the card's popup window is still shown after \"Popup hidden\"";
    return "";
}

}  // namespace bench
