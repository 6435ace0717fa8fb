#include "telephony_support/DeskPhoneSeams.h"

#include "telephony_support/DeskPhones.h"

BOOL (*g_pfnRunArpCommand)(const wchar_t*, wchar_t*, size_t) = RunArpCommand;
