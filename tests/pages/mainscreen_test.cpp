// The main screen: which device pages exist and in which order, their widths and motion (by
// drag and by the mouse wheel), the tile frames and name fields of the page paint, the
// information list under the wheel, and the rebuild after a lost gateway.
#include "tests/pages/devicepage_golden_util.h"

#include "gui/host/host.h"
#include "gui/toolkit/widgets/listbox.h"
#include "gui/toolkit/widgets/multipage.h"
#include "gui/toolkit/widgets/text.h"
#include "elements/keyboard.h"
#include "gui/toolkit/widgets/edit.h"
#include "pages/info.h"
#include "pages/mainscreen.h"

#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

using widgettest::Px;

namespace {

RegisterCell* DisplayMap() { return g_register_store.data(); }

class MainScreenTest : public pagetest::PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        MAINSCREEN_ForgetForTests();
        MAINSCREEN_CreateFrame(WM_GetRootWin());
    }
    void TearDown() override {
        MAINSCREEN_ForgetForTests();
        PageTest::TearDown();
    }
    void SensorKinds(int k0, int k1, int k2, int k3) {
        const int kinds[4] = {k0, k1, k2, k3};
        for (int i = 0; i < 4; ++i) Reg_Set(DisplayMap(), 64 + 10 * i, uint16_t(kinds[i]));
    }
    void Build() {
        MAINSCREEN_BuildPages();
        Exec();
    }
    // The table indexes of the pages, in page order.
    std::vector<int> PageTypes() {
        std::vector<int> out;
        for (int k = 0; k < MAIN_PAGE_COUNT && MAINSCREEN_PageType(k) != nullptr; ++k)
            for (int l = 0; l < DEV_TYPE_COUNT; ++l)
                if (DeviceTypeTable[size_t(l)] == MAINSCREEN_PageType(k)) out.push_back(l);
        return out;
    }
    int PageOf(int type_index) {
        return MAINSCREEN_PageOfWindow(MAINSCREEN_PageWindowOfType(type_index));
    }
    void Show(int type_index) {
        MULTIPAGE_ShowPage(MAINSCREEN_Multipage(), PageOf(type_index));
        Exec();
    }
    // A pixel of the shown page at page coordinates.
    uint32_t PageAt(int type_index, int x, int y) {
        const WM_HANDLE win = MAINSCREEN_PageWindowOfType(type_index);
        return At(WM_GetWindowOrgX(win) + x, WM_GetWindowOrgY(win) + y);
    }
    std::string FieldText(int pg, int slot) {
        char text[64] = {};
        TEXT_ReadText(MAINSCREEN_NameField(pg, slot), text, sizeof text);
        return text;
    }
    int32_t AddCelton(int unit, int state = 1, uint32_t type_id = 100) {
        const int32_t i = DEV_AppendDevice(unit, DEV_FindSearchType(type_id));
        pagetest::FillFixedValues(g_device_list.entries[size_t(i)], unit);
        g_device_list.entries[size_t(i)].state = state;
        return i;
    }
};

TEST_F(MainScreenTest, OnePagePerTypeInTableOrderAndSensorPagesOnlyWithTheirSensors) {
    pagetest::ListFull();
    SensorKinds(0, 11, 12, 14); // Amprix and Levra devices are listed, but no such sensor
    Build();
    const std::vector<int> without = {0, 1, 2, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17,
                                      18, 19, 20};
    EXPECT_EQ(PageTypes(), without);
    EXPECT_EQ(MULTIPAGE_PageCount(MAINSCREEN_Multipage()), int(without.size()));
    EXPECT_EQ(MULTIPAGE_Current(MAINSCREEN_Multipage()), 0);
    EXPECT_EQ(debug.Count(" with ID -1 created on parent "), int(without.size()));
    int window = 0, id = 0, on_parent = 0;
    ASSERT_EQ(std::sscanf(debug.Text().c_str(), "Dev Window: %d with ID %d created on parent %d\n",
                          &window, &id, &on_parent),
              3);
    EXPECT_EQ(window, MAINSCREEN_PageWindow(0));
    EXPECT_EQ(id, -1);
    EXPECT_EQ(on_parent, MAINSCREEN_Multipage());

    MAINSCREEN_DeletePages();
    SensorKinds(0, 10, 0, 13); // kinds 1 to 10 are current sensors, 13 a level sensor
    Build();
    std::vector<int> all(DEV_TYPE_COUNT);
    for (int l = 0; l < DEV_TYPE_COUNT; ++l) all[size_t(l)] = l;
    EXPECT_EQ(PageTypes(), all);
    MAINSCREEN_DeletePages();
    SensorKinds(1, 0, 0, 0);
    Build();
    EXPECT_EQ(PageOf(DEV_TYPE_AMPRIX), 3);
    EXPECT_EQ(PageOf(DEV_TYPE_LEVRA), -1);
}

