// Graphs: series storage and push semantics, the painting stages, where curves and axis
// labels fall, colours by index, and what the graph frees.
#include "tests/gui/toolkit/widget_test_util.h"

#include "gui/host/host.h"
#include "gui/toolkit/core/gui_alloc.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/widgets/graph.h"
#include "gui/toolkit/widgets/text.h"

#include <vector>

using namespace widgettest;

namespace {

class GraphTest : public WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        // The history page's graph: 785 x 325 at (5, 61), a 721 x 301 data area.
        graph = GRAPH_Make(5, 61, 785, 325, parent, WM_CF_VISIBLE, 0, 544);
        GRAPH_PutMargins(graph, 32, 12, 32, 12);
        GRAPH_PutColor(graph, 0x404040, GRAPH_CI_DATA);
        GRAPH_PutColor(graph, 0x808080, GRAPH_CI_BORDER);
        GRAPH_PutColor(graph, 0x000000, GRAPH_CI_FRAME);
        GRAPH_PutColor(graph, 0x808080, GRAPH_CI_GRID);
        Exec();
        ClearLog();
    }
    // Screen position of a data-area pixel.
    int X(int x) const { return 5 + x; }
    int Y(int y) const { return 61 + y; }
    WM_HANDLE graph = 0;
};

TEST_F(GraphTest, ASeriesOfCapacity721DropsItsFirstValueAtThe722ndPush) {
    const GRAPH_HSERIES s = GRAPH_SERIES_Create(0x00FF00, 721, nullptr, 0);
    GRAPH_SERIES_Push(s, 5); // not attached: ignored
    EXPECT_EQ(GRAPH_SERIES_Count(s), 0);
    GRAPH_Attach(graph, s);
    for (int i = 0; i < 721; ++i)
        GRAPH_SERIES_Push(s, int16_t(i));
    int16_t v = -1;
    EXPECT_EQ(GRAPH_SERIES_ReadAt(s, &v, 0), 0);
    EXPECT_EQ(v, 0);
    GRAPH_SERIES_Push(s, 1000);
    EXPECT_EQ(GRAPH_SERIES_Count(s), 721);
    EXPECT_EQ(GRAPH_SERIES_ReadAt(s, &v, 0), 0);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(GRAPH_SERIES_ReadAt(s, &v, 720), 0);
    EXPECT_EQ(v, 1000);
    EXPECT_EQ(GRAPH_SERIES_ReadAt(s, &v, 721), 1);
    EXPECT_EQ(GRAPH_SERIES_ReadAt(s, &v, -1), 1);
    EXPECT_EQ(GRAPH_SERIES_ReadAt(s, nullptr, 3), 1);
    GRAPH_SERIES_Clear(s);
    EXPECT_EQ(GRAPH_SERIES_ReadAt(s, &v, 0), 1);
    const GRAPH_HSERIES loose = GRAPH_SERIES_Create(0, 10, nullptr, 0);
    EXPECT_EQ(GRAPH_SERIES_ReadAt(loose, &v, 0), 1); // not attached
    GRAPH_SERIES_Delete(loose);
    EXPECT_EQ(GRAPH_SERIES_Create(0, 0, nullptr, 0), 0);
}

TEST_F(GraphTest, InitialValuesAreCutToTheCapacity) {
    const int16_t init[5] = {1, 2, 3, 4, 5};
    const GRAPH_HSERIES s = GRAPH_SERIES_Create(0x00FF00, 3, init, 5);
    GRAPH_Attach(graph, s);
    EXPECT_EQ(GRAPH_SERIES_Count(s), 3);
    int16_t v;
    GRAPH_SERIES_ReadAt(s, &v, 2);
    EXPECT_EQ(v, 3);
}

TEST_F(GraphTest, TheNewestValueIsPlottedAtTheRightEdgeOnePixelPerValue) {
    const GRAPH_HSERIES s = GRAPH_SERIES_Create(0x00FF00, 721, nullptr, 0);
    GRAPH_Attach(graph, s);
    // A flat curve at 100 with one step down to 40 as its fifth-newest value.
    for (int i = 0; i < 100; ++i)
        GRAPH_SERIES_Push(s, int16_t(i == 95 ? 40 : 100));
    Exec();
    const uint32_t green = Px(0x00FF00);
    // Data area: x 32..752, y 12..312; value v at y = 312 - v.
    EXPECT_EQ(At(X(752), Y(312 - 100)), green);
    EXPECT_EQ(At(X(752 - 99), Y(312 - 100)), green); // the oldest of 100 values
    EXPECT_NE(At(X(752 - 100), Y(312 - 100)), green);
    EXPECT_EQ(At(X(752 - 4), Y(312 - 40)), green); // value 95 of 100
    EXPECT_NE(At(X(752 - 4), Y(312 - 100)), green);
    EXPECT_EQ(At(X(752 - 30), Y(312 - 40)), Px(0x404040));
}

