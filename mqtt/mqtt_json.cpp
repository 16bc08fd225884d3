#include "mqtt/mqtt_json.h"

#include <cstdio>
#include <cstring>

JsonWriter::JsonWriter(char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {
    if (capacity_ == 0) {
        overflow_ = true;
        return;
    }
    buffer_[0] = '\0';
}

void JsonWriter::Raw(const char* text, size_t length) {
    if (overflow_) return;
    if (length >= capacity_ - length_) {
        overflow_ = true;
        return;
    }
    std::memcpy(buffer_ + length_, text, length);
    length_ += length;
    buffer_[length_] = '\0';
}

void JsonWriter::Separate() {
    if (need_comma_) Raw(",", 1);
    need_comma_ = true;
}

void JsonWriter::BeginObject() {
    Separate();
    Raw("{", 1);
    need_comma_ = false;
}

void JsonWriter::EndObject() {
    Raw("}", 1);
    need_comma_ = true;
}

void JsonWriter::BeginArray() {
    Separate();
    Raw("[", 1);
    need_comma_ = false;
}

void JsonWriter::EndArray() {
    Raw("]", 1);
    need_comma_ = true;
}

void JsonWriter::Key(const char* key) {
    String(key);
    Raw(":", 1);
    need_comma_ = false;
}

void JsonWriter::String(const char* text) {
    Separate();
    Raw("\"", 1);
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        if (*p == '"' || *p == '\\') {
            const char escaped[2] = {'\\', static_cast<char>(*p)};
            Raw(escaped, 2);
        } else if (*p < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", *p);
            Raw(escaped, 6);
        } else {
            Raw(reinterpret_cast<const char*>(p), 1);
        }
    }
    Raw("\"", 1);
}

void JsonWriter::Number(const char* text) {
    char number[32];
    Separate();
    if (JSON_NumberText(text, number, sizeof number))
        Raw(number, std::strlen(number));
    else
        Raw("null", 4);
}

void JsonWriter::Integer(long long value) {
    char number[24];
    const int n = std::snprintf(number, sizeof number, "%lld", value);
    Separate();
    Raw(number, static_cast<size_t>(n));
}

bool JSON_NumberText(const char* text, char* out, size_t size) {
    if (text == nullptr || out == nullptr || size == 0) return false;
    while (*text == ' ')
        ++text;
    size_t length = std::strlen(text);
    while (length > 0 && text[length - 1] == ' ')
        --length;
    if (length == 0 || length >= size) return false;
    // -?(0|[1-9][0-9]*)(\.[0-9]+)?: what the log formats print (no exponent, no "nan").
    size_t i = 0;
    if (text[i] == '-') ++i;
    if (i >= length || text[i] < '0' || text[i] > '9') return false;
    if (text[i] == '0' && i + 1 < length && text[i + 1] >= '0' && text[i + 1] <= '9') return false;
    while (i < length && text[i] >= '0' && text[i] <= '9')
        ++i;
    if (i < length && text[i] == '.') {
        ++i;
        if (i >= length || text[i] < '0' || text[i] > '9') return false;
        while (i < length && text[i] >= '0' && text[i] <= '9')
            ++i;
    }
    if (i != length) return false;
    std::memcpy(out, text, length);
    out[length] = '\0';
    return true;
}

namespace {

struct Cursor {
    const char* p;
    const char* end;
};

void SkipBlanks(Cursor* c) {
    while (c->p < c->end && (*c->p == ' ' || *c->p == '\t' || *c->p == '\n' || *c->p == '\r'))
        ++c->p;
}

bool Expect(Cursor* c, char ch) {
    SkipBlanks(c);
    if (c->p >= c->end || *c->p != ch) return false;
    ++c->p;
    return true;
}

// A string of plain printable ASCII without escapes (all the command needs); at most size - 1.
bool PlainString(Cursor* c, char* out, size_t size) {
    if (!Expect(c, '"')) return false;
    size_t n = 0;
    while (c->p < c->end && *c->p != '"') {
        const unsigned char ch = static_cast<unsigned char>(*c->p);
        if (ch < 0x20 || ch >= 0x7f || ch == '\\' || n + 1 >= size) return false;
        out[n++] = static_cast<char>(ch);
        ++c->p;
    }
    if (c->p >= c->end) return false;
    ++c->p;
    out[n] = '\0';
    return true;
}

} // namespace

bool JSON_ParseModeCommand(const char* payload, size_t length, char* mode, size_t size) {
    if (payload == nullptr || mode == nullptr || size == 0) return false;
    mode[0] = '\0';
    Cursor c{payload, payload + length};
    char key[8];
    char value[16];
    if (!Expect(&c, '{') || !PlainString(&c, key, sizeof key) || std::strcmp(key, "mode") != 0 ||
        !Expect(&c, ':') || !PlainString(&c, value, sizeof value) || !Expect(&c, '}'))
        return false;
    SkipBlanks(&c);
    if (c.p != c.end) return false;
    for (const char* v = value; *v != 0; ++v)
        if (*v < 'A' || *v > 'Z') return false;
    if (value[0] == '\0' || std::strlen(value) >= size) return false;
    std::snprintf(mode, size, "%s", value);
    return true;
}
