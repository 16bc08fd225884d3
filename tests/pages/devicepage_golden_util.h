// Device page tests: a page window painted like the main screen's device pages, devices with
// fixed register values, captured diagnostics, and reference pictures compared with a small
// tolerance per colour channel.
#pragma once

#include "devices/device_list.h"
#include "devices/device_types.h"
#include "tests/gui/toolkit/widget_test_util.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pagetest {

// Every diagnostic line written while alive.
class DebugCapture {
  public:
    DebugCapture();
    ~DebugCapture();
    std::string Text() const;
    int Count(const std::string& needle) const;
    void Clear();
};

// The toolkit on the headless display, an empty device list and register store, fresh
// queues, page registers and names file folder.
class PageTest : public widgettest::WidgetTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A page window for page number 0 showing every listed device of `type`, painted by the
    // test's own page procedure (tile frames, then the elements of each online device), at
    // (2, 60) like the main screen's pages; `width` 0 takes the counting rule's width.
    WM_HANDLE MakePage(const DeviceType* type, int width = 0);
    void Repaint(); // invalidates the page and runs the toolkit

    WM_HANDLE page = 0;
    DebugCapture debug;
    std::string data_folder;
};

// Register writes by register type (1/2 two registers, 3/4 one, 5 to 8 one byte, 13 four).
void SetValue(RegisterCell* window, int32_t index, int32_t type, int64_t value);

// Fills the registers of a device as the reference pictures show it: mid-range values, limits
// spread over the range, LEDs in their first lit state, buttons allowed, tile status 0;
// `seed` varies the values from device to device.
void FillFixedValues(const DeviceEntry& entry, int seed);

// The devices of the gateway simulator's scenarios with fixed register values: "full" (a display
// unit with four current and four level sensors and one device of every other type) and "wide"
// (nine Corvo 500, five Celton 100).
void ListFull();
void ListWide();

// The shown frame as a reference picture: with VELTRA_REGEN_GOLDEN set it is written to
// tests/pages/golden/<name>.png; otherwise it is compared with it and on a mismatch the
// actual picture and a difference picture are written beside it. Empty when they agree.
std::string CompareWithGolden(const std::string& folder, const std::string& name,
                              const std::vector<uint32_t>& pixels, int width, int height);
#ifdef VELTRA_SOURCE_DIR
inline std::string GoldenFolder() {
    return std::string(VELTRA_SOURCE_DIR) + "/tests/pages/golden/";
}
#endif

// Pixel comparison with a tolerance per channel: the count of pixels that differ by more,
// and a picture of the differences (black where they agree, red where they do not).
int CountDifferences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int tolerance,
                     std::vector<uint32_t>* diff);
bool ReadPng(const std::string& path, std::vector<uint32_t>* pixels, int* width, int* height);

} // namespace pagetest
