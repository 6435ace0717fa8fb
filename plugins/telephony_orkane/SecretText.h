// Log lines show the PBX messages in both directions; the secrets in them (passwords,
// digests, session ids and session objects) are masked before a line is written.
#pragma once

// The message text with the value of every secret member replaced by "***"; a per-thread
// buffer of 8,192 characters (a longer text is cut).
const wchar_t* RedactSecrets(const wchar_t* text);
