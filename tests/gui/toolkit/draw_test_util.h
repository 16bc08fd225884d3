// Small frames to draw on, a block font with known metrics and capture of the drawing code's
// reports, shared by the drawing tests.
#pragma once

#include "gui/toolkit/draw/gui_draw.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace drawtest {

constexpr uint32_t kFill = 0x123456; // what a fresh frame holds

// A frame set as the drawing target, with a fresh current context (origin 0, no clip).
class Frame {
  public:
    Frame(int width, int height);
    ~Frame();
    uint32_t At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    void Set(int x, int y, uint32_t v) { pixels_[static_cast<size_t>(y) * width_ + x] = v; }
    void Fill(uint32_t v);
    int width() const { return width_; }
    int height() const { return height_; }
    int changes() const;
    // Pixels that differ from v.
    int CountNot(uint32_t v) const;
    // Every pixel outside the rectangle (inclusive) still holds v.
    bool UnchangedOutside(int x0, int y0, int x1, int y1, uint32_t v) const;
    const std::vector<uint32_t>& pixels() const { return pixels_; }

  private:
    int width_;
    int height_;
    std::vector<uint32_t> pixels_;
};

// Records every error and warning text while alive.
class Reports {
  public:
    Reports();
    ~Reports();
    std::vector<std::string> errors;
    std::vector<std::string> warnings;
};

// A font of solid 3 x 5 blocks in a 4-pixel advance, cell 7 rows (blocks in rows 1-5),
// baseline 6, line distance 8, for 0x20-0x7E and 0xA0-0xFF; the space is blank.
extern const GUI_FONTDEF kBlockFont;

// Columns (of row y) in [x0, x1] holding v.
int CountInRow(const Frame& f, int y, int x0, int x1, uint32_t v);

} // namespace drawtest