TEST_F(MainScreenTest, PagesWiderThanTheScreenAreDraggedSideways) {
    pagetest::ListWide(); // nine Corvo 500, five Celton 100
    Build();
    const WM_HANDLE celton = MAINSCREEN_PageWindowOfType(DEV_TYPE_CELTON);
    const WM_HANDLE corvo = MAINSCREEN_PageWindowOfType(DEV_TYPE_CORVO_500);
    EXPECT_EQ(WM_GetWindowSizeX(celton), 798);
    EXPECT_EQ(WM_GetWindowSizeY(celton), 425);
    EXPECT_FALSE(WM_GetFlags(celton) & WM_CF_DRAG_X);
    EXPECT_EQ(WM_GetWindowSizeX(corvo), 2030);
    EXPECT_TRUE(WM_GetFlags(corvo) & WM_CF_DRAG_X);
    // The pages lie below the tab row and only the selected one is shown.
    EXPECT_TRUE(WM_IsVisible(MAINSCREEN_PageWindow(0)));
    EXPECT_FALSE(WM_IsVisible(corvo));
}

TEST_F(MainScreenTest, TheWheelMovesAWidePageSidewaysJustAsADragDoes) {
    WM_EnableMotion(1);
    pagetest::ListWide();
    Build();
    Show(DEV_TYPE_CELTON);
    const WM_HANDLE celton = MAINSCREEN_PageWindowOfType(DEV_TYPE_CELTON);
    const int narrow_x = WM_GetWindowOrgX(celton);
    Wheel(400, 300, -1); // a page that fits stays where it is
    EXPECT_EQ(WM_GetWindowOrgX(celton), narrow_x);

    Show(DEV_TYPE_CORVO_500);
    const WM_HANDLE corvo = MAINSCREEN_PageWindowOfType(DEV_TYPE_CORVO_500);
    const int start = WM_GetWindowOrgX(corvo);
    // Over a tile's name field: the field has no use for the wheel, its page moves.
    const WM_HANDLE field = MAINSCREEN_NameField(PageOf(DEV_TYPE_CORVO_500), 0);
    Wheel(WM_GetWindowOrgX(field) + 20, WM_GetWindowOrgY(field) + 10, -1);
    EXPECT_EQ(WM_GetWindowOrgX(corvo), start - WM_WHEEL_PIXELS);
    const std::vector<uint32_t> wheeled = Shown();
    EXPECT_EQ(KEYBOARD_Handle(), 0); // a turn over the name field is no touch on it

    // The same distance dragged by hand gives the same picture.
    Wheel(400, 300, 1);
    EXPECT_EQ(WM_GetWindowOrgX(corvo), start);
    Pointer(600, 420, 1);
    Pointer(500, 420, 1);
    now_ms += 500; // a slow release: no glide
    Pointer(500, 420, 0);
    EXPECT_EQ(WM_GetWindowOrgX(corvo), start - WM_WHEEL_PIXELS);
    EXPECT_TRUE(Shown() == wheeled) << "the wheel and the drag show different pictures";

    // Bounded like the drag: the last tile ends at the right edge.
    Wheel(400, 300, -50);
    const WM_HANDLE client = WM_GetParentWin(corvo);
    EXPECT_EQ(WM_GetWindowOrgX(corvo) + WM_GetWindowSizeX(corvo),
              WM_GetWindowOrgX(client) + WM_GetWindowSizeX(client));
    Wheel(400, 300, 50);
    EXPECT_EQ(WM_GetWindowOrgX(corvo), start);
}

