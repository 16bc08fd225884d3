#include "gui/toolkit/lang/gui_lang.h"

#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/core/gui_report.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

constexpr char kIllegalCharacter[] =
    "GUI_Lang:\nIllegal character during UTF-8 decoding in _GetCharBuffered()!";

// Code of a character that could not be decoded.
constexpr uint32_t kIllegalCode = 1;

struct Text {
    size_t start;  // byte offset in the language's block
    size_t length; // bytes of the line as read from the file
};

struct Language {
    char* block = nullptr; // the file's bytes plus one, the texts written in place
    Text* texts = nullptr;
    int num_texts = 0;
};

std::array<Language, GUI_LANG_MAX_LANGUAGES> g_languages{};
int g_count = 0;
int g_current = 0;

struct Char {
    uint32_t code;
    size_t bytes;
    bool illegal;
};

bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Decodes the character at pos (pos < end). A sequence must be complete, made of continuation
// bytes and not longer than needed; otherwise only its first byte is taken, as an illegal
// character, so that a broken sequence never swallows the line end after it.
Char DecodeChar(const unsigned char* data, size_t pos, size_t end) {
    const unsigned char b0 = data[pos];
    if (b0 < 0x80) return {b0, 1, false};
    if (b0 >= 0xC0 && b0 < 0xE0 && end - pos >= 2 && IsContinuation(data[pos + 1])) {
        const uint32_t code = (uint32_t{b0 & 0x1Fu} << 6) | (data[pos + 1] & 0x3Fu);
        if (code >= 0x80) return {code, 2, false};
    } else if (b0 >= 0xE0 && b0 < 0xF0 && end - pos >= 3 && IsContinuation(data[pos + 1]) &&
               IsContinuation(data[pos + 2])) {
        const uint32_t code = (uint32_t{b0 & 0x0Fu} << 12) |
                              (uint32_t{data[pos + 1] & 0x3Fu} << 6) | (data[pos + 2] & 0x3Fu);
        if (code >= 0x800) return {code, 3, false};
    }
    return {kIllegalCode, 1, true};
}

bool IsLineEnd(uint32_t code) {
    return code == '\r' || code == '\n';
}

// One walk over the decoded characters: calls on_start(offset) at the first character of every
// text and on_end(offset) at the line end that closes it; a text still open at the end of the
// data is closed at size. Illegal characters are reported when report is set.
template <typename OnStart, typename OnEnd>
void WalkLines(const unsigned char* data, size_t size, bool report, OnStart&& on_start,
               OnEnd&& on_end) {
    bool inside = false;
    size_t pos = 0;
    while (pos < size) {
        const Char c = DecodeChar(data, pos, size);
        if (report && c.illegal) {
            GUI_ReportError(kIllegalCharacter);
        }
        if (IsLineEnd(c.code)) {
            if (inside) on_end(pos);
            inside = false;
        } else if (!inside) {
            on_start(pos);
            inside = true;
        }
        pos += c.bytes;
    }
    if (inside) on_end(size);
}

// Rewrites the text's bytes as Latin-1 in place (every character takes at most as many bytes
// as before) and terminates it; returns the new length.
size_t ConvertToLatin1(unsigned char* text, size_t length) {
    size_t read = 0;
    size_t write = 0;
    while (read < length) {
        const Char c = DecodeChar(text, read, length);
        text[write++] = static_cast<unsigned char>(c.code <= 0xFF ? c.code : '?');
        read += c.bytes;
    }
    text[write] = 0;
    return write;
}

void Release(Language* language) {
    delete[] language->texts;
    delete[] language->block;
    *language = Language{};
}

} // namespace

void GUI_Lang_SetCount(int count) {
    GUI_LockGuard lock;
    // A new set of languages starts empty: a language whose file is missing at the next load
    // must not keep the texts of an earlier load.
    for (Language& language : g_languages)
        Release(&language);
    g_count = count < 0 ? 0 : (count > GUI_LANG_MAX_LANGUAGES ? GUI_LANG_MAX_LANGUAGES : count);
}

int GUI_Lang_GetCount() {
    GUI_LockGuard lock;
    return g_count;
}

int GUI_Lang_Load(const char* data, int size, int index) {
    GUI_LockGuard lock;
    if (index < 0 || index >= g_count) return 0;
    if (size < 0 || (data == nullptr && size > 0)) return 1;

    const size_t bytes = static_cast<size_t>(size);
    // One byte more than the data, so that a last text without a line end has room for its
    // terminating zero.
    char* block = new (std::nothrow) char[bytes + 1];
    if (block == nullptr) return 1;
    if (bytes > 0) std::memcpy(block, data, bytes);
    block[bytes] = 0;
    const auto* walk = reinterpret_cast<const unsigned char*>(block);

    // Pass 1: count the texts (and report every illegal byte, once).
    int num_texts = 0;
    WalkLines(
        walk, bytes, true, [&](size_t) { ++num_texts; }, [](size_t) {});

    Text* texts = nullptr;
    if (num_texts > 0) {
        texts = new (std::nothrow) Text[static_cast<size_t>(num_texts)];
        if (texts == nullptr) {
            delete[] block;
            return 1;
        }
    }

    // Pass 2: record where each text starts and how many bytes it has.
    int recorded = 0;
    WalkLines(
        walk, bytes, false, [&](size_t offset) { texts[recorded].start = offset; },
        [&](size_t offset) {
            texts[recorded].length = offset - texts[recorded].start;
            ++recorded;
        });

    // Each text becomes a zero-terminated Latin-1 string in place; the line end after it is
    // overwritten with a zero byte as well.
    for (int i = 0; i < num_texts; ++i) {
        auto* text = reinterpret_cast<unsigned char*>(block + texts[i].start);
        ConvertToLatin1(text, texts[i].length);
        text[texts[i].length] = 0;
    }

    Language* language = &g_languages[static_cast<size_t>(index)];
    Release(language);
    language->block = block;
    language->texts = texts;
    language->num_texts = num_texts;
    return 0;
}

int GUI_Lang_Select(int index) {
    GUI_LockGuard lock;
    if (index < 0 || index >= g_count) return 0;
    const int previous = g_current;
    g_current = index;
    return previous;
}

int GUI_Lang_GetSelected() {
    GUI_LockGuard lock;
    return g_current;
}

const char* GUI_Lang_GetText(int number) {
    GUI_LockGuard lock;
    if (g_current < 0 || g_current >= g_count) return nullptr;
    const Language& language = g_languages[static_cast<size_t>(g_current)];
    if (number < 0 || number >= language.num_texts) return nullptr;
    return language.block + language.texts[number].start;
}

int GUI_Lang_GetNumTexts(int index) {
    GUI_LockGuard lock;
    if (index < 0 || index >= g_count) return 0;
    return g_languages[static_cast<size_t>(index)].num_texts;
}
