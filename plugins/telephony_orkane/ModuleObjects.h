// The plug-in's module-wide objects that need construction, made in one translation unit so
// that their order is fixed (ModuleObjects.cpp).
#pragma once

#include "foundation/RegIniAccess.h"
#include "foundation/ResourceAccess.h"
#include "plugin_support/PredialNumbers.h"

// The settings store of the plug-in.
extern CRegIniAccess g_RegIniAccess;
// The dialling location; also reached through GetPredialNumbers().
extern CPredialNumbers g_PredialNumbers;
// The language resources of the plug-in.
extern CResourceAccess g_ResourceAccess;