TEST_F(MainScreenTest, TheWheelScrollsTheInformationListAndNothingBehindIt) {
    WM_EnableMotion(1);
    pagetest::ListWide();
    Build();
    Show(DEV_TYPE_CORVO_500);
    const WM_HANDLE corvo = MAINSCREEN_PageWindowOfType(DEV_TYPE_CORVO_500);
    const int page_x = WM_GetWindowOrgX(corvo);
    for (int i = 0; i < 60; ++i)
        INFO_AddLine(("Found: Corvo at unit " + std::to_string(i)).c_str());
    Click(770, 30); // the "i" button
    ASSERT_TRUE(WM_IsVisible(INFO_Window()));
    const WM_HANDLE list = INFO_List();
    const int newest_top = LISTBOX_TopLine(list);
    ASSERT_GT(newest_top, 0);
    // The newest line is selected and shown in the bottom row (20 pixels a line from y = 86).
    const int bottom_row_y = 86 + (60 - 1 - newest_top) * 20 + 10;
    EXPECT_EQ(At(6, bottom_row_y), Px(0x808080));

    Wheel(400, 200, 2); // away from the user: back to older lines
    EXPECT_EQ(LISTBOX_TopLine(list), newest_top - 2 * WM_WHEEL_LINES);
    EXPECT_EQ(LISTBOX_Selected(list), 59);
    EXPECT_EQ(At(6, bottom_row_y), Px(0x000000));
    // Beside the list the window is modal: the page behind it does not move.
    Wheel(400, 30, -3);
    Wheel(400, 450, -3);
    EXPECT_EQ(WM_GetWindowOrgX(corvo), page_x);
    EXPECT_EQ(LISTBOX_TopLine(list), newest_top - 2 * WM_WHEEL_LINES);
    Wheel(400, 200, -9);
    EXPECT_EQ(LISTBOX_TopLine(list), newest_top);
    EXPECT_EQ(At(6, bottom_row_y), Px(0x808080));
    Click(35, 445); // close
    Wheel(400, 300, -1);
    EXPECT_EQ(WM_GetWindowOrgX(corvo), page_x - WM_WHEEL_PIXELS);
}

TEST_F(MainScreenTest, NameFieldsShowTheNameWithTheUnitIdExceptForTheDisplayGroup) {
    DEV_BeginSearch();
    Reg_Set(DisplayMap(), 0, DEV_DISPLAY_TYPE_ID);
    const int32_t quill = DEV_CreateDisplayGroup(1); // Quill, Home, Graph, then the sensors
    const int32_t home = quill + 1;
    const int32_t plain = AddCelton(7);
    const int32_t named = AddCelton(8);
    std::snprintf(g_device_list.entries[size_t(named)].custom_name, DEV_CUSTOM_NAME_SIZE, "Boot");
    std::snprintf(g_device_list.entries[size_t(home)].custom_name, DEV_CUSTOM_NAME_SIZE, "Haus");
    char text[64];
    EXPECT_EQ(MAINSCREEN_DeviceName(plain, text, sizeof text), 8);
    EXPECT_STREQ(text, "Celton:7");
    MAINSCREEN_DeviceName(named, text, sizeof text);
    EXPECT_STREQ(text, "Boot:8");
    MAINSCREEN_DeviceName(home, text, sizeof text);
    EXPECT_STREQ(text, "Haus");
    MAINSCREEN_DeviceName(quill, text, sizeof text);
    EXPECT_STREQ(text, "Quill");
    EXPECT_EQ(MAINSCREEN_DeviceName(plain, text, 4), 3);
    EXPECT_STREQ(text, "Cel");
    EXPECT_EQ(MAINSCREEN_DeviceName(300, text, sizeof text), -1);
    EXPECT_STREQ(text, "");

    Build();
    Show(DEV_TYPE_CELTON);
    const int pg = PageOf(DEV_TYPE_CELTON);
    EXPECT_EQ(MAINSCREEN_CurrentPage(), pg);
    EXPECT_EQ(FieldText(pg, 0), "Celton:7");
    EXPECT_EQ(FieldText(pg, 1), "Boot:8");
    EXPECT_EQ(WM_GetWinId(MAINSCREEN_NameField(pg, 1)), MAIN_ID_NAME_FIELD + 1);
    EXPECT_EQ(WM_GetParentWin(MAINSCREEN_NameField(pg, 1)), MAINSCREEN_PageWindow(pg));
    int32_t index = -1;
    TEXT_ReadUserBytes(MAINSCREEN_NameField(pg, 1), &index, sizeof index);
    EXPECT_EQ(index, named);
    // Made once: a later repaint keeps the same widget.
    const WM_HANDLE first = MAINSCREEN_NameField(pg, 0);
    MAINSCREEN_SendPageMessage(pg, MSG_PAGE_REFRESH);
    Exec();
    EXPECT_EQ(MAINSCREEN_NameField(pg, 0), first);
    EXPECT_EQ(MAINSCREEN_SlotCounter(), 2 + 0); // Celton tiles have no value texts of their own
    EXPECT_EQ(FieldText(PageOf(DEV_TYPE_HOME), 0), "Haus");
}

