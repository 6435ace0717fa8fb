// The handling of every text message from the PBX websockets.
#pragma once

#include "plugins/telephony_orkane/InnovaphoneVars.h"

// Called by the receive threads with g_csDispatch held.
void DispatchMessages(CInnovaphoneVars* conn, const wchar_t* text);
