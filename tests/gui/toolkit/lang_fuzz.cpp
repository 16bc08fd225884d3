// Loads arbitrary bytes as a language file: no crash, and every text handed out is a
// zero-terminated string without line ends that lies within what was loaded.
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/lang/gui_lang.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

int g_reports = 0;

void CountReport(bool, const char*) {
    ++g_reports;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    GUI_SetReportHook(CountReport);
    GUI_Lang_SetCount(2);
    g_reports = 0;
    const int index = size > 0 ? data[0] & 1 : 0;
    if (GUI_Lang_Load(reinterpret_cast<const char*>(data), static_cast<int>(size), index) != 0)
        std::abort();
    // One report per illegal byte at most.
    if (static_cast<size_t>(g_reports) > size) std::abort();
    GUI_Lang_Select(index);

    const int count = GUI_Lang_GetNumTexts(index);
    if (static_cast<size_t>(count) > size) std::abort();
    size_t total = 0;
    for (int n = 0; n < count; ++n) {
        const char* text = GUI_Lang_GetText(n);
        if (text == nullptr) std::abort();
        const size_t length = std::strlen(text);
        if (std::memchr(text, '\r', length) != nullptr || std::memchr(text, '\n', length))
            std::abort();
        total += length;
    }
    if (total > size) std::abort();
    if (GUI_Lang_GetText(count) != nullptr) std::abort();
    return 0;
}
