// The CSV data log: one semicolon-separated file per connection in the data folder
// ("log0.csv" to "log9999.csv"), two header lines naming and describing every column, then one
// line per minute with the values of every listed device. Every field, the header fields
// included, is followed by ";" and every line ends with "\r\n".
//
// All calls run on the GUI task, one at a time. The file is opened and closed around every
// write and around every read of the history page; no handle stays open between them.
#pragma once

#include "devices/device_types.h"
#include "devices/reg_access.h"

#include <cstddef>
#include <cstdint>
#include <string>

constexpr int32_t LOG_FILE_NUMBER_LAST = 9999; // the number after it is 0 again

// Begins a new file: the stored file number ("MODBUS" / "actLogFile") + 1, 0 after 9999 (and
// after a negative number), is stored and names the file, which is created or emptied and
// given the two header lines of the current device list. Returns 0, or -1 when the file cannot
// be created or written; no line is written after a failure until a later begin succeeds.
// The count of lines written starts again at 0 with every file.
int LOG_Init();

// Appends one line with the display unit's clock and the value of every log column of every
// listed device. The line is formed whole in memory and written at once; a write that fails
// part way is cut off again, so the file keeps only whole lines. Returns 0, or -1 before the
// first successful LOG_Init and when the line cannot be written (nothing is printed: the caller
// reports it). After a line is written the line-added hook is called.
int LOG_Put();

// One column's field as a data line holds it (without its ";"): the register read with the
// column's type, the offset added, divided and printed with the column's format. A missing
// window reads as 0. Returns the length, or -1 (buffer emptied) when it does not fit.
int LOG_FormatColumn(const LogColumn& column, const RegisterCell* window, char* buffer,
                     size_t size);

// The current file's path (empty before the first LOG_Init).
std::string LOG_Path();

// The number of the current file (-1 before the first LOG_Init) and the path of any number.
int32_t LOG_FileNumber();
std::string LOG_FilePath(int32_t number);

// Data lines appended to the current file by this process.
int32_t LOG_LinesWritten();

// Called after every appended line (the history page adds its point); nullptr removes it.
using LOG_LineAddedHook = void (*)();
void LOG_SetLineAddedHook(LOG_LineAddedHook hook);

// ---- Readers ----
// They work on the current file opened with LOG_OpenRead and share a line counter and a field
// counter (both from 0). Carriage returns are ignored, so files with bare line feeds read the
// same, and a last line without a line end reads as if it had one. A field is the text up to
// its ";" or its line end; the caller's buffer always comes back zero-terminated.

// Opens the current file for the readers (a file still open for them is closed first).
// Returns 0, or -1 when there is no current file or it cannot be opened.
int LOG_OpenRead();
// Closes the readers' file: 0, or -1 when nothing was open or the close failed.
int LOG_CloseRead();

// From the start of the file, copies field `field` of line `line` into buffer: 0 found,
// -1 not found (or a read error), -2 the field has more than size - 1 characters (the buffer
// then holds the first size - 1 of them and the next read continues after them).
int LOG_GetLine(int32_t line, int32_t field, char* buffer, int32_t size);

// Copies the field at the current position: 0 read and a ";" followed, -1 the line ended
// (or a read error), -2 buffer too small (as above), -3 end of file.
int LOG_GetNextField(char* buffer, int32_t size);

// From the current position, skips fields and lines until the field counter equals `field`
// (a line is left at its end when the counter is already past the field), then copies that
// field and moves past its separator: 0 found, -1 end of file or read error, -2 buffer too
// small.
int LOG_GetField(int32_t field, char* buffer, int32_t size);

// Moves to the first byte of the count-th line from the end (1: the last line); the field
// counter becomes 0 and the line counter LOG_LinesWritten() + 2 - count, the line's index
// in a file begun by this process. 0 goes to the end of the file. Returns 0, or -1 when the
// file is empty or has fewer line ends before its last line than count (the readers are then
// at the end of the file and read nothing).
int LOG_SeekLinesFromEnd(int32_t count);

// The readers' counters.
int32_t LOG_ReaderLine();
int32_t LOG_ReaderField();
