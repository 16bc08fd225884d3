// History page: the range ladder, scaling and readout arithmetic, the ring, the cursor index and
// box placement without pixels; then the page on the headless display over generated logs of a
// battery protector (unit 5) and a switch unit (unit 6): lists, loading at the range's pace,
// the per-minute update with its rescale, the readout cursor and unreadable logs.
#include "pages/history.h"

#include "base/datafolder.h"
#include "base/dbg.h"
#include "config/settings.h"
#include "devices/device_list.h"
#include "devices/device_types.h"
#include "devices/reg_access.h"
#include "elements/status.h"
#include "gui/host/host.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/lang/gui_lang.h"
#include "gui/toolkit/widgets/dropdown.h"
#include "gui/toolkit/widgets/graph.h"
#include "gui/toolkit/widgets/listbox.h"
#include "gui/toolkit/widgets/text.h"
#include "log/log.h"
#include "log/log_scan.h"
#include "tests/gui/toolkit/widget_test_util.h"
#include "tests/util/scratch.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace widgettest;

namespace {

std::pair<int32_t, int32_t> Rounded(int32_t min, int32_t max) {
    HISTORY_RoundRange(&min, &max);
    return {min, max};
}

TEST(HistoryArithmetic, RangesRoundOutOnTheLaddersOf3s5sAnd4s) {
    using R = std::pair<int32_t, int32_t>;
    EXPECT_EQ(Rounded(0, 28), R(0, 30));
    EXPECT_EQ(Rounded(-7, 95), R(-20, 100));           // 5s: 100, a fifth 20 covers 7
    EXPECT_EQ(Rounded(-3, 6), R(-6, 12));              // 5s: 10 too short below; 4s: 12, half 6
    EXPECT_EQ(Rounded(-9, 10), R(-15, 15));            // neither: 3s above 12, both sides alike
    EXPECT_EQ(Rounded(-95, 7), R(-100, 20));           // the same with the sides exchanged
    EXPECT_EQ(Rounded(-10, 10), R(-12, 12));           // equal sides: 3s, strictly above
    EXPECT_EQ(Rounded(-7, 0), R(-9, 0));               // negative only
    EXPECT_EQ(Rounded(0, 12500), R(0, 15000));         // a float column x 1000
    EXPECT_EQ(Rounded(0, 0), R(0, 3));                 // nothing logged yet: still a range
    EXPECT_EQ(Rounded(5, -2), R(0, 3));                // a minimum above 0 counts as 0
    EXPECT_EQ(Rounded(0, INT32_MAX), R(0, INT32_MAX)); // beyond the eight decades
    EXPECT_EQ(Rounded(INT32_MIN, 0).first, INT32_MIN);
}

TEST(HistoryArithmetic, ScaleAxisAndReadoutGiveTheLoggedValuesBack) {
    const HistoryScale i = HISTORY_ComputeScale(-20, 100, false);
    EXPECT_FLOAT_EQ(i.factor, 2.5f);
    EXPECT_EQ(i.axis_offset, 50);
    EXPECT_FLOAT_EQ(i.axis_factor, 0.4f);
    EXPECT_EQ(i.decimals, 0);
    const HistoryScale f = HISTORY_ComputeScale(0, 15000, true);
    EXPECT_FLOAT_EQ(f.axis_factor, 0.05f);
    EXPECT_EQ(f.decimals, 2); // 12.5 shows as 12.50 and so on
    EXPECT_EQ(HISTORY_ComputeScale(0, 15000000, true).decimals, 1);
    EXPECT_EQ(HISTORY_ComputeScale(0, 150000000, true).decimals, 0);

    // Half away from zero, clamped to the curve's 16 bits.
    EXPECT_EQ(HISTORY_ScaleValue(1, 0, 2.5f), 3);
    EXPECT_EQ(HISTORY_ScaleValue(-1, 0, 2.5f), -3);
    EXPECT_EQ(HISTORY_ScaleValue(95, -20, 2.5f), 288);
    EXPECT_EQ(HISTORY_ScaleValue(INT32_MAX, INT32_MIN, 1.0f), 32767);

    char text[32];
    for (int32_t v = -20; v <= 100; ++v) {
        HISTORY_FormatReadout(text, sizeof text, HISTORY_ScaleValue(v, -20, 2.5f), 2.5f, -20,
                              false);
        EXPECT_EQ(std::string(text), std::to_string(v));
    }
    const float factor = HISTORY_ComputeScale(0, 90, false).factor; // 3.33 pixels per unit
    HISTORY_FormatReadout(text, sizeof text, HISTORY_ScaleValue(1, 0, factor), factor, 0, false);
    EXPECT_STREQ(text, "1");
    HISTORY_FormatReadout(text, sizeof text, HISTORY_ScaleValue(12500, 0, 0.02f), 0.02f, 0, true);
    EXPECT_STREQ(text, "12.5");
}

TEST(HistoryArithmetic, FieldsParseAsTheLogWroteThem) {
    EXPECT_EQ(HISTORY_ParseValue("12.50", true), 12500);
    EXPECT_EQ(HISTORY_ParseValue("0.07", true), 70);
    EXPECT_EQ(HISTORY_ParseValue("-3.5", true), -3500);
    EXPECT_EQ(HISTORY_ParseValue("-42", false), -42);
    // Text a log should never hold is clamped or 0, never undefined.
    EXPECT_EQ(HISTORY_ParseValue("1e30", true), INT32_MAX);
    EXPECT_EQ(HISTORY_ParseValue("-1e30", true), INT32_MIN);
    EXPECT_EQ(HISTORY_ParseValue("nan", true), 0);
    EXPECT_EQ(HISTORY_ParseValue("x", false), 0);
    EXPECT_EQ(HISTORY_ParseValue("99999999999", false), INT32_MAX);
}

TEST(HistoryArithmetic, RingReplaysTheNewest721Pairs) {
    auto ring = std::make_unique<HistoryRing>();
    for (int32_t i = 0; i < 5; ++i)
        HISTORY_RingAppend(ring.get(), {{i, -i}});
    HISTORY_RingRead(ring.get());
    HISTORY_RingRewind(ring.get());
    EXPECT_EQ(HISTORY_RingRead(ring.get()).v[1], 0);
    HISTORY_RingClear(ring.get());
    for (int32_t i = 0; i < 800; ++i)
        HISTORY_RingAppend(ring.get(), {{i, 0}});
    // Without reads a full ring drops its oldest pending pair: 721 stay pending.
    int pending = 0;
    int32_t first = -1;
    while (HISTORY_RingPending(ring.get())) {
        const int32_t v = HISTORY_RingRead(ring.get()).v[0];
        if (pending++ == 0) first = v;
    }
    EXPECT_EQ(pending, 721);
    EXPECT_EQ(first, 79);
    HISTORY_RingRewind(ring.get());
    EXPECT_EQ(HISTORY_RingRead(ring.get()).v[0], 79);
}

TEST(HistoryArithmetic, CursorFindsThePointUnderItFullOrNot) {
    EXPECT_EQ(HISTORY_CursorIndex(720, 721), 720);
    EXPECT_EQ(HISTORY_CursorIndex(3, 721), 3);
    EXPECT_EQ(HISTORY_CursorIndex(720, 100), 99); // the newest is at the right edge
    EXPECT_EQ(HISTORY_CursorIndex(621, 100), 0);
    EXPECT_EQ(HISTORY_CursorIndex(620, 100), -1); // over the empty part
    EXPECT_EQ(HISTORY_CursorIndex(720, 0), -1);
}

TEST(HistoryArithmetic, ReadoutBoxesStayInsideAndApart) {
    HistoryBox a{}, b{};
    HISTORY_PlaceBoxes(100, 200, 250, 785, 325, &a, &b);
    EXPECT_EQ(a.x, 120); // right of the cursor, 30 above the point
    EXPECT_EQ(a.y, 170);
    EXPECT_EQ(b.y, 220);
    HISTORY_PlaceBoxes(740, 20, 250, 785, 325, &a, &b);
    EXPECT_EQ(a.x, 670); // left of the cursor near the right edge
    EXPECT_EQ(a.y, 30);  // below the point near the top
    for (int x = 35; x < 753; x += 11)
        for (int y1 = 12; y1 <= 312; y1 += 15)
            for (int y2 = 12; y2 <= 312; y2 += 5) {
                HISTORY_PlaceBoxes(x, y1, y2, 785, 325, &a, &b);
                for (const HistoryBox& box : {a, b}) {
                    ASSERT_GE(box.x, 0);
                    ASSERT_LE(box.x + HISTORY_BOX_W, 785);
                    ASSERT_GE(box.y, 0);
                    ASSERT_LE(box.y + HISTORY_BOX_H, 325);
                }
                const bool apart = a.x >= b.x + HISTORY_BOX_W || b.x >= a.x + HISTORY_BOX_W ||
                                   a.y >= b.y + HISTORY_BOX_H || b.y >= a.y + HISTORY_BOX_H;
                ASSERT_TRUE(apart) << x << " " << y1 << " " << y2;
            }
}

// ---- The page ----

std::string g_debug;
void Capture(const char* text, int length) {
    g_debug.append(text, length);
}

std::vector<std::string> g_status_seen;
WM_HANDLE g_status = 0;
void WatchStatus() {
    char text[64];
    TEXT_ReadText(g_status, text, sizeof text);
    if (text[0] != '\0' && (g_status_seen.empty() || g_status_seen.back() != text))
        g_status_seen.push_back(text);
}

// The device page's part: the lists' notifications go to the history page.
void PageProc(WM_MSG_RECORD* msg) {
    if (msg->msg_id == WM_MSG_NOTIFY_PARENT) {
        HISTORY_OnNotify(WM_GetWinId(msg->source), msg->data.v);
        return;
    }
    if (msg->msg_id == WM_MSG_PAINT) {
        GUI_SetBackColor(0x000000);
        GUI_ClearWindow();
        return;
    }
    WM_FallbackProc(msg);
}

// Log fields: 1 VOLTAGE "%.2f", 2 TEMP "%.1f", 3 LVP "%d" (Celton, unit 5); 7 CURRENT "%d"
// signed (Brant, unit 6); 11 fields in all.
class HistoryPage : public WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        ::setenv("APPDATA", scratch.Path().c_str(), 1);
        DATA_CreateFolder();
        CONFIG_Init();
        DEV_Clear();
        DEV_BeginSearch();
        celton = g_device_list.entries[DEV_AppendDevice(5, DeviceTypeTable[DEV_TYPE_CELTON])]
                     .registers.load();
        brant = g_device_list.entries[DEV_AppendDevice(6, DeviceTypeTable[DEV_TYPE_BRANT])]
                    .registers.load();
        ASSERT_EQ(LOG_Init(), 0);
        g_debug.clear();
        g_status_seen.clear();
        DBG_SetSink(Capture);
        page = WM_CreateWindowAsChild(2, 60, 796, 420, 0, WM_CF_VISIBLE, PageProc, 0);
    }
    void TearDown() override {
        LOG_SetLineAddedHook(nullptr);
        WM_SetExecHooks(nullptr, nullptr);
        WM_DeleteWindow(page);
        DBG_SetSink(nullptr);
        DEV_Clear();
        WidgetTest::TearDown();
    }
    void Put(int lvp, int current, int centivolts = 0) {
        Reg_Set(celton, 14, uint16_t(lvp));
        Reg_Set(brant, 37, uint16_t(int16_t(current)));
        Reg_Set(celton, 7, uint16_t(centivolts * 250 / 100));
        ASSERT_EQ(LOG_Put(), 0);
    }
    void Open(int range = 0) {
        ASSERT_EQ(HISTORY_Build(page), 0);
        g_status = WM_FindChildById(Graph(), HISTORY_ID_STATUS);
        WM_SetExecHooks(WatchStatus, nullptr);
        DROPDOWN_Select(List(HISTORY_ID_CURVE1), 2); // LVP
        DROPDOWN_Select(List(HISTORY_ID_CURVE2), 6); // CURRENT
        DROPDOWN_Select(List(HISTORY_ID_RANGE), range);
        HISTORY_Load();
        Exec();
    }
    WM_HANDLE List(int id) const { return WM_FindChildById(page, id); }
    WM_HANDLE Graph() const { return WM_FindChildById(page, HISTORY_ID_GRAPH); }
    std::vector<int> Values(int curve) const {
        std::vector<int> out;
        const GRAPH_HSERIES s = HISTORY_Series(curve);
        int16_t v;
        for (int i = 0; GRAPH_SERIES_ReadAt(s, &v, i) == 0; ++i)
            out.push_back(v);
        return out;
    }
    // Screen position of the graph's pixel (x, y).
    int Sx(int x) const { return 2 + 5 + x; }
    int Sy(int y) const { return 60 + 61 + y; }

    ScratchFolder scratch{"veltra-history"};
    RegisterCell* celton = nullptr;
    RegisterCell* brant = nullptr;
    WM_HANDLE page = 0;
};