// A name field is a label: the page turns a touch on it into the keyboard, a drag across it
// (the page moving sideways) or a press that leaves it into nothing.
TEST_F(MainScreenTest, TouchingANameFieldOpensTheKeyboardWithTheNameCutAtTheUnitId) {
    DEV_BeginSearch();
    const int32_t named = AddCelton(7);
    std::snprintf(g_device_list.entries[size_t(named)].custom_name, DEV_CUSTOM_NAME_SIZE, "Boot");
    Build();
    Show(DEV_TYPE_CELTON);
    const int pg = PageOf(DEV_TYPE_CELTON);
    const WM_HANDLE field = MAINSCREEN_NameField(pg, 0);
    ASSERT_NE(field, 0);
    const int fx = WM_GetWindowOrgX(field) + 20;
    const int fy = WM_GetWindowOrgY(field) + 10;

    Pointer(fx, fy, 1);
    Pointer(fx + 40, fy, 1); // dragged beyond the threshold
    Pointer(fx + 40, fy, 0);
    Exec();
    EXPECT_EQ(KEYBOARD_Handle(), 0);

    Click(fx, fy);
    Exec();
    const WM_HANDLE keyboard = KEYBOARD_Handle();
    ASSERT_NE(keyboard, 0);
    char text[40] = {};
    EDIT_ReadText(WM_FindChildById(keyboard, KEYBOARD_ID_EDIT), text, sizeof text);
    EXPECT_STREQ(text, "Boot");
}

TEST_F(MainScreenTest, AnOfflineOrFlaggedDeviceHasAGreyNameFieldAndEveryTileAGreyFrame) {
    DEV_BeginSearch();
    AddCelton(3, 1, 103);
    AddCelton(4, 0, 103);
    const int32_t flagged = AddCelton(5, 1, 103);
    Reg_Set(g_device_list.entries[size_t(flagged)].registers.load(), 190, 0x0301);
    Build();
    Show(DEV_TYPE_CELTON_103);
    // Tiles 100 wide from x = 5, 110, 215; the name field runs from y = 8 to 32.
    EXPECT_EQ(PageAt(DEV_TYPE_CELTON_103, 5 + 5, 10), Px(0x006600));
    EXPECT_EQ(PageAt(DEV_TYPE_CELTON_103, 110 + 5, 10), Px(0x808080));
    EXPECT_EQ(PageAt(DEV_TYPE_CELTON_103, 215 + 5, 10), Px(0x808080));
    EXPECT_EQ(g_device_list.entries[size_t(flagged)].greyed, 1);
    for (int x : {5, 110, 215})
        EXPECT_EQ(PageAt(DEV_TYPE_CELTON_103, x + 1, 200), Px(0x808080)) << x;
    // The gaps between the tiles stay black.
    EXPECT_EQ(PageAt(DEV_TYPE_CELTON_103, 107, 200), Px(0x000000));
}

