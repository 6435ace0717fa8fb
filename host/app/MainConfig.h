// The host's own settings: window position and plug-in load order.
#pragma once

void LoadMainConfig();
void SaveMainConfig();
