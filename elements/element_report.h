// The parameter report of an element whose range is empty, written once per drawing place
// (a device's element on a page) until the range changes, instead of on every repaint. The
// page names the place with a key; key 0 is no place, and its reports are always written.
#pragma once

#include <cstdint>

// Room for this many places with an empty range at a time. A place that finds the table full
// is not remembered: its reports are written every time, as without a key.
constexpr int ELEMENT_REPORT_PLACES = 512;

// True when the report of the empty range lo..hi at `key` is due: the place has not reported
// it yet, or it reported another range since. Remembers that it is reported now.
bool ELEMENT_EmptyRangeReportDue(uint32_t key, int32_t lo, int32_t hi);
// The place's range is usable again: a later empty range is reported anew.
void ELEMENT_EmptyRangeForget(uint32_t key);
// Forgets every place: a new device list (a new connection) reports its empty ranges anew.
void ELEMENT_EmptyRangeForgetAll();