TEST_F(MainScreenTest, ATileOfWidthZeroGetsNoFrameAndNoNameField) {
    DEV_BeginSearch();
    Reg_Set(DisplayMap(), 0, DEV_DISPLAY_TYPE_ID);
    DEV_CreateDisplayGroup(1);
    Build();
    Show(DEV_TYPE_QUILL);
    const int pg = PageOf(DEV_TYPE_QUILL);
    for (int n = 0; n < MAIN_NAME_FIELD_SLOTS; ++n)
        EXPECT_NE(WM_GetWinId(MAINSCREEN_NameField(pg, n)), MAIN_ID_NAME_FIELD + n) << n;
}

TEST_F(MainScreenTest, FieldsBelongToThePagePaintedEvenBeforeTheSelectionIsReadAgain) {
    pagetest::ListWide();
    Build();
    EXPECT_EQ(MAINSCREEN_SelectedPage(), 0);
    // A tab change paints the new pg before the GUI task's loop reads the selection.
    Show(DEV_TYPE_CELTON);
    const int pg = PageOf(DEV_TYPE_CELTON);
    ASSERT_NE(MAINSCREEN_NameField(pg, 0), 0);
    EXPECT_EQ(WM_GetParentWin(MAINSCREEN_NameField(pg, 0)), MAINSCREEN_PageWindow(pg));
    EXPECT_EQ(FieldText(pg, 4), "Celton:24");
    EXPECT_EQ(MAINSCREEN_SelectedPage(), pg);
}

TEST_F(MainScreenTest, ARebuildClearsThePageRegistersAndSelectsTheFirstTab) {
    pagetest::ListWide();
    Build();
    Show(DEV_TYPE_CORVO_500);
    MAINSCREEN_SelectedPage();
    const WM_HANDLE old_multipage = MAINSCREEN_Multipage();
    MAINSCREEN_DeletePages();
    EXPECT_FALSE(WM_IsWindow(old_multipage));
    for (int k = 0; k < MAIN_PAGE_COUNT; ++k) {
        EXPECT_EQ(MAINSCREEN_PageWindow(k), 0);
        EXPECT_EQ(MAINSCREEN_PageType(k), nullptr);
        for (int n = 0; n < MAIN_NAME_FIELD_SLOTS; ++n) ASSERT_EQ(MAINSCREEN_NameField(k, n), 0);
    }
    Build();
    EXPECT_EQ(MULTIPAGE_Current(MAINSCREEN_Multipage()), 0);
    EXPECT_EQ(MAINSCREEN_CurrentPage(), 0);
    // Page messages to pages that do not exist are dropped.
    MAINSCREEN_SendPageMessage(-1, MSG_PAGE_REFRESH);
    MAINSCREEN_SendPageMessage(MAIN_PAGE_COUNT - 1, MSG_PAGE_TICK);
}

TEST_F(MainScreenTest, TheTopBandShowsDateTimeAndTheInformationButtonOpensTheWindow) {
    Exec();
    EXPECT_EQ(At(400, 40), Px(0x006600));
    EXPECT_EQ(At(770, 5), Px(0x006600)); // the button's picture: the "i" on dark green
    EXPECT_EQ(At(770, 15), Px(0xFFFFFF));
    char text[20] = {};
    TEXT_ReadText(WM_FindChildById(MAINSCREEN_MainWindow(), MAIN_ID_TIME), text, sizeof text);
    EXPECT_STREQ(text, "ZEIT");
    MAINSCREEN_SetDateTime("08.12.26", "14:54");
    TEXT_ReadText(WM_FindChildById(MAINSCREEN_MainWindow(), MAIN_ID_DATE), text, sizeof text);
    EXPECT_STREQ(text, "08.12.26");

    Click(770, 30);
    EXPECT_TRUE(WM_IsVisible(INFO_Window()));
    EXPECT_EQ(WM_GetModalWin(), INFO_Window());
    Click(770, 30); // modal: the main screen's button is out of reach, nothing changes
    EXPECT_TRUE(WM_IsVisible(INFO_Window()));
    Click(35, 445); // close
    EXPECT_FALSE(WM_IsVisible(INFO_Window()));
    EXPECT_EQ(WM_GetModalWin(), 0);
}