TEST_F(HistoryPage, CurveListsNeverOfferTheOtherCurvesColumn) {
    Put(1, 1);
    ASSERT_EQ(HISTORY_Build(page), 0);
    const WM_HANDLE list1 = List(HISTORY_ID_CURVE1);
    const WM_HANDLE list2 = List(HISTORY_ID_CURVE2);
    EXPECT_EQ(DROPDOWN_Count(list1), 11);
    EXPECT_EQ(DROPDOWN_Count(list2), 11);
    EXPECT_EQ(DROPDOWN_Count(List(HISTORY_ID_RANGE)), 7);
    EXPECT_EQ(DROPDOWN_Selected(list2), 1);
    EXPECT_TRUE(DROPDOWN_IsItemDisabled(list1, 1));
    EXPECT_TRUE(DROPDOWN_IsItemDisabled(list2, 0));
    EXPECT_EQ(g_debug.find("processbuttonScrollLeft"), std::string::npos); // building loads nothing

    DROPDOWN_Select(list1, 2);
    DROPDOWN_Select(list2, 6);
    for (int item = 0; item < 11; ++item) {
        EXPECT_EQ(DROPDOWN_IsItemDisabled(list1, item), item == 6) << item;
        EXPECT_EQ(DROPDOWN_IsItemDisabled(list2, item), item == 2) << item;
    }
    // Every change loads again.
    size_t loads = 0;
    for (size_t at = 0; (at = g_debug.find("processbuttonScrollLeft: WM_NOTIFICATION_CHANGED\n",
                                           at)) != std::string::npos;
         ++at)
        ++loads;
    EXPECT_EQ(loads, 2u);
    EXPECT_NE(g_debug.find("DbSize: 1, Parsing from 1\n"), std::string::npos);
    EXPECT_EQ(HISTORY_OnNotify(4148, WM_NOTIFICATION_RELEASED), 0); // not the page's

    // With the pointer: curve 1's column cannot be chosen for curve 2, another one can (the
    // load runs the toolkit from inside the list's notification).
    const auto choose = [&](int item) {
        if (!DROPDOWN_IsExpanded(list2)) Click(400, 60 + 35 + 10);
        const int top = LISTBOX_TopLine(DROPDOWN_GetListbox(list2));
        Click(400, 60 + 35 + 28 + (item - top) * 24 + 10);
    };
    choose(2);
    EXPECT_EQ(DROPDOWN_Selected(list2), 6);
    choose(3);
    EXPECT_EQ(DROPDOWN_Selected(list2), 3);
    Exec();
    EXPECT_TRUE(DROPDOWN_IsItemDisabled(list1, 3));
    EXPECT_FALSE(DROPDOWN_IsItemDisabled(list1, 6));
    EXPECT_NE(g_debug.rfind("DbSize: 1, Parsing from 1\n"), g_debug.find("DbSize: 1"));
}

