// The master task's search writes the information window's lines and title while the GUI task
// repaints it.
#include "tests/gui/toolkit/widget_test_util.h"

#include "gui/toolkit/widgets/listbox.h"
#include "gui/toolkit/widgets/text.h"
#include "pages/info.h"

#include <thread>

using namespace widgettest;

namespace {

class InfoTest : public WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        INFO_Create(WM_GetRootWin());
        INFO_Show();
        Exec();
    }
};

TEST_F(InfoTest, LinesAndTitleMayComeFromTheMasterTask) {
    std::thread master([] {
        INFO_SetTitle(192, 168, 1, 60, 1, 7, 0);
        for (int i = 0; i < 50; ++i) INFO_AddLine("Slave id:3 found");
    });
    for (int i = 0; i < 50; ++i) Exec();
    master.join();
    char title[100] = {};
    TEXT_ReadText(WM_FindChildById(INFO_Window(), INFO_ID_TITLE), title, sizeof title);
    EXPECT_STREQ(title, "Ovalo Veltra - Rev. 01.07.00 ,\nIP: 192.168.001.060");
    EXPECT_EQ(LISTBOX_Count(INFO_List()), 50);
}

} // namespace
