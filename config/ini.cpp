#include "config/ini.h"

#include "base/dbg.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kLineSize = 512;           // line buffer, terminator included
constexpr int kMaxPiece = kLineSize - 1; // a longer line is read in pieces of this length
constexpr size_t kMaxHeaderName = 508;   // "[" name "]" "\n" fits one piece
constexpr size_t kMaxKeyName = 508;
constexpr int kMaxKeyLine = 509; // key, "=" and value, before the "\n"
constexpr int kNumberReadSize = 64;
constexpr int kNumberWriteSize = 32;

std::atomic<INI_FaultHook> g_fault_hook{nullptr};

bool StepFails(IniStep step) {
    const INI_FaultHook hook = g_fault_hook.load(std::memory_order_acquire);
    return hook != nullptr && hook(step);
}

// A byte from 1 to 32: space, tab, "\r" and the other control bytes. Bytes of 128 or more are
// letters of an 8-bit character set ("ß", "é" in Latin-1) and stay part of names and values.
bool IsBlank(char c) {
    const unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 1 && byte <= 32;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// One piece of a line: up to 511 bytes, ending after the "\n" when that comes first.
struct Piece {
    char bytes[kLineSize];
    int length = 0; // bytes read, zero bytes included (they are copied, not parsed)
};

bool ReadPiece(FILE* file, Piece* piece) {
    int length = 0;
    int c = 0;
    while (length < kMaxPiece && (c = std::getc(file)) != EOF) {
        piece->bytes[length++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    piece->bytes[length] = '\0';
    piece->length = length;
    return length > 0;
}

enum class LineKind { Other, Header, Comment, Key };

struct Line {
    LineKind kind = LineKind::Other;
    bool ends_section = false; // first non-blank character is "["
    std::string_view name;     // section name of a header, trimmed key of a key line
    std::string_view value;    // raw text after the key's separator
};

// Parses a piece as text up to its first zero byte.
Line ClassifyPiece(const Piece& piece) {
    std::string_view text(piece.bytes);
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    Line line;
    if (text.empty()) return line;
    if (text.front() == '[') {
        line.ends_section = true;
        const size_t close = text.find(']');
        if (close != std::string_view::npos) {
            line.kind = LineKind::Header;
            line.name = text.substr(1, close - 1);
        }
        return line;
    }
    if (text.front() == ';' || text.front() == '#') {
        line.kind = LineKind::Comment;
        return line;
    }
    size_t separator = text.find('=');
    if (separator == std::string_view::npos) separator = text.find(':');
    if (separator == std::string_view::npos) return line;
    line.kind = LineKind::Key;
    line.name = TrimBlanks(text.substr(0, separator));
    line.value = text.substr(separator + 1);
    return line;
}

bool IsHeaderOf(const Line& line, std::string_view section) {
    return line.kind == LineKind::Header && EqualIgnoringCase(line.name, section);
}

bool IsKeyLineOf(const Line& line, std::string_view key) {
    return line.kind == LineKind::Key && EqualIgnoringCase(line.name, key);
}

// A double quote toggles between inside and outside quotes unless it is escaped: two double
// quotes in a row, or a backslash before it.
bool IsEscapedQuote(std::string_view text, size_t at) {
    return at + 1 < text.size() && (text[at] == '"' || text[at] == '\\') && text[at + 1] == '"';
}

// Turns the raw text after the separator into the value: trailing comment outside quotes and
// surrounding blanks removed, outer quotes removed with their escaped quotes resolved. The
// result (at most 510 characters) goes into out, zero-terminated.
void ParseValue(std::string_view raw, char out[kLineSize]) {
    while (!raw.empty() && IsBlank(raw.front()))
        raw.remove_prefix(1);
    bool inside = false;
    size_t end = raw.size();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (IsEscapedQuote(raw, i)) {
            ++i;
        } else if (raw[i] == '"') {
            inside = !inside;
        } else if ((raw[i] == ';' || raw[i] == '#') && !inside) {
            end = i;
            break;
        }
    }
    std::string_view value = TrimBlanks(raw.substr(0, end));
    size_t length = 0;
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        const std::string_view inner = value.substr(1, value.size() - 2);
        for (size_t i = 0; i < inner.size(); ++i) {
            if (IsEscapedQuote(inner, i)) ++i;
            out[length++] = inner[i];
        }
    } else {
        std::memcpy(out, value.data(), value.size());
        length = value.size();
    }
    out[length] = '\0';
}

// The reading algorithm: finds the first header of the section, then the key inside it.
bool FindValue(FILE* file, std::string_view section, std::string_view key, char value[kLineSize]) {
    Piece piece;
    bool in_section = false;
    while (ReadPiece(file, &piece)) {
        const Line line = ClassifyPiece(piece);
        if (!in_section) {
            in_section = IsHeaderOf(line, section);
            continue;
        }
        if (line.ends_section) return false;
        if (IsKeyLineOf(line, key)) {
            ParseValue(line.value, value);
            return true;
        }
    }
    return false;
}

// "[section]\n" with the name cut to 508 characters.
int FormatHeader(std::string_view section, char line[kLineSize]) {
    const size_t length = std::min(section.size(), kMaxHeaderName);
    line[0] = '[';
    std::memcpy(line + 1, section.data(), length);
    line[length + 1] = ']';
    line[length + 2] = '\n';
    return static_cast<int>(length + 3);
}

// "key=value\n": the key cut to 508 characters, key, "=" and value together cut to 509. A
// value with a double quote, ";" or "#", or with a space at its end, is put in double quotes
// with a backslash before each inner double quote.
int FormatKeyLine(std::string_view key, std::string_view value, char line[kLineSize]) {
    int length = 0;
    const auto put = [&](char c) {
        if (length < kMaxKeyLine) line[length++] = c;
    };
    for (size_t i = 0; i < key.size() && i < kMaxKeyName; ++i)
        put(key[i]);
    put('=');
    const bool quoted = value.find_first_of("\";#") != std::string_view::npos ||
                        (!value.empty() && value.back() == ' ');
    if (quoted) put('"');
    for (const char c : value) {
        if (c == '"') put('\\');
        put(c);
    }
    if (quoted) put('"');
    line[length++] = '\n';
    return length;
}

// The temporary file: the path with its last character replaced by "~". Empty when that would
// be the path itself.
std::string TemporaryPath(std::string_view path) {
    if (path.empty() || path.back() == '~') return {};
    std::string temporary(path);
    temporary.back() = '~';
    return temporary;
}

// After the rename the folder's entry is made durable too; not every file system can.
void SyncFolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (descriptor < 0) return;
    ::fsync(descriptor);
    ::close(descriptor);
}

