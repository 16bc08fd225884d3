// A small bounded JSON writer for the messages the publisher sends, and a strict parser for
// the one command payload it accepts. Text from the network is untrusted: the parser takes
// exactly {"mode": "<word>"} (white space allowed between tokens) and nothing else.
#pragma once

#include <cstddef>

// Writes into a fixed buffer; once something did not fit, the writer is marked overflowed and
// the text must not be sent. Commas between members and elements are put in by the writer.
class JsonWriter {
  public:
    JsonWriter(char* buffer, size_t capacity);
    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    void Key(const char* key);
    void String(const char* text); // escaped: quotes, backslash, control characters
    void Number(const char* text); // a number as printed (checked: a JSON number, else null)
    void Integer(long long value);
    bool Ok() const { return !overflow_; }
    const char* Text() const { return buffer_; }
    size_t Length() const { return length_; }

  private:
    void Raw(const char* text, size_t length);
    void Separate();
    char* buffer_;
    size_t capacity_;
    size_t length_ = 0;
    bool overflow_ = false;
    bool need_comma_ = false;
};

// True when `text` (after leading and trailing blanks) is a JSON number; `out` then holds it
// without the blanks (size at least 32).
bool JSON_NumberText(const char* text, char* out, size_t size);

// Parses a command payload {"mode":"ON"}: true with the word (at most size - 1 characters of
// A-Z) in `mode`; false for anything else (other keys, more keys, other types, trailing text).
bool JSON_ParseModeCommand(const char* payload, size_t length, char* mode, size_t size);
