#include "log/log.h"

#include "base/datafolder.h"
#include "config/settings.h"
#include "devices/device_list.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One whole line, header or data. 265 devices of at most 8 columns with fields of at most 64
// characters need about 136 KiB; a line that would still not fit is not written at all.
constexpr size_t kLineCapacity = 256 * 1024;

struct LineBuffer {
    std::array<char, kLineCapacity> text;
    size_t length = 0;
    bool overflow = false;
};

// GUI task only (begin, minute write and the history page run one after another there).
LineBuffer g_line;
std::string g_path;
int32_t g_number = -1;
bool g_ready = false;
std::atomic<int32_t> g_lines_written{0};
std::atomic<LOG_LineAddedHook> g_line_added{nullptr};

void Clear(LineBuffer* line) {
    line->length = 0;
    line->overflow = false;
    line->text[0] = '\0';
}

// Appends formatted text; a text that does not fit marks the line as overflowed.
void AppendV(LineBuffer* line, const char* format, va_list args) {
    if (line->overflow) return;
    const size_t room = line->text.size() - line->length;
    const int written = std::vsnprintf(line->text.data() + line->length, room, format, args);
    if (written < 0 || static_cast<size_t>(written) >= room) {
        line->overflow = true;
        return;
    }
    line->length += static_cast<size_t>(written);
}

__attribute__((format(printf, 2, 3))) void Append(LineBuffer* line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    AppendV(line, format, args);
    va_end(args);
}

// The column formats come from the device tables, so they cannot be checked at compile time;
// the tables' test checks that each one takes the argument given here.
int FormatColumn(char* buffer, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(buffer, size, format, args);
    va_end(args);
    return written;
}

// Text fields of the device records are fixed arrays; never read past them.
int Bounded(const char* text, size_t capacity) {
    return static_cast<int>(strnlen(text, capacity));
}

const LogLayout* ColumnsOf(const DeviceEntry& entry) {
    const DeviceType* type = entry.type.load(std::memory_order_relaxed);
    return type != nullptr ? type->log_columns : nullptr;
}

int32_t DeviceCount() {
    const int32_t count = g_device_list.device_count.load(std::memory_order_acquire);
    return count < 0 ? 0 : (count > DEV_LIST_SIZE ? DEV_LIST_SIZE : count);
}

void BuildHeaders(LineBuffer* line) {
    Clear(line);
    Append(line, "Time;");
    const int32_t count = DeviceCount();
    for (int32_t i = 0; i < count; ++i) {
        const DeviceEntry& entry = g_device_list.entries[i];
        const LogLayout* layout = ColumnsOf(entry);
        if (layout == nullptr) continue;
        const int name_length = Bounded(entry.name, sizeof entry.name);
        // The display group's members share the display unit's id, so they go without it.
        const bool display_member = DEV_IsDisplayMember(entry);
        const int32_t unit_id = entry.unit_id.load(std::memory_order_relaxed);
        for (int32_t c = 0; c < layout->column_count; ++c) {
            const LogColumn& column = layout->columns[c];
            const int column_length = Bounded(column.name, sizeof column.name);
            if (display_member)
                Append(line, "%.*s:%.*s;", name_length, entry.name, column_length, column.name);
            else
                Append(line, "%.*s:%d:%.*s;", name_length, entry.name, unit_id, column_length,
                       column.name);
        }
    }
    Append(line, "\r\nFormat;");
    for (int32_t i = 0; i < count; ++i) {
        const LogLayout* layout = ColumnsOf(g_device_list.entries[i]);
        if (layout == nullptr) continue;
        for (int32_t c = 0; c < layout->column_count; ++c) {
            const LogColumn& column = layout->columns[c];
            Append(line, "%.*s;", Bounded(column.format, sizeof column.format), column.format);
        }
    }
    Append(line, "\r\n");
}

