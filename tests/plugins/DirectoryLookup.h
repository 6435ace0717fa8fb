// The contact search of the directory test plug-in. Its one entry comes from the environment
// variable ORVIX_TEST_DIRECTORY as "<number>|<IdentInfo>", for example
// "+49301234567|Name: Jane Roe;Company: Example Ltd;".
#pragma once

#include <windows.h>

// On a call event whose partner number matches the entry, writes the entry into the text
// itself as a result record, the way a search plug-in hands its results on along the
// call-event route (the block holds at least 16,384 characters). True when it wrote.
bool AttachDirectoryEntry(wchar_t* text);