TEST_F(GraphTest, ValuesLeftOfTheDataAreaAreSkipped) {
    const GRAPH_HSERIES s = GRAPH_SERIES_Create(0xFF0000, 2000, nullptr, 0);
    GRAPH_Attach(graph, s);
    for (int i = 0; i < 2000; ++i)
        GRAPH_SERIES_Push(s, 50);
    Exec();
    EXPECT_EQ(At(X(32), Y(312 - 50)), Px(0xFF0000));
    EXPECT_EQ(At(X(30), Y(312 - 50)), Px(0x808080)); // the border, not the curve
}

TEST_F(GraphTest, GridBorderAndFrameUseTheirColourIndexes) {
    GRAPH_ShowGrid(graph, 1);
    GRAPH_PutGridSpacingX(graph, 60);
    GRAPH_PutGridSpacingY(graph, 50);
    EXPECT_EQ(GRAPH_PutColor(graph, 0x0000FF, GRAPH_CI_GRID), 0x808080u);
    EXPECT_EQ(GRAPH_PutColor(graph, 0x123456, 4), 0u);
    Exec();
    EXPECT_EQ(At(X(32 + 60), Y(100)), Px(0x0000FF));
    EXPECT_EQ(At(X(32 + 61), Y(100)), Px(0x404040));
    EXPECT_EQ(At(X(100), Y(312 - 50)), Px(0x0000FF));
    EXPECT_EQ(At(X(5), Y(5)), Px(0x808080));
    EXPECT_EQ(At(X(31), Y(100)), Px(0x000000)); // the frame line
    EXPECT_EQ(At(X(753), Y(100)), Px(0x000000));
    // A transparent border lets the parent show in the margins.
    GRAPH_PutColor(graph, 0xFF000000, GRAPH_CI_BORDER);
    GRAPH_ShowGrid(graph, 0);
    Exec();
    EXPECT_EQ(At(X(5), Y(5)), 0x303030u);
    EXPECT_EQ(At(X(32 + 60), Y(100)), Px(0x404040));
}

// Columns of the axis labels' pixels in the bottom margin.
std::vector<int> LabelColumns(const GraphTest* t, uint32_t colour, int y0, int y1, int x0, int x1) {
    std::vector<int> cols;
    for (int x = x0; x <= x1; ++x) {
        for (int y = y0; y <= y1; ++y) {
            if (HOST_GetPixel(HOST_GetShownBuffer(), x, y) == colour) {
                cols.push_back(x);
                break;
            }
        }
    }
    (void)t;
    return cols;
}

TEST_F(GraphTest, AxisLabelsFallWhereTheDistanceLessTheOffsetIsAMultipleOfTheTick) {
    // The time axis: offset 721 puts 0 at the right edge, labels every 60 pixels left of it.
    const GRAPH_HAXIS time = GRAPH_AXIS_Create(313, GUI_ALIGN_HCENTER, 0, 60);
    GRAPH_AXIS_PutOffset(time, 720);
    GRAPH_AXIS_PutFactor(time, 1.0f / 60.0f);
    GRAPH_AXIS_PutTextColor(time, 0x00FFFF);
    GRAPH_AttachAxis(graph, time);
    Exec();
    // Labels centred at the data x 32 + 720 - 60 k: "0" at 752, "-1" at 692, ...
    const auto cols = LabelColumns(this, Px(0x00FFFF), Y(313), Y(324), X(0), X(784));
    ASSERT_FALSE(cols.empty());
    auto has_near = [&](int x) {
        for (int c : cols)
            if (c >= x - 6 && c <= x + 6) return true;
        return false;
    };
    for (int k = 0; k <= 12; ++k)
        EXPECT_TRUE(has_near(X(752 - 60 * k))) << k;
    EXPECT_FALSE(has_near(X(752 - 30)));
    EXPECT_FALSE(has_near(X(752 - 90)));
}

TEST_F(GraphTest, VerticalAxisLabelsShowFactorOffsetAndDecimals) {
    const GRAPH_HAXIS axis = GRAPH_AXIS_Create(31, GUI_ALIGN_RIGHT, 1, 50);
    GRAPH_AXIS_PutTextColor(axis, 0x00FF00);
    GRAPH_AXIS_PutOffset(axis, 0);
    GRAPH_AXIS_PutFactor(axis, 0.1f);
    GRAPH_AXIS_PutDecimals(axis, 2);
    GRAPH_AttachAxis(graph, axis);
    Exec();
    // Rows with green pixels in the left margin: around y = 312 - 50 k.
    std::vector<int> rows;
    for (int y = 0; y < 325; ++y)
        for (int x = 0; x < 32; ++x)
            if (At(X(x), Y(y)) == Px(0x00FF00)) {
                rows.push_back(y);
                break;
            }
    ASSERT_FALSE(rows.empty());
    for (int k = 1; k <= 5; ++k) {
        const int centre = 312 - 50 * k;
        bool found = false;
        for (int r : rows)
            found = found || (r >= centre - 6 && r <= centre + 6);
        EXPECT_TRUE(found) << k;
    }
    for (int r : rows) {
        const int d = (312 - r + 6) % 50;
        EXPECT_LE(d, 12) << r; // nothing between the ticks
    }
}