void BuildDataLine(LineBuffer* line) {
    Clear(line);
    // Without a display unit the clock reads as zeros, as its empty registers would.
    DeviceClock clock{};
    DEV_ReadClock(&clock);
    Append(line, "%02d-%02d-%02d %02d:%02d:%02d;", clock.year, clock.month, clock.day, clock.hour,
           clock.minute, clock.second);
    const int32_t count = DeviceCount();
    for (int32_t i = 0; i < count; ++i) {
        const DeviceEntry& entry = g_device_list.entries[i];
        const LogLayout* layout = ColumnsOf(entry);
        if (layout == nullptr) continue;
        const RegisterCell* window = entry.registers.load(std::memory_order_relaxed);
        for (int32_t c = 0; c < layout->column_count; ++c) {
            char field[64];
            if (LOG_FormatColumn(layout->columns[c], window, field, sizeof field) < 0) {
                line->overflow = true;
                return;
            }
            Append(line, "%s;", field);
        }
    }
    Append(line, "\r\n");
}

} // namespace

int LOG_FormatColumn(const LogColumn& column, const RegisterCell* window, char* buffer,
                     size_t size) {
    if (buffer == nullptr || size == 0) return -1;
    // The low 32 bits of the value, offset with wrap-around like the 32-bit sum it is.
    const int64_t raw =
        window != nullptr ? Reg_GetValue(column.reg, column.register_type, window) : 0;
    const int32_t value =
        static_cast<int32_t>(static_cast<uint32_t>(raw) + static_cast<uint32_t>(column.offset));
    int written;
    if (column.divisor == 1) {
        written = FormatColumn(buffer, size, column.format, value);
    } else {
        const float scaled = static_cast<float>(value) / static_cast<float>(column.divisor);
        written = FormatColumn(buffer, size, column.format, static_cast<double>(scaled));
    }
    if (written < 0 || static_cast<size_t>(written) >= size) {
        buffer[0] = '\0';
        return -1;
    }
    return written;
}

namespace {

// Writes all bytes, going on after a short write; false on an error.
bool WriteAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (written == 0) return false;
        data += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

// Closes without retrying on EINTR (the descriptor is gone either way on Linux).
bool CloseFile(int fd) {
    return ::close(fd) == 0;
}

} // namespace

int LOG_Init() {
    // Compared unsigned, so a negative stored number also starts again at 0.
    uint32_t number = static_cast<uint32_t>(CONFIG_GetLogFileNr()) + 1u;
    if (number > static_cast<uint32_t>(LOG_FILE_NUMBER_LAST)) number = 0;
    g_path = LOG_FilePath(static_cast<int32_t>(number));
    g_number = static_cast<int32_t>(number);
    CONFIG_SetLogFileNr(static_cast<int32_t>(number));

    // A failed begin leaves no usable file; lines must not go after a broken or missing header.
    g_ready = false;
    BuildHeaders(&g_line);
    if (g_line.overflow) return -1;
    const int fd = ::open(g_path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    const bool written = WriteAll(fd, g_line.text.data(), g_line.length);
    const bool closed = CloseFile(fd);
    if (!written || !closed) return -1;
    g_lines_written.store(0, std::memory_order_relaxed);
    g_ready = true;
    return 0;
}

int LOG_Put() {
    if (!g_ready) return -1;
    BuildDataLine(&g_line);
    if (g_line.overflow) return -1;

    const int fd = ::open(g_path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat before {};
    if (::fstat(fd, &before) != 0) {
        CloseFile(fd);
        return -1;
    }
    if (!WriteAll(fd, g_line.text.data(), g_line.length)) {
        // Cut a partly written line off again so that the next line starts on its own; if even
        // that fails there is nothing more to do than report the failed write.
        [[maybe_unused]] const bool cut = ::ftruncate(fd, before.st_size) == 0;
        CloseFile(fd);
        return -1;
    }
    if (!CloseFile(fd)) return -1;

    g_lines_written.fetch_add(1, std::memory_order_relaxed);
    if (LOG_LineAddedHook hook = g_line_added.load(std::memory_order_acquire)) hook();
    return 0;
}

std::string LOG_Path() {
    return g_path;
}

int32_t LOG_FileNumber() {
    return g_number;
}

std::string LOG_FilePath(int32_t number) {
    char name[24];
    std::snprintf(name, sizeof name, "log%d.csv", static_cast<int>(number));
    return DATA_FilePath(name);
}

int32_t LOG_LinesWritten() {
    return g_lines_written.load(std::memory_order_relaxed);
}

void LOG_SetLineAddedHook(LOG_LineAddedHook hook) {
    g_line_added.store(hook, std::memory_order_release);
}
