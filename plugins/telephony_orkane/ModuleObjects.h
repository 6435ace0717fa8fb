// The plug-in's module-wide objects that need construction, made in one translation unit so
// that their order is fixed (ModuleObjects.cpp).
#pragma once

#include "foundation/QorDlgColors.h"
#include "foundation/QorDlgFonts.h"
#include "foundation/RegIniAccess.h"
#include "foundation/ResourceAccess.h"
#include "plugin_support/PredialNumbers.h"

// The colour scheme and font of the settings page.
extern CQorDlgColors g_DlgColors;
extern CQorDlgFonts g_DlgFonts;
// The settings store of the plug-in.
extern CRegIniAccess g_RegIniAccess;
// The dialling location; also reached through GetPredialNumbers().
extern CPredialNumbers g_PredialNumbers;
// The language texts of the page, the questions and the confirm dialog.
extern CResourceAccess g_ResourceAccess;
