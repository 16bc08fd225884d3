#include "elements/element_report.h"

#include <array>
#include <cstddef>

namespace {

struct Place {
    uint32_t key = 0; // 0: free
    int32_t lo = 0;
    int32_t hi = 0;
};

// Drawn from the GUI task only.
std::array<Place, ELEMENT_REPORT_PLACES> g_places{};
int g_used = 0; // places in use are packed at the front

int Find(uint32_t key) {
    for (int i = 0; i < g_used; ++i)
        if (g_places[static_cast<size_t>(i)].key == key) return i;
    return -1;
}

} // namespace

bool ELEMENT_EmptyRangeReportDue(uint32_t key, int32_t lo, int32_t hi) {
    if (key == 0) return true;
    const int at = Find(key);
    if (at >= 0) {
        Place& place = g_places[static_cast<size_t>(at)];
        if (place.lo == lo && place.hi == hi) return false;
        place.lo = lo;
        place.hi = hi;
        return true;
    }
    if (g_used < ELEMENT_REPORT_PLACES)
        g_places[static_cast<size_t>(g_used++)] = Place{key, lo, hi};
    return true;
}

void ELEMENT_EmptyRangeForget(uint32_t key) {
    if (key == 0 || g_used == 0) return;
    const int at = Find(key);
    if (at < 0) return;
    // The last place moves into the gap, so the used ones stay packed.
    g_places[static_cast<size_t>(at)] = g_places[static_cast<size_t>(g_used - 1)];
    g_places[static_cast<size_t>(g_used - 1)] = Place{};
    --g_used;
}

void ELEMENT_EmptyRangeForgetAll() {
    g_places.fill(Place{});
    g_used = 0;
}
