// Invalidation and repainting on the headless host's frame buffers.
#include "tests/gui/toolkit/wm_test_util.h"

#include "gui/host/host.h"
#include "gui/toolkit/core/gui_alloc.h"
#include "gui/toolkit/draw/gui_draw.h"

#include <cstring>

using namespace wmtest;

namespace {

class PaintTest : public WmTest {
  protected:
    // Changes the colour a recording window paints (0xBBGGRR).
    void Recolour(WM_HANDLE win, GUI_COLOUR colour) {
        auto* obj = static_cast<WM_Obj*>(GUI_ALLOC_h2p(win));
        ASSERT_NE(obj, nullptr);
        reinterpret_cast<TestData*>(obj + 1)->colour =
            ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
        GUI_ALLOC_UnlockH(win);
    }
    // Pixels that differ between two frames, outside the rectangle (inclusive).
    static int ChangedOutside(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b,
                              const GUI_RECT& r) {
        int n = 0;
        for (int y = 0; y < HOST_YSIZE; ++y) {
            for (int x = 0; x < HOST_XSIZE; ++x) {
                const bool inside = x >= r.x0 && x <= r.x1 && y >= r.y0 && y <= r.y1;
                n += !inside && a[y * HOST_XSIZE + x] != b[y * HOST_XSIZE + x];
            }
        }
        return n;
    }
};

constexpr GUI_COLOUR kRed = 0x0000FF; // 0xBBGGRR
constexpr GUI_COLOUR kGreen = 0x00FF00;
constexpr GUI_COLOUR kBlue = 0xFF0000;
constexpr uint32_t kRedPixel = 0xFF0000; // 0xRRGGBB in the frame
constexpr uint32_t kGreenPixel = 0x00FF00;
constexpr uint32_t kBluePixel = 0x0000FF;

TEST_F(PaintTest, AHiddenWindowIsNotPaintedUntilShownAndShowingTwiceDoesNothing) {
    const WM_HANDLE page = Create(0, 0, 800, 480, 0, WM_CF_VISIBLE, kRed);
    const WM_HANDLE hidden = Create(100, 100, 50, 50, page, 0, kGreen);
    EXPECT_EQ(WM_GetNumInvalidWindows(), 1);
    Exec();
    EXPECT_EQ(Count(hidden, WM_MSG_PAINT), 0);
    EXPECT_EQ(ShownAt(120, 120), kRedPixel);
    WM_InvalidateWin(hidden);
    EXPECT_EQ(WM_GetNumInvalidWindows(), 0);

    WM_ShowWin(hidden);
    Exec();
    EXPECT_EQ(Count(hidden, WM_MSG_PAINT), 1);
    EXPECT_EQ(ShownAt(120, 120), kGreenPixel);
    log.clear();
    WM_ShowWin(hidden);
    EXPECT_EQ(WM_GetNumInvalidWindows(), 0);
    Exec();
    EXPECT_TRUE(log.empty());
}

TEST_F(PaintTest, HidingRepaintsTheAreaOfTheParentItCovered) {
    const WM_HANDLE page = Create(0, 0, 800, 480, 0, WM_CF_VISIBLE, kRed);
    const WM_HANDLE panel = Create(100, 100, 50, 40, page, WM_CF_VISIBLE, kGreen);
    Exec();
    const auto before = Shown();
    log.clear();
    WM_HideWin(panel);
    Exec();
    EXPECT_EQ(Count(panel, WM_MSG_PAINT), 0);
    const auto paints = Messages(page, WM_MSG_PAINT);
    ASSERT_EQ(paints.size(), 1u);
    EXPECT_EQ(paints[0].rect.x0, 100);
    EXPECT_EQ(paints[0].rect.y0, 100);
    EXPECT_EQ(paints[0].rect.x1, 149);
    EXPECT_EQ(paints[0].rect.y1, 139);
    const auto after = Shown();
    EXPECT_EQ(ShownAt(100, 100), kRedPixel);
    EXPECT_EQ(ShownAt(149, 139), kRedPixel);
    EXPECT_EQ(ChangedOutside(before, after, paints[0].rect), 0);
}

// Paints far beyond its window: only the clipping keeps it in place.
void Splash(WM_MSG_RECORD* msg) {
    if (msg->msg_id != WM_MSG_PAINT) return RecordProc(msg);
    RecordProc(msg);
    GUI_SetDrawColor(0xFFFFFF);
    GUI_FillRectangle(-1000, -1000, 3000, 3000);
    GUI_SetDrawColor(0x00FFFF);
    GUI_DrawLinePlain(-500, -400, 1500, 900);
}

TEST_F(PaintTest, APaintNeverChangesAPixelOutsideTheInvalidRectangle) {
    const WM_HANDLE page = Create(0, 0, 800, 480, 0, WM_CF_VISIBLE, kRed);
    const WM_HANDLE panel = Create(200, 100, 300, 200, page, WM_CF_VISIBLE, kBlue);
    const WM_HANDLE child = Create(50, 50, 100, 50, panel, WM_CF_VISIBLE, kGreen);
    Exec();
    WM_ReplaceCallback(panel, Splash);
    Exec();
    // Replacing the procedure invalidated the panel: it painted all of itself but its child.
    EXPECT_EQ(ShownAt(200, 100), 0xFFFFFFu);
    EXPECT_EQ(ShownAt(260, 160), kGreenPixel);
    EXPECT_EQ(ShownAt(199, 100), kRedPixel);

    const auto before = Shown();
    const GUI_RECT part{10, 20, 80, 60}; // in the panel's coordinates
    const GUI_RECT screen{210, 120, 280, 160};
    Recolour(child, kRed); // the child is not invalid: it must keep its old pixels
    WM_InvalidateRect(panel, &part);
    log.clear();
    Exec();
    const auto paints = Messages(panel, WM_MSG_PAINT);
    ASSERT_FALSE(paints.empty());
    for (const Logged& p : paints) {
        EXPECT_GE(p.rect.x0, screen.x0);
        EXPECT_LE(p.rect.x1, screen.x1);
        EXPECT_GE(p.rect.y0, screen.y0);
        EXPECT_LE(p.rect.y1, screen.y1);
    }
    EXPECT_EQ(ChangedOutside(before, Shown(), screen), 0);
    EXPECT_EQ(ShownAt(260, 160), kGreenPixel);
    EXPECT_EQ(Count(child, WM_MSG_PAINT), 0);
}

TEST_F(PaintTest, OnePaintMessagePerClipRectangleAroundAnOpaqueChild) {
    const WM_HANDLE page = Create(0, 0, 800, 480, 0, WM_CF_VISIBLE, kRed);
    Create(300, 200, 100, 50, page, WM_CF_VISIBLE, kGreen);
    Exec();
    log.clear();
    WM_InvalidateWin(page);
    Exec();
    const auto paints = Messages(page, WM_MSG_PAINT);
    ASSERT_EQ(paints.size(), 4u);
    long area = 0;
    for (const Logged& p : paints) {
        area += long(p.rect.x1 - p.rect.x0 + 1) * (p.rect.y1 - p.rect.y0 + 1);
        const bool meets_child =
            p.rect.x1 >= 300 && p.rect.x0 <= 399 && p.rect.y1 >= 200 && p.rect.y0 <= 249;
        EXPECT_FALSE(meets_child);
    }
    EXPECT_EQ(area, 800L * 480 - 100 * 50);
}

TEST_F(PaintTest, ASeeThroughLabelIsRedrawnWheneverThePageBeneathIs) {
    const WM_HANDLE page = Create(0, 0, 800, 480, 0, WM_CF_VISIBLE, kRed);
    const WM_HANDLE label = WM_CreateWindowAsChild(
        100, 100, 60, 20, page, WM_CF_VISIBLE | WM_CF_SEE_THROUGH,
        [](WM_MSG_RECORD* msg) {
            RecordProc(msg);
            if (msg->msg_id != WM_MSG_PAINT) return;
            GUI_SetDrawColor(0xFF0000);
            GUI_FillRectangle(0, 0, 9, 9); // a "glyph"
        },
        0);
    Exec();
    EXPECT_EQ(Count(label, WM_MSG_PAINT), 1);
    EXPECT_EQ(ShownAt(105, 105), kBluePixel);
    EXPECT_EQ(ShownAt(115, 115), kRedPixel); // the page shows through

    log.clear();
    WM_InvalidateWin(page);
    Exec();
    EXPECT_EQ(Count(label, WM_MSG_PAINT), 1);
    EXPECT_EQ(ShownAt(105, 105), kBluePixel);

    // Invalidating the label repaints the page beneath it, then the label over it.
    log.clear();
    WM_InvalidateWin(label);
    Exec();
    const auto page_paints = Messages(page, WM_MSG_PAINT);
    ASSERT_EQ(page_paints.size(), 1u);
    EXPECT_EQ(page_paints[0].rect.x0, 100);
    EXPECT_EQ(page_paints[0].rect.x1, 159);
    ASSERT_EQ(log.back().win, label);
    EXPECT_EQ(log.back().msg_id, WM_MSG_PAINT);

    // A repaint of a part of the page away from the label leaves the label alone.
    log.clear();
    const GUI_RECT away{500, 300, 520, 320};
    WM_InvalidateRect(page, &away);
    Exec();
    EXPECT_EQ(Count(label, WM_MSG_PAINT), 0);
}

TEST_F(PaintTest, ASeeThroughLabelOnAWindowWithoutProcedureIsDrawn) {
    const WM_PROC glyph = [](WM_MSG_RECORD* msg) {
        RecordProc(msg);
        if (msg->msg_id != WM_MSG_PAINT) return;
        GUI_SetDrawColor(0xFF0000);
        GUI_FillRectangle(0, 0, 9, 9);
    };
    // On the bare root window, where the status banner sits.
    const WM_HANDLE banner =
        WM_CreateWindowAsChild(10, 450, 200, 20, 0, WM_CF_VISIBLE | WM_CF_SEE_THROUGH, glyph, 0);
    // On a window without procedure over a page.
    Create(0, 0, 400, 300, 0, WM_CF_VISIBLE, kRed);
    const WM_HANDLE bare = WM_CreateWindowAsChild(50, 50, 100, 100, 0, WM_CF_VISIBLE, nullptr, 0);
    const WM_HANDLE label =
        WM_CreateWindowAsChild(10, 10, 60, 20, bare, WM_CF_VISIBLE | WM_CF_SEE_THROUGH, glyph, 0);
    Exec();
    EXPECT_EQ(Count(banner, WM_MSG_PAINT), 1);
    EXPECT_EQ(ShownAt(15, 455), kBluePixel);
    EXPECT_EQ(Count(label, WM_MSG_PAINT), 1);
    EXPECT_EQ(ShownAt(65, 65), kBluePixel);

    // A label that changes is drawn again, also when only its own area is invalid.
    log.clear();
    WM_InvalidateWin(banner);
    WM_InvalidateWin(label);
    Exec();
    EXPECT_EQ(Count(banner, WM_MSG_PAINT), 1);
    EXPECT_EQ(Count(label, WM_MSG_PAINT), 1);
    EXPECT_EQ(WM_GetNumInvalidWindows(), 0);

    // A hidden label is not drawn.
    log.clear();
    WM_HideWin(banner);
    Exec();
    EXPECT_EQ(Count(banner, WM_MSG_PAINT), 0);
}

void ChangeColours(WM_MSG_RECORD* msg) {
    RecordProc(msg);
    if (msg->msg_id == WM_MSG_PAINT) {
        GUI_SetDrawColor(0x123456);
        GUI_SetBackColor(0x654321);
        GUI_SetTextDrawMode(GUI_TEXTMODE_REVERSED);
    }
}

TEST_F(PaintTest, ColoursAreRestoredAfterEachPaint) {
    GUI_SetDrawColor(0x00AA00);
    GUI_SetBackColor(0x0000BB);
    const WM_HANDLE win = WM_CreateWindowAsChild(0, 0, 50, 50, 0, WM_CF_VISIBLE, ChangeColours, 0);
    Exec();
    EXPECT_EQ(Count(win, WM_MSG_PAINT), 1);
    EXPECT_EQ(GUI_GetDrawColor(), 0x00AA00u);
    EXPECT_EQ(GUI_GetBackColor(), 0x0000BBu);
}

uint32_t g_seen_on_show = 0;
void PeekAtTheShownFrame(WM_MSG_RECORD* msg) {
    RecordProc(msg);
    if (msg->msg_id == WM_MSG_PAINT) g_seen_on_show = HOST_GetPixel(HOST_GetShownBuffer(), 10, 10);
}

TEST_F(PaintTest, TheUserSeesOnlyWholeFrames) {
    const WM_HANDLE first = Create(0, 0, 100, 100, 0, WM_CF_VISIBLE, kRed);
    Exec();
    const int shown = HOST_GetShownBuffer();
    const uint32_t changes = HOST_GetChangeCount();
    Recolour(first, kGreen);
    WM_InvalidateWin(first);
    // Painted after the first window in the same cycle; the frame on show must still be old.
    WM_CreateWindowAsChild(200, 0, 10, 10, 0, WM_CF_VISIBLE, PeekAtTheShownFrame, 0);
    Exec();
    EXPECT_EQ(g_seen_on_show, kRedPixel);
    EXPECT_EQ(ShownAt(10, 10), kGreenPixel);
    EXPECT_NE(HOST_GetShownBuffer(), shown);
    EXPECT_EQ(HOST_GetChangeCount(), changes + 1);

    // Buffered update off: drawing goes straight to the shown buffer.
    EXPECT_EQ(WM_EnableBufferedUpdate(0), 1);
    const int now_shown = HOST_GetShownBuffer();
    Recolour(first, kBlue);
    WM_InvalidateWin(first);
    Exec();
    EXPECT_EQ(HOST_GetShownBuffer(), now_shown);
    EXPECT_EQ(ShownAt(10, 10), kBluePixel);
}

TEST_F(PaintTest, OutsideAPaintDrawingGoesToTheShownFrame) {
    GUI_SetDrawColor(0x0000FF);
    GUI_FillRectangle(0, 0, 9, 9);
    EXPECT_EQ(ShownAt(5, 5), kRedPixel);
}

WM_HANDLE g_victim = 0;
void DeleteWhilePainting(WM_MSG_RECORD* msg) {
    RecordProc(msg);
    if (msg->msg_id == WM_MSG_PAINT) WM_DeleteWindow(g_victim);
}

TEST_F(PaintTest, DeletingFromAPaintIsReportedAndStillDone) {
    g_victim = Create(300, 300, 10, 10, 0, 0);
    WM_CreateWindowAsChild(0, 0, 10, 10, 0, WM_CF_VISIBLE, DeleteWhilePainting, 0);
    Exec();
    EXPECT_EQ(CountReports("Function may not be called from within a paint event"), 1);
    EXPECT_FALSE(WM_IsWindow(g_victim));
    EXPECT_EQ(WM_GetNumInvalidWindows(), 0);
}

TEST_F(PaintTest, MovingRepaintsTheOldAndTheNewPlace) {
    const WM_HANDLE page = Create(0, 0, 800, 480, 0, WM_CF_VISIBLE, kRed);
    const WM_HANDLE box = Create(10, 10, 20, 20, page, WM_CF_VISIBLE, kGreen);
    const WM_HANDLE inner = Create(5, 5, 5, 5, box, WM_CF_VISIBLE, kBlue);
    Exec();
    WM_MoveTo(box, 100, 50);
    EXPECT_EQ(WM_GetWindowOrgX(inner), 105);
    Exec();
    EXPECT_EQ(ShownAt(15, 15), kRedPixel);
    EXPECT_EQ(ShownAt(101, 51), kGreenPixel);
    EXPECT_EQ(ShownAt(106, 56), kBluePixel);
    EXPECT_EQ(WM_GetNumInvalidWindows(), 0);
}

TEST_F(PaintTest, WindowsBeyondTheScreenAreClipped) {
    const WM_HANDLE wide = Create(-200, 400, 1200, 200, 0, WM_CF_VISIBLE, kGreen);
    Exec();
    const auto paints = Messages(wide, WM_MSG_PAINT);
    ASSERT_EQ(paints.size(), 1u);
    EXPECT_EQ(paints[0].rect.x0, 0);
    EXPECT_EQ(paints[0].rect.x1, 799);
    EXPECT_EQ(paints[0].rect.y1, 479);
    EXPECT_EQ(ShownAt(799, 479), kGreenPixel);
}

} // namespace
