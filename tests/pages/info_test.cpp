// The information window's list and title, and the font fitting.
#include "tests/gui/toolkit/widget_test_util.h"

#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/widgets/listbox.h"
#include "gui/toolkit/widgets/text.h"
#include "pages/info.h"

#include <string>

using namespace widgettest;

namespace {

class InfoTest : public WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        INFO_Create(WM_GetRootWin());
        Exec();
    }
    std::string Line(int index) {
        char text[64] = {};
        LISTBOX_ReadItemText(INFO_List(), index, text, sizeof text);
        return text;
    }
};

TEST_F(InfoTest, TheListKeepsTheNewest500LinesWithTheNewestSelected) {
    EXPECT_FALSE(WM_IsVisible(INFO_Window()));
    for (int i = 0; i < 600; ++i) INFO_AddLine(("line " + std::to_string(i)).c_str());
    EXPECT_EQ(LISTBOX_Count(INFO_List()), INFO_MAX_LINES);
    EXPECT_EQ(Line(0), "line 100");
    EXPECT_EQ(Line(499), "line 599");
    EXPECT_EQ(LISTBOX_Selected(INFO_List()), 499);
    INFO_AddLine(nullptr);
    EXPECT_EQ(LISTBOX_Count(INFO_List()), INFO_MAX_LINES);
    EXPECT_TRUE(reports.empty()); // the heap never ran short
    INFO_Show();
    Exec();
    // The newest line is in view at the bottom of the list, green on black.
    EXPECT_GT(LISTBOX_TopLine(INFO_List()), 400);
}

TEST_F(InfoTest, FitTextTakesTheLargestFontThatFitsAndFont8WhenNoneDoes) {
    EXPECT_EQ(FONT_FitText("Ab", 1000, 1000), &FONT_32B);
    EXPECT_EQ(FONT_FitText("a much longer name than fits", 5, 100), &FONT_8);
    EXPECT_EQ(FONT_FitText("x", 100, 1), &FONT_8);
    // Between: the chosen font fits strictly, and the text is measured as it will be drawn.
    const GUI_FONTDEF* font = FONT_FitText("Batterie Heck", 120, 22);
    EXPECT_EQ(GUI_SelectFont(nullptr), font);
    EXPECT_LT(GUI_GetTextWidth("Batterie Heck"), 120);
    EXPECT_LT(GUI_GetFontHeight(), 22);
    EXPECT_NE(font, &FONT_8X16);
    GUI_SelectFont(&FONT_20B);
    EXPECT_FALSE(GUI_GetTextWidth("Batterie Heck") < 120 && GUI_GetFontHeight() < 22);
}

} // namespace