// The new file, written beside the old one and put in its place only when it is complete
// and on disk. Abandoned (closed and removed) when anything fails on the way.
class NewFile {
  public:
    ~NewFile() { Abandon(); }

    bool Open(const std::string& temporary, const struct stat* model) {
        if (StepFails(IniStep::CreateTemp)) return false;
        file_ = std::fopen(temporary.c_str(), "wb");
        if (file_ == nullptr) return false;
        temporary_ = temporary;
        // The new file keeps the old file's permissions.
        if (model != nullptr) ::fchmod(::fileno(file_), model->st_mode & 07777);
        return true;
    }

    void Write(const char* bytes, size_t length) {
        if (failed_ || length == 0) return;
        if (StepFails(IniStep::Write) || std::fwrite(bytes, 1, length, file_) != length) {
            failed_ = true;
            return;
        }
        written_ += length;
        last_ = bytes[length - 1];
    }

    // Before a new line, the copied text is given its "\n" when it lacks one.
    void EndLine() {
        if (written_ > 0 && last_ != '\n') Write("\n", 1);
    }

    // Flushes the file to disk, closes it and renames it over the old file.
    bool Commit(const char* path) {
        if (failed_) return false;
        if (StepFails(IniStep::Flush) || std::fflush(file_) != 0) return false;
        if (StepFails(IniStep::Sync) || ::fsync(::fileno(file_)) != 0) return false;
        const bool close_fails = StepFails(IniStep::Close);
        const int closed = std::fclose(file_);
        file_ = nullptr;
        if (close_fails || closed != 0) return false;
        if (StepFails(IniStep::Rename) || std::rename(temporary_.c_str(), path) != 0) return false;
        temporary_.clear();
        SyncFolderOf(path);
        return true;
    }

  private:
    void Abandon() {
        if (file_ != nullptr) std::fclose(file_);
        file_ = nullptr;
        if (!temporary_.empty()) std::remove(temporary_.c_str());
        temporary_.clear();
    }

    std::string temporary_;
    FILE* file_ = nullptr;
    bool failed_ = false;
    size_t written_ = 0;
    char last_ = '\0';
};

struct FileCloser {
    FILE* file;
    ~FileCloser() { std::fclose(file); }
};