TEST_F(HistoryPage, AShortLogFillsTheRightEndAndTheCursorReadsItsPoints) {
    for (int i = 0; i < 100; ++i)
        Put(i % 29, -(i % 8));
    Open(0);
    EXPECT_NE(g_debug.find("DbSize: 100, Parsing from 100\n"), std::string::npos);
    EXPECT_EQ(g_status_seen, std::vector<std::string>{"processing database, please wait...."});
    EXPECT_FALSE(WM_IsVisible(g_status));
    const std::vector<int> v1 = Values(0);
    const std::vector<int> v2 = Values(1);
    ASSERT_EQ(v1.size(), 100u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(v1[i], i % 29 * 10) << i;                                  // 0..30
        EXPECT_EQ(v2[i], HISTORY_ScaleValue(-(i % 8), -9, 300.0f / 9)) << i; // -9..0
    }
    const uint32_t green = Px(0x00FF00);
    EXPECT_EQ(At(Sx(752), Sy(312 - v1[99])), green);
    for (int y = 13; y < 312; ++y)
        ASSERT_NE(At(Sx(752 - 110), Sy(y)), green) << y;

    // Over the empty part: the cursor line, no boxes.
    Pointer(Sx(300), Sy(150), 1);
    EXPECT_EQ(At(Sx(300), Sy(100)), Px(0x00FFFF));
    EXPECT_NE(g_debug.find("Graph is not filled! First = 100, idx = -1\n"), std::string::npos);
    EXPECT_EQ(g_debug.find("Value[0]"), std::string::npos);
    HistoryBox b1{}, b2{};
    HISTORY_PlaceBoxes(300, 312, 312, 785, 325, &b1, &b2);
    EXPECT_NE(At(Sx(b1.x + 2), Sy(b1.y + 10)), green);

    // Over the tenth-newest point: both boxes in their curve's colours.
    const int x = 752 - 9;
    Pointer(Sx(x), Sy(150), 1);
    char line[64];
    std::snprintf(line, sizeof line, "\t\tValue[0] = %d, Value[1] = %d\n", v1[90], v2[90]);
    EXPECT_NE(g_debug.find(line), std::string::npos);
    HISTORY_PlaceBoxes(x, 312 - v1[90], 312 - v2[90], 785, 325, &b1, &b2);
    EXPECT_EQ(At(Sx(b1.x + 2), Sy(b1.y + 10)), green);
    EXPECT_EQ(At(Sx(b2.x + 2), Sy(b2.y + 10)), Px(0x0000FF));
}

