// Loading the language files "Data_Media/l_en.txt" (language 0, English) and
// "Data_Media/l_de.txt" (language 1, German) into the toolkit's language module.
#pragma once

#include "gui/toolkit/lang/gui_lang.h"

inline constexpr int LANG_ENGLISH = GUI_LANG_ENGLISH;
inline constexpr int LANG_GERMAN = GUI_LANG_GERMAN;
inline constexpr int LANG_NUM_LANGUAGES = GUI_LANG_COUNT;

// Language files larger than this are refused as unreadable.
inline constexpr long LANG_MAX_FILE_BYTES = 1L << 20;

// Sets the number of languages to 2 and loads the German file, then the English one. Returns
// 0, or 1 when the English file could not be loaded; a missing German file does not count.
int LANG_LoadFiles();

// Reads the whole file and hands it to GUI_Lang_Load as the given language. Returns 0, or 1
// (with a diagnostic) when the file cannot be opened or read, is not a regular file, is larger
// than LANG_MAX_FILE_BYTES, or memory runs out.
int LANG_LoadFile(const char* path, int index);
