// Requests that wait for their answer, and the matching of the PBX's messages to them. The
// PBX echoes a request's "src" in its result; events (a "CallInfo", a presence update) and
// the late results of earlier requests arrive in between and end no wait.
#pragma once

#include <windows.h>

#include "plugins/telephony_orkane/InnovaphoneVars.h"

// Whether a message of type answer is a result of a request of type request: its "...Result",
// and for a "Login" also the challenge ("Authenticate") and the hold for a second factor
// ("Authorize").
bool IsAnswerOf(const wchar_t* request, const wchar_t* answer);

// Registers a wait on conn for the answer of a request of type mt with the given src; -1
// when every slot is taken (the request then waits its time out).
int BeginAnswerWait(CInnovaphoneVars* conn, const wchar_t* mt, const wchar_t* src);
// Waits until the answer arrived, milliseconds of the wait clock have passed since start, or
// the plug-in stops; frees the slot and returns whether the answer arrived.
BOOL FinishAnswerWait(int slot, DWORD start, DWORD milliseconds);

// The dispatcher's side, called under g_csDispatch: the wait that a message of type mt with
// src (empty: none) answers, as a ticket (0: none). A message with a src answers only the
// request of that src; one without (a peer that does not echo src) the oldest request it is
// a result of.
LONG FindAnsweredWait(CInnovaphoneVars* conn, const wchar_t* mt, const wchar_t* src);
// Ends the wait of the ticket, once the message's values are stored.
void MarkAnswered(LONG ticket);