TEST_F(HistoryPage, TwentyFourHoursTakesEverySecondLineAndFollowsAtThatPace) {
    for (int k = 1; k <= 101; ++k) // line k holds k and -k
        Put(k, -k);
    Open(1);
    LOG_SetLineAddedHook(HISTORY_AddLine);
    std::vector<int> v1 = Values(0);
    const std::vector<int> v2 = Values(1);
    ASSERT_EQ(v1.size(), 50u);
    for (int i = 0; i < 50; ++i) { // lines 2, 4, ... 100: ranges 0..120 and -120..0
        EXPECT_EQ(v1[i], HISTORY_ScaleValue(2 * (i + 1), 0, 2.5f)) << i;
        EXPECT_EQ(v2[i], HISTORY_ScaleValue(-2 * (i + 1), -120, 2.5f)) << i;
    }
    Put(50, -50); // line 102: a point
    v1 = Values(0);
    ASSERT_EQ(v1.size(), 51u);
    EXPECT_EQ(v1.back(), HISTORY_ScaleValue(50, 0, 2.5f));
    Put(60, -60); // line 103: none
    EXPECT_EQ(Values(0).size(), 51u);
    EXPECT_TRUE(g_status_seen.size() == 1); // no rescale

    // Both curves on the same column read it once and show the same.
    DROPDOWN_Select(List(HISTORY_ID_CURVE2), 2);
    EXPECT_EQ(Values(1), Values(0));
    EXPECT_EQ(Values(0).size(), 51u);
}

