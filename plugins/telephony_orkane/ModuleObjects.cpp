// Constructed in this order when the library is loaded, destroyed in reverse when unloaded.
#include "plugins/telephony_orkane/ModuleObjects.h"

#include "plugins/telephony_orkane/CallRecords.h"
#include "plugins/telephony_orkane/InnovaphoneVars.h"

CQorDlgColors g_DlgColors;
CQorDlgFonts g_DlgFonts;
CInnovaphoneVars InnovaphoneVarsApp(L"App");
CInnovaphoneVars InnovaphoneVarsUser(L"User");
std::map<int, std::wstring> g_CallConference;
std::map<int, tag_call_info> g_CallList;
CPredialNumbers g_PredialNumbers;
CRegIniAccess g_RegIniAccess;
CResourceAccess g_ResourceAccess;
std::map<std::wstring, int> g_ConferenceCount;
std::vector<tag_rcc_device> g_RccDevices;
