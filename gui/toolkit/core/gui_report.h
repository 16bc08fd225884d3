// The toolkit's two report routes. Neither stops the program: the operation that found the
// condition returns 0 or does nothing and the program goes on.
#pragma once

// Errors go to the host's error output (message box and "SimError.log").
void GUI_ReportError(const char* text);
// Warnings only go to the host's warning log.
void GUI_ReportWarning(const char* text);

// Tests capture the reports here instead of the host; nullptr restores the host route.
using GUI_ReportHook = void (*)(bool is_error, const char* text);
void GUI_SetReportHook(GUI_ReportHook hook);
