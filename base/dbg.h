// Diagnostic output shared by every module.
#pragma once

#include <cstdarg>

// Formats like printf and writes the text to standard output; nothing is added (callers put
// their own "\n"). Returns the number of characters written or a negative value.
int DBG_Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
int DBG_VPrintf(const char* format, va_list args);

// Tests route the diagnostic text to a sink of their own; nullptr restores standard output.
using DBG_Sink = void (*)(const char* text, int length);
void DBG_SetSink(DBG_Sink sink);

// Reports a parameter that failed its check; used by PARAM_CHECK.
void DBG_ReportParam(const char* file, int line);

// When a parameter fails its check, prints "Wrong parameters value: file %s on line %d\r\n"
// and returns early from the calling function with the given value (none for void functions).
// It never stops the program.
#define PARAM_CHECK(condition, ...) PARAM_CHECK_AS(__FILE__, condition, __VA_ARGS__)

// The same check reporting the given path instead of the compiler's file name, for modules
// whose reports name the module ("elements/uguibattery") wherever the tree was built.
#define PARAM_CHECK_AS(path, condition, ...)                                                       \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            DBG_ReportParam(path, __LINE__);                                                       \
            return __VA_ARGS__;                                                                    \
        }                                                                                          \
    } while (0)
