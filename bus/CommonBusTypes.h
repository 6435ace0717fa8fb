// What every module does with the bus types meant for all of them (debug level, forced
// ignore, allow disable, scheme), and the module's own values behind the plug-in flag exports.
#pragma once

#include <windows.h>

class CResourceAccess;

// The module may be switched off by the user (QOR_BUSMSG_FORCEIGNORE clears it).
extern int g_bCanDisable;
// The colour scheme, dialog font and interface language that QOR_BUSMSG_SCHEME sets.
extern DWORD g_dwSchemeIndex;
extern wchar_t g_szUsedFont[128];
extern wchar_t g_szUsedLanguage[32];

// The language library a scheme message switches (the module's own instance); may be null.
void SetCommonResourceAccess(CResourceAccess* resources);

// Types 26, 51, 53 and 76; other types do nothing.
void HandleCommonBusTypes(UINT type, const wchar_t* text);
// Only types 26 and 76.
void HandleSchemeBusTypes(UINT type, const wchar_t* text);

int ModuleIsUnicode();
int ModuleCanDisable();
int ModuleGetDisableState();
int ModuleReturnsOne();
int ModuleSetDisableState(int state);
