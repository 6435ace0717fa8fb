// The dial-link URL schemes callto, tel, sugartel and corvall in the current user's registry.
#pragma once

#include <windows.h>

// Makes the handler program the owner of the four schemes (a bare name is looked for beside
// the running program); an empty or null handler puts back the owners saved by an earlier
// call in this process, and leaves alone the schemes this process never registered.
void RegisterUrlProtocols(const wchar_t* handler);
void RegisterUrlProtocol(HKEY root, const wchar_t* schemeKey, const wchar_t* handlerPath, wchar_t* savedIcon,
                         wchar_t* savedCommand);
void DisableLyncProtocolHandlers(DWORD value);