TEST_F(HistoryPage, ANewMaximumRescalesAndReplaysEveryPoint) {
    for (int i = 0; i < 10; ++i)
        Put(10 + i, 0);
    Open(0);
    LOG_SetLineAddedHook(HISTORY_AddLine);
    g_status_seen.clear();
    Put(20, 0); // inside 0..21
    EXPECT_TRUE(g_status_seen.empty());
    EXPECT_EQ(Values(0).back(), HISTORY_ScaleValue(20, 0, 300.0f / 21));

    g_debug.clear();
    Put(95, 0);
    EXPECT_EQ(g_status_seen, std::vector<std::string>{"Rescale, please wait\n"});
    EXPECT_FALSE(WM_IsVisible(g_status));
    EXPECT_NE(g_debug.find("Scale = 2.500000, Max = 120\n"), std::string::npos);
    const std::vector<int> v = Values(0);
    ASSERT_EQ(v.size(), 12u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(v[i], HISTORY_ScaleValue(10 + i, 0, 2.5f)) << i;
    EXPECT_EQ(v[10], 50);
    EXPECT_EQ(v[11], HISTORY_ScaleValue(95, 0, 2.5f));
}

TEST_F(HistoryPage, AFloatColumnIsHeldInThousandths) {
    for (int i = 0; i < 20; ++i)
        Put(0, 0, 1250); // 12.50 V
    ASSERT_EQ(HISTORY_Build(page), 0);
    HISTORY_Load();
    EXPECT_NE(g_debug.find("Scale = 0.020000, Max = 15000\n"), std::string::npos);
    const std::vector<int> v = Values(0);
    ASSERT_EQ(v.size(), 20u);
    EXPECT_EQ(v[0], 250);
    char text[16];
    HISTORY_FormatReadout(text, sizeof text, int16_t(v[0]), 0.02f, 0, true);
    EXPECT_STREQ(text, "12.5");
}

TEST_F(HistoryPage, AnUnreadableLogLeavesTheCurvesAsTheyAre) {
    for (int i = 0; i < 5; ++i)
        Put(i, i);
    Open(0);
    ASSERT_EQ(Values(0).size(), 5u);
    ASSERT_EQ(std::remove(LOG_Path().c_str()), 0);
    g_debug.clear();
    EXPECT_EQ(HISTORY_Load(), -1);
    HISTORY_AddLine();
    EXPECT_EQ(g_debug, LOG_Path() + "\nOpen File to read write ...ERROR\n" + LOG_Path() +
                           "\nOpen File to read write ...ERROR\n");
    EXPECT_EQ(Values(0).size(), 5u);

    // A page that goes leaves nothing behind that a later minute could reach.
    WM_DeleteWindow(page);
    page = WM_CreateWindowAsChild(2, 60, 796, 420, 0, WM_CF_VISIBLE, PageProc, 0);
    g_debug.clear();
    HISTORY_AddLine();
    EXPECT_EQ(HISTORY_Load(), -1);
    EXPECT_EQ(HISTORY_Series(0), 0);
    EXPECT_EQ(g_debug, ""); // not even an attempt to open the log
    EXPECT_EQ(HISTORY_Build(page), -1);
    EXPECT_EQ(WM_GetFirstChild(page), 0);
}

TEST_F(HistoryPage, ALogWithoutColumnsGivesEmptyListsAndEmptyCurves) {
    DEV_Clear();
    ASSERT_EQ(LOG_Init(), 0); // "Time;" and "Format;" only
    ASSERT_EQ(LOG_Put(), 0);
    ASSERT_EQ(HISTORY_Build(page), 0);
    EXPECT_EQ(DROPDOWN_Count(List(HISTORY_ID_CURVE1)), 0);
    EXPECT_EQ(HISTORY_Load(), 0);
    EXPECT_TRUE(Values(0).empty());
}

// Gives the data lines of a log file the minutes from `first` on (every `every` minutes), as
// the display unit's clock would have stamped them.
void StampMinutes(const std::string& path, int64_t first, int every = 1) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::string text;
    char block[4096];
    for (size_t n; (n = std::fread(block, 1, sizeof block, f)) > 0;)
        text.append(block, n);
    std::fclose(f);
    size_t at = 0;
    for (int line = 0; at < text.size(); ++line) {
        if (line >= 2) {
            char stamp[24];
            LOGSCAN_FormatTime(first + (line - 2) * 60 * every, stamp, sizeof stamp);
            text.replace(at, 17, stamp + 2); // "YY-MM-DD HH:MM:SS"
        }
        at = text.find('\n', at);
        if (at == std::string::npos) break;
        ++at;
    }
    f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

// Two earlier connections 20 minutes apart, then the current one 3 minutes after the second
// ended: "12 Hours" shows one curve over all three with the minutes between them as gaps.
TEST_F(HistoryPage, TheCurveGoesOnIntoTheFilesOfEarlierConnectionsWithGapsBetween) {
    const int64_t start = LOGSCAN_Seconds(2026, 12, 8, 23, 30, 0); // across midnight
    const int lines[3] = {30, 40, 50};
    const int gap[3] = {0, 20, 3}; // minutes without a line before each file
    std::vector<int> expected;     // LVP per minute, -1 for a gap
    std::string path[3];
    int64_t minute = start;
    int value = 0;
    for (int f = 0; f < 3; ++f) {
        if (f > 0) {
            ASSERT_EQ(LOG_Init(), 0);
        }
        path[f] = LOG_Path();
        for (int g = 0; g < gap[f]; ++g)
            expected.push_back(-1);
        minute += gap[f] * 60;
        const int64_t first = minute;
        for (int i = 0; i < lines[f]; ++i, minute += 60) {
            expected.push_back(value);
            Put(value, -1);
            value = (value + 7) % 29;
        }
        StampMinutes(path[f], first);
    }
    Open(0);
    LOG_SetLineAddedHook(HISTORY_AddLine);
    const auto check = [&](const std::vector<int>& want) {
        const std::vector<int> v = Values(0);
        ASSERT_EQ(v.size(), want.size());
        for (size_t i = 0; i < v.size(); ++i)
            EXPECT_EQ(v[i], want[i] < 0 ? GRAPH_NO_VALUE : want[i] * 10) << i; // 0..30
    };
    check(expected);
    ASSERT_EQ(expected.size(), 143u);

    // The gap is empty on screen: no green in a column inside it, green at the points beside it.
    const uint32_t green = Px(0x00FF00);
    const int newest_x = 752;
    const int gap_x = newest_x - (142 - 40); // the 11th of the 20 minutes
    for (int y = 13; y < 312; ++y)
        ASSERT_NE(At(Sx(gap_x), Sy(y)), green) << y;
    EXPECT_EQ(At(Sx(gap_x - 11), Sy(312 - expected[29] * 10)), green); // last of the first file
    // The cursor over the gap shows no boxes.
    g_debug.clear();
    Pointer(Sx(gap_x), Sy(150), 1);
    EXPECT_EQ(g_debug.find("Value[0]"), std::string::npos);
    Pointer(Sx(gap_x), Sy(150), 0);

    // The save key writes the span on show over all three files, joined by column name, and
    // the banner says so for two seconds.
    STATUS_Create();
    ASSERT_EQ(HISTORY_SaveSpan(true), 0);
    const std::string saved = DATA_FilePath(HISTORY_LastSaveName());
    char banner[96];
    TEXT_ReadText(STATUS_Handle(), banner, sizeof banner);
    EXPECT_EQ(std::string(banner), "Saved " + std::string(HISTORY_LastSaveName()) + " .csv/.png");
    EXPECT_TRUE(WM_IsVisible(STATUS_Handle()));
    const std::string csv = ReadBytes(saved + ".csv");
    std::vector<std::string> rows;
    for (size_t at = 0, nl; (nl = csv.find('\n', at)) != std::string::npos; at = nl + 1)
        rows.push_back(csv.substr(at, nl - at));
    ASSERT_EQ(rows.size(), 1u + 30 + 40 + 50);
    EXPECT_EQ(rows[0], "Time;Celton:5:LVP;Brant:6:CURRENT");
    EXPECT_EQ(rows[1], "2026-12-08 23:30:00;0;-1");
    EXPECT_EQ(rows[31], "2026-12-09 00:20:00;" + std::to_string(expected[50]) + ";-1");
    EXPECT_EQ(rows.back(), "2026-12-09 01:52:00;" + std::to_string(expected.back()) + ";-1");
    EXPECT_EQ(ReadBytes(saved + ".png").substr(1, 3), "PNG");
    now_ms += 2000;
    Exec();
    EXPECT_FALSE(WM_IsVisible(STATUS_Handle()));

    // A language file's words for the banner are used as they stand ("%" included).
    std::string texts;
    for (int n = 0; n < GUI_TEXT_HISTORY_SAVED; ++n)
        texts += "text " + std::to_string(n) + "\n";
    texts += "Kept 100%:\nNone\nFailed\n";
    GUI_Lang_SetCount(1);
    ASSERT_EQ(GUI_Lang_Load(texts.data(), static_cast<int>(texts.size()), 0), 0);
    GUI_Lang_Select(0);
    ASSERT_EQ(HISTORY_SaveSpan(true), 0);
    TEXT_ReadText(STATUS_Handle(), banner, sizeof banner);
    EXPECT_EQ(std::string(banner),
              "Kept 100%: " + std::string(HISTORY_LastSaveName()) + " .csv/.png");
    GUI_Lang_SetCount(0);
    now_ms += 2000;
    Exec();

    // The minutes go on at the right end as before.
    Put(28, -1);
    expected.push_back(28);
    check(expected);

    // An earlier file without the chosen column ends the walk there: the first connection
    // is left out, the rest stays.
    std::FILE* f = std::fopen(path[0].c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    char head[512] = {};
    ASSERT_GT(std::fread(head, 1, sizeof head - 1, f), 0u);
    char* lvp = std::strstr(head, "Celton:5:LVP");
    ASSERT_NE(lvp, nullptr);
    std::fseek(f, lvp - head + 9, SEEK_SET);
    std::fputs("XVP", f);
    std::fclose(f);
    HISTORY_Load();
    check(std::vector<int>(expected.begin() + 30 + 20, expected.end()));
}

// A program that polls slowly logs some minutes twice or not at all: within a file the points
// follow one another as the lines do, as in the current file; only the time between two files
// is a gap.
TEST_F(HistoryPage, WithinAnEarlierFileLinesFollowOneAnotherAndOnlyTheOutageIsAGap) {
    const int64_t start = LOGSCAN_Seconds(2026, 3, 1, 8, 0, 0);
    for (int i = 0; i < 10; ++i)
        Put(i, -1);
    StampMinutes(LOG_Path(), start, 3); // 08:00, 08:03, ... 08:27
    ASSERT_EQ(LOG_Init(), 0);
    for (int i = 0; i < 5; ++i)
        Put(20 + i, -1);
    StampMinutes(LOG_Path(), start + 35 * 60); // 08:35: 8 minutes after the last line
    Open(0);
    std::vector<int> want;
    const float factor = 300.0f / 24; // values 0 to 24
    for (int i = 0; i < 10; ++i)
        want.push_back(HISTORY_ScaleValue(i, 0, factor));
    for (int g = 0; g < 7; ++g)
        want.push_back(GRAPH_NO_VALUE);
    for (int i = 0; i < 5; ++i)
        want.push_back(HISTORY_ScaleValue(20 + i, 0, factor));
    EXPECT_EQ(Values(0), want);
}

// Not a check: the picture of a filled page with the cursor, for looking at.
TEST_F(HistoryPage, PageDrawsAsAPicture) {
    for (int i = 0; i < 900; ++i)
        Put(40 + (i * 7) % 50, (i % 200) - 120, 1200 + i % 90);
    Open(0);
    Pointer(Sx(500), Sy(150), 1);
    const std::string path = std::string(VELTRA_BINARY_DIR) + "/history_page.png";
    EXPECT_EQ(HOST_WritePNG(path.c_str(), HOST_GetShownBuffer()), 0);
}

} // namespace
