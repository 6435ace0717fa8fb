// The contact search of the directory test plug-in. Its contacts are the lines of the UTF-8
// file "Directory.txt" beside the plug-in, each "<number>|<IdentInfo>", for example
// "+49 30 1234567|Name: Jane Roe;Company: Example Ltd;".
#pragma once

#include <windows.h>

// On a call event whose partner number matches a contact, writes that contact into the text
// itself as a result record, the way a search plug-in hands its results on along the
// call-event route (the block holds at least 16,384 characters). True when it wrote.
bool AttachDirectoryEntry(wchar_t* text);
