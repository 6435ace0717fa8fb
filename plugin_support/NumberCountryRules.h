// The area-code rules of the countries whose numbering plan needs a rule of its own.
#pragma once

// The length of the area code (0: none) of a canonical number of that country code; the
// national digits are those right after the code. -1 for a code without such a rule.
int CountryAreaLength(unsigned code, const wchar_t* canonical, const wchar_t* national);
