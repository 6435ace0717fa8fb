// The host's six category managers and its router, in one translation unit so that their
// construction order is fixed.
#include "host/BusRouter.h"
#include "host/PluginBase.h"

CPluginBase g_PluginDebug(L"PluginDebug");
CPluginBase g_PluginExtra(L"PluginExtra");
CPluginBase g_PluginInfo(L"PluginInfo");
CPluginBase g_PluginSave(L"PluginSave");
CPluginBase g_PluginSearch(L"PluginSearch");
CPluginBase g_PluginTelephony(L"PluginTelephony");

CBusRouter g_BusRouter;
