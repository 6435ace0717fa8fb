// The MemBlock value of a bus message: a further global block named by its address as a
// decimal number. 32-bit Windows writes it in the plain int form; on x86_64 the number holds
// the whole pointer, so an address above 4 GB is never cut.
#pragma once

#include <windows.h>

#include <cstddef>

// Writes the block's number into text (capacity in characters, at least 21 for every value).
void FormatBusBlockNumber(wchar_t* text, size_t capacity, HGLOBAL block);
// The block a number names; nullptr for an empty, zero or malformed text.
HGLOBAL BusBlockFromNumber(const wchar_t* text);
