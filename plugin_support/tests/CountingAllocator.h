// Counts the heap blocks this test program has live, through the global allocation functions
// that it replaces; the code under test is unchanged.
#pragma once

#include <cstddef>

long LiveAllocations();