TEST_F(GraphTest, TheOverlayRunsAtStagesZeroOneTwoAndStageTwoMayDrawOnTheBorder) {
    static std::vector<int> stages;
    stages.clear();
    GRAPH_PutOverlayFn(graph, [](WM_HANDLE, int stage) {
        stages.push_back(stage);
        GUI_SetDrawColor(stage == 2 ? 0x00FFFF : 0xFF00FF);
        GUI_FillRectangle(0, 100, 784, 101); // across border and data area
    });
    WM_InvalidateWin(graph);
    Exec();
    ASSERT_GE(stages.size(), 3u);
    EXPECT_EQ((std::vector<int>(stages.begin(), stages.begin() + 3)), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(At(X(5), Y(100)), Px(0x00FFFF));   // stage 2 reaches the border
    EXPECT_EQ(At(X(400), Y(100)), Px(0x00FFFF)); // and is drawn last
}

TEST_F(GraphTest, EarlyStagesAreClippedToTheDataArea) {
    GRAPH_PutOverlayFn(graph, [](WM_HANDLE, int stage) {
        if (stage != 0) return;
        GUI_SetDrawColor(0xFF00FF);
        GUI_FillRectangle(0, 0, 784, 324);
    });
    WM_InvalidateWin(graph);
    Exec();
    EXPECT_EQ(At(X(400), Y(100)), Px(0xFF00FF));
    EXPECT_EQ(At(X(5), Y(100)), Px(0x808080));
}

TEST_F(GraphTest, AReplacedProcedureChainsToTheDefaultAndChildrenLiveOnTheGraph) {
    static int pointer_messages = 0;
    pointer_messages = 0;
    WM_ReplaceCallback(graph, [](WM_MSG_RECORD* msg) {
        if (msg->msg_id == WM_MSG_POINTER && msg->data.p != nullptr) ++pointer_messages;
        GRAPH_DefaultProc(msg);
    });
    const WM_HANDLE status = TEXT_Make(292, 137, 200, 50, graph, WM_CF_VISIBLE, 14, 352, "busy");
    Click(100, 100);
    EXPECT_EQ(pointer_messages, 2);
    EXPECT_EQ(WM_GetWinId(graph), 544);
    EXPECT_EQ(WM_GetParentWin(status), graph);
}

TEST_F(GraphTest, DeletingTheGraphFreesItsCurvesAndAxes) {
    const int32_t before = GUI_ALLOC_GetNumFreeBytes();
    const WM_HANDLE g = GRAPH_Make(0, 0, 785, 325, parent, WM_CF_VISIBLE, 0, 1);
    for (int c = 0; c < 4; ++c) {
        const GRAPH_HSERIES s = GRAPH_SERIES_Create(0x00FF00, 721, nullptr, 0);
        GRAPH_Attach(g, s);
        for (int i = 0; i < 800; ++i)
            GRAPH_SERIES_Push(s, int16_t(i % 300));
    }
    GRAPH_AttachAxis(g, GRAPH_AXIS_Create(313, 2, 0, 60));
    GRAPH_AttachAxis(g, GRAPH_AXIS_Create(32, 1, 1, 50));
    Exec();
    WM_DeleteWindow(g);
    Exec();
    EXPECT_EQ(GUI_ALLOC_GetNumFreeBytes(), before);
}

TEST_F(GraphTest, AWrongHandleChangesNothing) {
    const WM_HANDLE label = TEXT_Make(0, 0, 10, 10, parent, WM_CF_VISIBLE, 0, 1, "x");
    reports.clear();
    EXPECT_EQ(GRAPH_PutColor(label, 0x123456, 0), 0u);
    EXPECT_EQ(reports.size(), 1u);
    // A series handle that is something else entirely is ignored.
    GRAPH_SERIES_Push(label, 4);
    int16_t v;
    EXPECT_EQ(GRAPH_SERIES_ReadAt(label, &v, 0), 1);
    GRAPH_AXIS_PutFactor(label, 2.0f);
    char text[4];
    EXPECT_EQ(TEXT_ReadText(label, text, sizeof text), 1);
}

} // namespace
