// Language texts: one table of texts per language, indexed from a text file with one text per
// line, and the current language whose texts GUI_Lang_GetText hands out. Every operation takes
// the toolkit lock.
//
// File format: UTF-8 (characters of one to three bytes). Each non-empty line is one text; lines
// end with carriage return, line feed or any run of them, so text n is the n-th non-empty line.
// The toolkit draws single-byte Latin-1 text, so each text is converted to Latin-1 when it is
// loaded: a character above U+00FF becomes "?", an illegal byte becomes character 1 and is
// reported once as a toolkit error.
#pragma once

// The program's languages, by their index in the module; the number of languages it loads.
enum GUI_LANGUAGE : int {
    GUI_LANG_ENGLISH = 0, // "l_en.txt"
    GUI_LANG_GERMAN = 1,  // "l_de.txt"
    GUI_LANG_COUNT = 2,
};

// The text numbers the program uses (docs/language-texts.md lists each with its texts). The
// device search's texts are numbered in comm/master.cpp, which sits below the toolkit.
inline constexpr int GUI_TEXT_SELECT_LANGUAGE = 19; // connect page caption
inline constexpr int GUI_TEXT_EVENT_CAME = 163;
inline constexpr int GUI_TEXT_EVENT_WENT = 164;
inline constexpr int GUI_TEXT_EVENT_ALARM = 165;
inline constexpr int GUI_TEXT_EVENT_TEMPERATURE_1 = 166;
inline constexpr int GUI_TEXT_EVENT_TEMPERATURE_4 = 167;
inline constexpr int GUI_TEXT_ADDRESS_HINT = 182;
inline constexpr int GUI_TEXT_CONNECT_FAILED = 183;
inline constexpr int GUI_TEXT_CONNECTED = 184;
inline constexpr int GUI_TEXT_SEARCH_FAILED = 185;
inline constexpr int GUI_TEXT_CONNECTING = 187;
inline constexpr int GUI_TEXT_CONNECTION_LOST = 188;
inline constexpr int GUI_TEXT_FIRST_LEVEL_NAME = 190; // 190 to 193: level sensors 1 to 4
// "Reconnecting in": the countdown banner adds " <seconds> s". Files without it (written
// before it existed) still load; the program then uses its own English or German words.
inline constexpr int GUI_TEXT_RECONNECTING_IN = 194;
// The Graph tab's banner after Ctrl+S: "<195> <file name> .csv/.png", or 196 (nothing to save),
// or 197 (the files could not be written). Like 194, files without them still load and the
// program then uses its own English or German words.
inline constexpr int GUI_TEXT_HISTORY_SAVED = 195;
inline constexpr int GUI_TEXT_NOTHING_TO_SAVE = 196;
inline constexpr int GUI_TEXT_HISTORY_NOT_SAVED = 197;

// Languages the module can hold; a larger count is cut to this.
inline constexpr int GUI_LANG_MAX_LANGUAGES = 8;

// Sets the number of languages (0 to GUI_LANG_MAX_LANGUAGES), each without texts: texts
// loaded before are released (and no longer valid). Loads and selections of an index at or
// above the number are refused.
void GUI_Lang_SetCount(int count);
int GUI_Lang_GetCount();

// Indexes the texts of one language. The module keeps its own copy of the bytes (the caller's
// data may be released afterwards); loading an index again replaces its texts, and texts handed
// out from the earlier load are then no longer valid. Returns 0 when loaded or when the index
// is refused (not below the number of languages), 1 when memory runs out or the data is
// missing.
int GUI_Lang_Load(const char* data, int size, int index);

// Makes index the current language and returns the previous one; an index that is not a valid
// language is refused: the result is 0 and the current language stays.
int GUI_Lang_Select(int index);
int GUI_Lang_GetSelected();

// Text number n of the current language as a zero-terminated Latin-1 string, or nullptr when
// the language has no texts or n is not below its number of texts. The string stays valid
// unless the same language is loaded again.
const char* GUI_Lang_GetText(int number);

// Number of texts of a language (0 when it has none or the index is not valid).
int GUI_Lang_GetNumTexts(int index);