TEST(MainScreenTileStatus, ReadFromTheTypesRegisterOrWrittenForTheLaterMeters) {
    DEV_Clear();
    DEV_BeginSearch();
    const int32_t celton = DEV_AppendDevice(2, DEV_FindSearchType(104));
    const int32_t short_celton = DEV_AppendDevice(7, DEV_FindSearchType(102));
    const int32_t rv = DEV_AppendDevice(3, DEV_FindSearchType(1025));
    const int32_t corvo = DEV_AppendDevice(4, DEV_FindSearchType(501));
    const int32_t later = DEV_AppendDevice(5, DEV_FindSearchType(511));
    const int32_t brant = DEV_AppendDevice(6, DEV_FindSearchType(200));
    auto& e = g_device_list.entries;
    Reg_Set(e[size_t(celton)].registers.load(), 190, 0x7702);
    Reg_Set(e[size_t(rv)].registers.load(), 827, 0x0003);
    Reg_Set(e[size_t(corvo)].registers.load(), 236, 0x0104);
    e[size_t(later)].greyed = -2;
    e[size_t(brant)].greyed = 9;
    // Register 190 lies beyond the window of the 109-register Celtons: that would be the next
    // device's register 81, so their status stays as it is.
    Reg_Set(e[size_t(short_celton)].registers.load(), 190, 0x0005);
    for (int32_t i : {celton, short_celton, rv, corvo, later, brant})
        MAINSCREEN_RefreshTileStatus(&e[size_t(i)]);
    EXPECT_EQ(e[size_t(short_celton)].greyed, 0);
    EXPECT_EQ(e[size_t(celton)].greyed, 2);
    EXPECT_EQ(e[size_t(rv)].greyed, 3);
    EXPECT_EQ(e[size_t(corvo)].greyed, 4);
    EXPECT_EQ(Reg_Get(e[size_t(later)].registers.load(), 236), 0xFFFE); // sign-extended
    EXPECT_EQ(e[size_t(brant)].greyed, 9);
    DEV_Clear();
}

TEST_F(MainScreenTest, ARefreshWithNothingChangedInvalidatesNothing) {
    DEV_BeginSearch();
    const int32_t celton = AddCelton(7, 1, 103);
    Build();
    Show(DEV_TYPE_CELTON_103);
    const int pg = PageOf(DEV_TYPE_CELTON_103);
    MAINSCREEN_SendPageMessage(pg, MSG_PAGE_REFRESH);
    Exec();
    MAINSCREEN_SendPageMessage(pg, MSG_PAGE_REFRESH);
    EXPECT_EQ(WM_GetNumInvalidWindows(), 0);

    // A changed register repaints the page, and the new value is what it shows.
    RegisterCell* w = g_device_list.entries[size_t(celton)].registers.load();
    Reg_Set(w, 190, 1); // tile status: the name field turns grey
    MAINSCREEN_SendPageMessage(pg, MSG_PAGE_REFRESH);
    EXPECT_GT(WM_GetNumInvalidWindows(), 0);
    Exec();
    EXPECT_EQ(PageAt(DEV_TYPE_CELTON_103, 5 + 5, 10), Px(0x808080));

    // A new minute reaches the time field without the page.
    MAINSCREEN_SendPageMessage(pg, MSG_PAGE_REFRESH);
    EXPECT_EQ(WM_GetNumInvalidWindows(), 0);
    MAINSCREEN_SetDateTime("08.12.26", "15:31");
    EXPECT_GT(WM_GetNumInvalidWindows(), 0);
}

} // namespace
