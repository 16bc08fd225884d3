// INI file engine: reads and writes single values of INI-style text files. Every call opens
// the file, scans it line by line and closes it again; nothing is kept between calls.
//
// A line is read in pieces of up to 511 characters; a longer line gives several pieces, each
// treated as a line of its own. White space is every byte from 1 to 32 (so "\r" and tab);
// bytes of 128 or more are 8-bit letters and are kept. Sections and keys compare ignoring
// ASCII case; the first "]" of a header must follow the name immediately.
#pragma once

#include <cstdint>

// Copies the value of section/key into result (cut to size - 1 characters, zero-terminated),
// or the default text when the file, the section or the key is missing. Returns the length of
// what result then holds; 0 at once when result is missing or size is 0 or less.
int INI_GetString(const char* section, const char* key, const char* default_text, char* result,
                  int size, const char* path);

// Reads the value as a number: base 16 when its second character is "x" or "X", else base 10;
// text that is not a number gives 0, an empty or missing value gives default_number.
int32_t INI_GetLong(const char* section, const char* key, int32_t default_number, const char* path);

// Writes section/key = value. A missing file is created with only this section and key; an
// unchanged value leaves the file alone. Otherwise the file is copied into "<path minus its
// last character>~" with the one line replaced or added, flushed to disk and renamed over the
// old file, so that at every moment either the whole old or the whole new file exists.
// Returns 1 when done, 0 when failed (the existing file is then untouched).
int INI_PutString(const char* section, const char* key, const char* value, const char* path);

// As INI_PutString, with the number written in decimal.
int INI_PutLong(const char* section, const char* key, int32_t number, const char* path);

// Test seam: the steps of writing a file. A hook that returns true makes that step fail as the
// system call would; it may also end the process there to act out a crash.
enum class IniStep { CreateTemp, Write, Flush, Sync, Close, Rename };
using INI_FaultHook = bool (*)(IniStep step);
// Installs the hook (nullptr removes it); for tests only.
void INI_SetFaultHook(INI_FaultHook hook);