// Copies the source into the new file with the key line replaced or added.
void CopyWithKey(FILE* source, NewFile* out, std::string_view section, std::string_view key,
                 const char* header, int header_length, const char* key_line, int key_line_length) {
    Piece piece;
    bool found_section = false;
    while (ReadPiece(source, &piece)) {
        out->Write(piece.bytes, static_cast<size_t>(piece.length));
        if (IsHeaderOf(ClassifyPiece(piece), section)) {
            found_section = true;
            break;
        }
    }
    if (!found_section) {
        out->EndLine();
        out->Write(header, static_cast<size_t>(header_length));
        out->Write(key_line, static_cast<size_t>(key_line_length));
        return;
    }
    bool placed = false;
    while (!placed && ReadPiece(source, &piece)) {
        const Line line = ClassifyPiece(piece);
        if (line.ends_section) {
            out->Write(key_line, static_cast<size_t>(key_line_length));
            out->Write(piece.bytes, static_cast<size_t>(piece.length));
            placed = true;
        } else if (IsKeyLineOf(line, key)) {
            // The old line goes, with any comment on it.
            out->Write(key_line, static_cast<size_t>(key_line_length));
            placed = true;
        } else {
            out->Write(piece.bytes, static_cast<size_t>(piece.length));
        }
    }
    if (!placed) {
        out->EndLine();
        out->Write(key_line, static_cast<size_t>(key_line_length));
        return;
    }
    while (ReadPiece(source, &piece))
        out->Write(piece.bytes, static_cast<size_t>(piece.length));
}

} // namespace

int INI_GetString(const char* section, const char* key, const char* default_text, char* result,
                  int size, const char* path) {
    if (result == nullptr || size <= 0) return 0;
    result[0] = '\0';
    PARAM_CHECK(section != nullptr && key != nullptr && path != nullptr, 0);
    char value[kLineSize];
    bool found = false;
    if (FILE* file = std::fopen(path, "rb")) {
        found = FindValue(file, section, key, value);
        std::fclose(file);
    }
    const char* text = found ? value : (default_text != nullptr ? default_text : "");
    const size_t length = std::min(std::strlen(text), static_cast<size_t>(size - 1));
    std::memcpy(result, text, length);
    result[length] = '\0';
    return static_cast<int>(length);
}

int32_t INI_GetLong(const char* section, const char* key, int32_t default_number,
                    const char* path) {
    char text[kNumberReadSize];
    const int length = INI_GetString(section, key, "", text, sizeof text, path);
    if (length == 0) return default_number;
    const int base = (length >= 2 && (text[1] == 'x' || text[1] == 'X')) ? 16 : 10;
    const long long number = std::strtoll(text, nullptr, base);
    // A 32-bit long saturates as strtol does on such a platform.
    if (number > INT32_MAX) return INT32_MAX;
    if (number < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(number);
}

int INI_PutString(const char* section, const char* key, const char* value, const char* path) {
    PARAM_CHECK(section != nullptr && key != nullptr && value != nullptr && path != nullptr, 0);
    const std::string temporary = TemporaryPath(path);
    if (temporary.empty()) return 0;

    char header[kLineSize];
    const int header_length = FormatHeader(section, header);
    char key_line[kLineSize];
    const int key_line_length = FormatKeyLine(key, value, key_line);

    NewFile out;
    FILE* source = std::fopen(path, "rb");
    if (source == nullptr) {
        // Only a file that does not exist is made anew; an unreadable one is left alone.
        if (errno != ENOENT) return 0;
        if (!out.Open(temporary, nullptr)) return 0;
        out.Write(header, static_cast<size_t>(header_length));
        out.Write(key_line, static_cast<size_t>(key_line_length));
        return out.Commit(path) ? 1 : 0;
    }
    FileCloser closer{source};

    char current[kLineSize];
    if (FindValue(source, section, key, current) && std::strcmp(current, value) == 0) return 1;
    if (std::ferror(source) || std::fseek(source, 0, SEEK_SET) != 0) return 0;

    struct stat model {};
    const bool have_model = ::fstat(::fileno(source), &model) == 0;
    if (!out.Open(temporary, have_model ? &model : nullptr)) return 0;
    CopyWithKey(source, &out, section, key, header, header_length, key_line, key_line_length);
    // A read error would otherwise pass for the end of the file and cut the copy short.
    if (std::ferror(source)) return 0;
    return out.Commit(path) ? 1 : 0;
}

int INI_PutLong(const char* section, const char* key, int32_t number, const char* path) {
    char text[kNumberWriteSize];
    std::snprintf(text, sizeof text, "%" PRId32, number);
    return INI_PutString(section, key, text, path);
}

void INI_SetFaultHook(INI_FaultHook hook) {
    g_fault_hook.store(hook, std::memory_order_release);
}
