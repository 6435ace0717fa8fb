// The business-card popup: an incoming call shows the caller's card in a topmost window in a
// corner of the chosen monitor for the set time; the display thread counts the time down.
#pragma once

#include <windows.h>

// Bus Type 44.
void DoInfo(const wchar_t* xml);
// Bus Type 72 and the plug-in's stop: destroys the popup (window thread only).
void CloseHTMLPopup();
// Builds the page for the module's call record into page (empty when there is no template).
void PrepareHtmlCode_2(wchar_t* page, size_t capacity);
// The template file beside the plug-in.
const wchar_t* GetTemplatePath();

// The display thread: started by the plug-in's start, stopped (and waited for) by its stop.
BOOL StartInfoLoopThread();
void StopInfoLoopThread();
BOOL IsInfoLoopThreadRunning();
// At unload without a stop: the thread cannot end under the loader lock, and its code is
// about to go away, so it is ended here.
void AbandonInfoLoopThread();

// Forgets the last page and call, so the next "OnReceived" starts over.
void ResetPopupState();
