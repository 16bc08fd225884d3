#include "log/log.h"

#include "base/dbg.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A history load walks up to 46,144 lines: the file is read in blocks, never a byte per call.
constexpr size_t kBlockSize = 64 * 1024;

// What the byte source gives besides a byte.
constexpr int kEndOfFile = -1;
constexpr int kReadError = -2;
// What reading a field can end with besides its separator.
constexpr int kBufferFull = -3;

struct Reader {
    int fd = -1;
    std::array<char, kBlockSize> block;
    off_t block_start = 0; // file offset of block[0]
    size_t length = 0;     // bytes held in block
    size_t pos = 0;        // next byte in block
    // The last byte given out, carriage returns excepted; a line feed at a line start. A file
    // whose last line has no line end gets one made up from it at the end of the file.
    char last = '\n';
    int32_t line = 0;
    int32_t field = 0;
};

// GUI task only, like every caller of the readers.
Reader g_reader;

void MoveTo(off_t offset) {
    g_reader.block_start = offset;
    g_reader.length = 0;
    g_reader.pos = 0;
    g_reader.last = '\n';
}

// Reads [offset, offset + length) into the block; false on an error or a short file.
bool ReadAt(off_t offset, size_t length) {
    size_t done = 0;
    while (done < length) {
        const ssize_t got =
            ::pread(g_reader.fd, g_reader.block.data() + done, length - done, offset + done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

// Loads the block after the current one: true when it holds bytes. *error tells a read error
// from the end of the file.
bool Refill(bool* error) {
    Reader& r = g_reader;
    r.block_start += static_cast<off_t>(r.length);
    r.pos = 0;
    r.length = 0;
    ssize_t got;
    do {
        got = ::pread(r.fd, r.block.data(), r.block.size(), r.block_start);
    } while (got < 0 && errno == EINTR);
    *error = got < 0;
    if (got <= 0) return false;
    r.length = static_cast<size_t>(got);
    return true;
}

// At the end of the file: the made-up line end of an unfinished last line, then kEndOfFile.
int AtEnd(bool error) {
    if (error) return kReadError;
    if (g_reader.last != '\n') {
        g_reader.last = '\n';
        return '\n';
    }
    return kEndOfFile;
}

// The next byte that is not a carriage return, kEndOfFile or kReadError.
int NextByte() {
    Reader& r = g_reader;
    for (;;) {
        while (r.pos < r.length) {
            const char c = r.block[r.pos++];
            if (c != '\r') {
                r.last = c;
                return static_cast<unsigned char>(c);
            }
        }
        bool error = false;
        if (!Refill(&error)) return AtEnd(error);
    }
}

// Moves past the end of the current line: '\n', kEndOfFile or kReadError.
int SkipLine() {
    Reader& r = g_reader;
    for (;;) {
        if (r.pos < r.length) {
            const char* from = r.block.data() + r.pos;
            const void* hit = std::memchr(from, '\n', r.length - r.pos);
            if (hit != nullptr) {
                r.pos = static_cast<size_t>(static_cast<const char*>(hit) - r.block.data()) + 1;
                r.last = '\n';
                return '\n';
            }
            for (size_t i = r.length; i > r.pos; --i) {
                if (r.block[i - 1] != '\r') {
                    r.last = r.block[i - 1];
                    break;
                }
            }
            r.pos = r.length;
        }
        bool error = false;
        if (!Refill(&error)) return AtEnd(error);
    }
}

// Steps the counters over a separator.
void Count(int separator) {
    if (separator == '\n') {
        ++g_reader.line;
        g_reader.field = 0;
    } else if (separator == ';') {
        ++g_reader.field;
    }
}

// Copies the bytes of the field at the current position into buffer until its separator.
// Returns the separator (counted), kEndOfFile, kReadError or kBufferFull. A field that fills
// the buffer exactly still fits; a further byte is left unread for the next call.
int ReadField(char* buffer, int32_t size) {
    Reader& r = g_reader;
    int32_t length = 0;
    for (;;) {
        const char last_before = r.last;
        const int c = NextByte();
        if (c == ';' || c == '\n' || c < 0) {
            buffer[length] = '\0';
            Count(c);
            return c;
        }
        if (length == size - 1) {
            // The byte came out of the block (a made-up line end is a separator), so it can
            // be put back.
            --r.pos;
            r.last = last_before;
            buffer[length] = '\0';
            return kBufferFull;
        }
        buffer[length++] = static_cast<char>(c);
    }
}

bool ValidBuffer(char* buffer, int32_t size) {
    if (buffer == nullptr || size < 1) return false;
    buffer[0] = '\0';
    return true;
}

} // namespace

int LOG_OpenRead() {
    if (g_reader.fd >= 0) LOG_CloseRead();
    const std::string path = LOG_Path();
    if (path.empty()) return -1;
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    g_reader.fd = fd;
    MoveTo(0);
    g_reader.line = 0;
    g_reader.field = 0;
    return 0;
}

int LOG_CloseRead() {
    if (g_reader.fd < 0) return -1;
    const int fd = g_reader.fd;
    g_reader.fd = -1;
    MoveTo(0);
    return ::close(fd) == 0 ? 0 : -1;
}

int LOG_GetLine(int32_t line, int32_t field, char* buffer, int32_t size) {
    PARAM_CHECK(ValidBuffer(buffer, size) && line >= 0 && field >= 0, -1);
    Reader& r = g_reader;
    if (r.fd < 0) return -1;
    MoveTo(0);
    r.line = 0;
    r.field = 0;
    while (r.line < line) {
        const int c = SkipLine();
        if (c < 0) return -1;
        Count(c);
    }
    while (r.field < field) {
        const int c = NextByte();
        if (c < 0 || c == '\n') {
            Count(c);
            return -1; // the line ended before the field
        }
        Count(c);
    }
    const int end = ReadField(buffer, size);
    if (end == kBufferFull) return -2;
    return end < 0 ? -1 : 0;
}

int LOG_GetNextField(char* buffer, int32_t size) {
    PARAM_CHECK(ValidBuffer(buffer, size), -1);
    if (g_reader.fd < 0) return -1;
    switch (ReadField(buffer, size)) {
        case ';':
            return 0;
        case kBufferFull:
            return -2;
        case kEndOfFile:
            return -3;
        default: // the line end or a read error
            return -1;
    }
}

int LOG_GetField(int32_t field, char* buffer, int32_t size) {
    PARAM_CHECK(ValidBuffer(buffer, size) && field >= 0, -1);
    Reader& r = g_reader;
    if (r.fd < 0) return -1;
    while (r.field != field) {
        // Past the field: its next chance is on the next line.
        const int c = r.field > field ? SkipLine() : NextByte();
        if (c < 0) return -1;
        Count(c);
    }
    const int end = ReadField(buffer, size);
    if (end == kBufferFull) return -2;
    return end < 0 ? -1 : 0;
}

int LOG_SeekLinesFromEnd(int32_t count) {
    PARAM_CHECK(count >= 0, -1);
    Reader& r = g_reader;
    if (r.fd < 0) return -1;
    struct stat status {};
    if (::fstat(r.fd, &status) != 0) return -1;
    const off_t size = status.st_size;
    MoveTo(size);
    if (size == 0) return -1;
    const int32_t line = LOG_LinesWritten() + 2 - count;
    if (count == 0) {
        r.line = line;
        r.field = 0;
        return 0;
    }

    // Backwards in blocks, from just before the last line's line end: every line feed counted
    // is the end of the line before; carriage returns do not count.
    bool past_last_end = false;
    int32_t found = 0;
    off_t end = size;
    while (end > 0) {
        const off_t start = end > static_cast<off_t>(kBlockSize) ? end - kBlockSize : 0;
        const size_t length = static_cast<size_t>(end - start);
        if (!ReadAt(start, length)) {
            MoveTo(size);
            return -1;
        }
        size_t i = length;
        while (!past_last_end && i > 0) {
            const char c = r.block[i - 1];
            if (c == '\r') {
                --i;
                continue;
            }
            past_last_end = true;
            if (c == '\n') --i;
        }
        while (i > 0) {
            const void* hit = ::memrchr(r.block.data(), '\n', i);
            if (hit == nullptr) break;
            const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - r.block.data());
            if (++found == count) {
                // Read on from the line's first byte out of the block just searched.
                r.block_start = start;
                r.length = length;
                r.pos = at + 1;
                r.last = '\n';
                r.line = line;
                r.field = 0;
                return 0;
            }
            i = at;
        }
        end = start;
    }
    MoveTo(size);
    return -1;
}

int32_t LOG_ReaderLine() {
    return g_reader.line;
}

int32_t LOG_ReaderField() {
    return g_reader.field;
}
