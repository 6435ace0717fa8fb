#include "plugins/telephony_orkane/PendingAnswers.h"

#include <cwchar>

#include "foundation/Format.h"
#include "plugins/telephony_orkane/PbxWebsocket.h"
#include "plugins/telephony_orkane/TelephonySeams.h"

namespace {

// Two threads send at most (the login thread and the GUI thread), one request each at a time.
constexpr int kSlots = 16;

struct Slot {
    CInnovaphoneVars* conn;
    wchar_t mt[64];
    wchar_t src[96];
    LONG ticket;  // 0: free
    bool answered;
    HANDLE event;
};

SRWLOCK g_lock = SRWLOCK_INIT;
Slot g_slots[kSlots];
LONG g_lastTicket;

// A ticket names its slot and its use of it, so that a wait that ended meanwhile is not
// marked in the slot's next use.
LONG NewTicket(int slot)
{
    g_lastTicket = (g_lastTicket + 1) & 0x7FFFFFF;
    if (!g_lastTicket)
        g_lastTicket = 1;
    return g_lastTicket * kSlots + slot;
}

}  // namespace

bool IsAnswerOf(const wchar_t* request, const wchar_t* answer)
{
    if (!request[0] || !answer[0])
        return false;
    size_t length = wcslen(request);
    if (!wcsncmp(answer, request, length) && !wcscmp(answer + length, L"Result"))
        return true;
    return !wcscmp(request, L"Login") && (!wcscmp(answer, L"Authenticate") || !wcscmp(answer, L"Authorize"));
}

int BeginAnswerWait(CInnovaphoneVars* conn, const wchar_t* mt, const wchar_t* src)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!event)
        return -1;
    AcquireSRWLockExclusive(&g_lock);
    for (int i = 0; i < kSlots; ++i) {
        Slot& s = g_slots[i];
        if (s.ticket)
            continue;
        s.conn = conn;
        CopyText(s.mt, _countof(s.mt), mt);
        CopyText(s.src, _countof(s.src), src);
        s.ticket = NewTicket(i);
        s.answered = false;
        s.event = event;
        ReleaseSRWLockExclusive(&g_lock);
        return i;
    }
    ReleaseSRWLockExclusive(&g_lock);
    CloseHandle(event);
    return -1;
}

BOOL FinishAnswerWait(int slot, DWORD start, DWORD milliseconds)
{
    if (slot < 0 || slot >= kSlots)
        return FALSE;
    HANDLE handles[2] = {g_slots[slot].event, g_hStopWaits};
    // Bounded by the clock, not by a count of waits: one wait may last longer than asked
    // (a timer tick on Windows).
    for (;;) {
        DWORD elapsed = g_pfnWaitClock() - start;
        if (elapsed >= milliseconds)
            break;
        DWORD r = g_pfnWaitForAny(2, handles, milliseconds - elapsed);
        if (r != WAIT_TIMEOUT)
            break;
    }
    AcquireSRWLockExclusive(&g_lock);
    Slot& s = g_slots[slot];
    BOOL answered = s.answered;
    HANDLE event = s.event;
    s.ticket = 0;
    s.event = nullptr;
    s.conn = nullptr;
    ReleaseSRWLockExclusive(&g_lock);
    CloseHandle(event);
    return answered;
}

LONG FindAnsweredWait(CInnovaphoneVars* conn, const wchar_t* mt, const wchar_t* src)
{
    LONG found = 0;
    AcquireSRWLockShared(&g_lock);
    for (int i = 0; i < kSlots; ++i) {
        const Slot& s = g_slots[i];
        if (!s.ticket || s.conn != conn || s.answered || !IsAnswerOf(s.mt, mt))
            continue;
        if (src[0] ? !wcscmp(src, s.src) : true) {
            // Without a src the oldest request of that kind is the one answered.
            if (!found || (src[0] == L'\0' && s.ticket < found))
                found = s.ticket;
            if (src[0])
                break;
        }
    }
    ReleaseSRWLockShared(&g_lock);
    return found;
}

void MarkAnswered(LONG ticket)
{
    if (ticket <= 0)
        return;
    AcquireSRWLockExclusive(&g_lock);
    Slot& s = g_slots[ticket % kSlots];
    if (s.ticket == ticket) {
        s.answered = true;
        SetEvent(s.event);
    }
    ReleaseSRWLockExclusive(&g_lock);
}
