// The host's own settings (dialog position and plug-in load order) in its settings store.
#include "host/app/MainConfig.h"

#include "foundation/RegIniAccess.h"
#include "host/QorConfig.h"
#include "host/app/HostGlobals.h"

void LoadMainConfig()
{
    LoadMainConfig(&g_RegIniAccess);
}

void SaveMainConfig()
{
    SaveMainConfig(&g_RegIniAccess, g_bServiceMode);
}
