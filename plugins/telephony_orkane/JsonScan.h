// Scanning the PBX's JSON text as it stands, where a member's own text is needed (a raw object
// passed on, a secret value masked) rather than its parsed value.
#pragma once

// Just past the JSON value that starts at p: a string, an object or array (nested values and
// strings skipped), or a bare word (number, true, false, null). Null when the string, object
// or array is not closed before the text ends.
const wchar_t* FindJsonValueEnd(const wchar_t* p);
