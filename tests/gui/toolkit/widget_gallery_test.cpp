// The widget gallery: one of each widget in typical states on a screen like the program's,
// written as widget_gallery.png into the build folder for a look by eye.
#include "tests/gui/toolkit/widget_test_util.h"

#include "gui/host/host.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/widgets/button.h"
#include "gui/toolkit/widgets/dropdown.h"
#include "gui/toolkit/widgets/edit.h"
#include "gui/toolkit/widgets/graph.h"
#include "gui/toolkit/widgets/listbox.h"
#include "gui/toolkit/widgets/multipage.h"
#include "gui/toolkit/widgets/text.h"
#include "gui/toolkit/widgets/widget.h"

#include <cmath>
#include <cstdio>
#include <string>

using namespace widgettest;

namespace {

void MainProc(WM_MSG_RECORD* msg) {
    if (msg->msg_id != WM_MSG_PAINT) return WM_FallbackProc(msg);
    GUI_SetBackColor(0x000000);
    GUI_ClearWindow();
    GUI_SetDrawColor(0x006600);
    GUI_FillRectangle(0, 0, 800, 85);
}

void PageProc(WM_MSG_RECORD* msg) {
    if (msg->msg_id != WM_MSG_PAINT) return WM_FallbackProc(msg);
    GUI_SetBackColor(0x000000);
    GUI_ClearWindow();
}

class Gallery : public WidgetTest {};

TEST_F(Gallery, OneOfEachWidgetInTypicalStates) {
    WIDGET_SetProgramDefaults();
    MULTIPAGE_LOOK look{0x000000, 0x006600, 0x006600, 0x006600, 0x006600, 0x006600, 0xFFFFFF};
    MULTIPAGE_PutLook(&look, 0);

    const WM_HANDLE main_win = WM_CreateWindowAsChild(0, 0, 800, 480, 0, 2, MainProc, 0);
    const WM_HANDLE date = TEXT_Make(10, 5, 90, 40, main_win, 3, 12, 2051, "07.12.26");
    TEXT_PutFont(date, &FONT_24B);
    const WM_HANDLE time = TEXT_Make(110, 5, 110, 40, main_win, 3, 12, 2050, "22:15");
    TEXT_PutFont(time, &FONT_24B);
    const WM_HANDLE info = BUTTON_Make(690, 6, 100, 44, main_win, 3, 0, 2053);
    BUTTON_UseFlexLook(info);
    BUTTON_PutFont(info, &FONT_20B);
    BUTTON_PutTextColor(info, 0, 0x000000);
    BUTTON_PutText(info, "Info");

    const WM_HANDLE mp = MULTIPAGE_Create(2, 60, 796, 418, main_win, 2, 0, 2055);
    MULTIPAGE_PutFont(mp, &FONT_20B);
    const char* tabs[] = {"Home", "Quill", "Graph", "RV100/30", "Celton", "Brant", "Corvo"};
    WM_HANDLE page = 0;
    for (const char* t : tabs) {
        const WM_HANDLE p = WM_CreateWindowAsChild(0, 0, 798, 425, mp, 0, PageProc, 0);
        MULTIPAGE_InsertPage(mp, p, t);
        if (page == 0) page = p;
    }
    MULTIPAGE_ShowPage(mp, 0);

    // Left column: the address field, its hint, buttons in their states.
    const WM_HANDLE caption = TEXT_Make(10, 8, 240, 20, page, 3, 12, 1, "Gateway address");
    TEXT_PutFont(caption, &FONT_16B);
    TEXT_PutColor(caption, 0x00FF00);
    const WM_HANDLE edit = EDIT_Make(10, 30, 240, 44, page, 2, 0, 3649, 16);
    EDIT_PutFont(edit, &FONT_24B);
    EDIT_PutAlign(edit, GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER);
    EDIT_PutText(edit, "192.168.1.160");
    const WM_HANDLE connect = BUTTON_Make(10, 86, 115, 46, page, 3, 0, 3651);
    BUTTON_UseFlexLook(connect);
    BUTTON_PutFont(connect, &FONT_20B);
    BUTTON_PutTextColor(connect, 0, 0x000000);
    BUTTON_PutTextColor(connect, 1, 0x000000);
    BUTTON_PutText(connect, "CONNECT");
    const WM_HANDLE pressed = BUTTON_Make(135, 86, 115, 46, page, 3, 0, 3653);
    BUTTON_UseFlexLook(pressed);
    BUTTON_PutFont(pressed, &FONT_20B);
    BUTTON_PutTextColor(pressed, 1, 0x000000);
    BUTTON_PutText(pressed, "DEUTSCH");
    const WM_HANDLE on = BUTTON_Make(10, 144, 70, 44, page, 2, 0, 100);
    BUTTON_PutFillColor(on, 0, 0x00A000);
    BUTTON_PutFont(on, &FONT_24B);
    BUTTON_PutText(on, "ON");
    const WM_HANDLE off = BUTTON_Make(90, 144, 70, 44, page, 2, 0, 101);
    BUTTON_PutFillColor(off, 0, 0x0000B0);
    BUTTON_PutFont(off, &FONT_24B);
    BUTTON_PutText(off, "OFF");
    const WM_HANDLE dis = BUTTON_Make(170, 144, 80, 44, page, 2, 0, 102);
    BUTTON_UseFlexLook(dis);
    BUTTON_PutFont(dis, &FONT_24B);
    BUTTON_PutTextColor(dis, 2, 0x808080);
    BUTTON_PutText(dis, "AUX");
    WM_DisableWin(dis);

    // Middle: the information log.
    const WM_HANDLE list = LISTBOX_Make(262, 8, 270, 180, page, 2, 0, 2650, nullptr);
    LISTBOX_AutoScrollV(list, 1);
    LISTBOX_PutFont(list, &FONT_16);
    LISTBOX_PutFillColor(list, LISTBOX_CI_UNSEL, 0x101010);
    LISTBOX_PutTextColor(list, LISTBOX_CI_UNSEL, 0x00FF00);
    LISTBOX_PutFillColor(list, LISTBOX_CI_SEL, 0x006600);
    const char* lines[] = {"Search started",      "Unit 1: Quill",    "Unit 2: Amprix",
                           "Unit 5: RV100/30",    "Unit 6: RV100/30", "Unit 9: Celton",
                           "Unit 12: Brant",      "Unit 20: Corvo",   "Search done: 7 devices",
                           "Battery low (unit 9)"};
    for (const char* l : lines) {
        LISTBOX_Append(list, l);
        LISTBOX_Select(list, LISTBOX_Count(list) - 1);
    }

    // Right: the curve selectors, one of them open with a disabled item.
    const WM_HANDLE ch1 = TEXT_Make(540, 8, 30, 26, page, 2, 13, 354, "CH1");
    TEXT_PutColor(ch1, 0x00FF00);
    const WM_HANDLE d1 = DROPDOWN_Make(575, 8, 215, 150, page, 2, 1, 385);
    DROPDOWN_PutFont(d1, &FONT_20B);
    DROPDOWN_PutScrollbarWidth(d1, 40);
    const char* columns[] = {"V Battery",   "I Battery", "P Solar",     "SOC",
                             "Temperature", "Load",      "Energy today"};
    for (const char* c : columns)
        DROPDOWN_Append(d1, c);
    const WM_HANDLE ch2 = TEXT_Make(540, 42, 30, 26, page, 2, 13, 355, "CH2");
    TEXT_PutColor(ch2, 0x0000FF);
    const WM_HANDLE d2 = DROPDOWN_Make(575, 42, 215, 150, page, 2, 1, 386);
    DROPDOWN_PutFont(d2, &FONT_20B);
    DROPDOWN_PutScrollbarWidth(d2, 40);
    for (const char* c : columns)
        DROPDOWN_Append(d2, c);
    DROPDOWN_Select(d2, 2);
    DROPDOWN_PutItemDisabled(d2, 0, 1);

    // Bottom: the history graph with two curves and three axes.
    const WM_HANDLE graph = GRAPH_Make(5, 196, 785, 190, page, 2, 0, 544);
    GRAPH_PutMargins(graph, 32, 12, 32, 16);
    GRAPH_PutColor(graph, 0x202020, GRAPH_CI_DATA);
    GRAPH_PutColor(graph, 0x000000, GRAPH_CI_BORDER);
    GRAPH_PutColor(graph, 0x606060, GRAPH_CI_FRAME);
    GRAPH_PutColor(graph, 0x404040, GRAPH_CI_GRID);
    GRAPH_ShowGrid(graph, 1);
    GRAPH_PutGridSpacingX(graph, 60);
    GRAPH_PutGridSpacingY(graph, 40);
    const GRAPH_HSERIES volts = GRAPH_SERIES_Create(0x00FF00, 721, nullptr, 0);
    const GRAPH_HSERIES amps = GRAPH_SERIES_Create(0x0000FF, 721, nullptr, 0);
    GRAPH_Attach(graph, volts);
    GRAPH_Attach(graph, amps);
    for (int i = 0; i < 721; ++i) {
        GRAPH_SERIES_Push(volts, int16_t(90 + 50 * std::sin(i / 70.0) + 10 * std::sin(i / 9.0)));
        GRAPH_SERIES_Push(amps, int16_t(60 + 40 * std::cos(i / 110.0)));
    }
    const GRAPH_HAXIS t_axis = GRAPH_AXIS_Create(175, GUI_ALIGN_HCENTER, 0, 60);
    GRAPH_AXIS_PutOffset(t_axis, 720);
    GRAPH_AXIS_PutFactor(t_axis, 1.0f / 60.0f);
    GRAPH_AXIS_PutTextColor(t_axis, 0xC0C0C0);
    GRAPH_AttachAxis(graph, t_axis);
    const GRAPH_HAXIS v_axis = GRAPH_AXIS_Create(29, GUI_ALIGN_RIGHT, 1, 40);
    GRAPH_AXIS_PutFactor(v_axis, 0.1f);
    GRAPH_AXIS_PutDecimals(v_axis, 1);
    GRAPH_AXIS_PutTextColor(v_axis, 0x00FF00);
    GRAPH_AttachAxis(graph, v_axis);
    const GRAPH_HAXIS a_axis = GRAPH_AXIS_Create(784, GUI_ALIGN_RIGHT, 1, 40);
    GRAPH_AXIS_PutTextColor(a_axis, 0x0000FF);
    GRAPH_AttachAxis(graph, a_axis);

    WM_GiveFocus(edit);
    Exec();
    // Hold a press on the second flex button while the picture is taken.
    const int px = 2 + 135 + 50;
    const int py = 60 + MULTIPAGE_TabHeight(mp) + 86 + 20;
    Pointer(px, py, 1);
    EXPECT_EQ(BUTTON_IsDown(pressed), 1);
    DROPDOWN_Expand(d2);
    Exec();

    const std::string path = std::string(VELTRA_BINARY_DIR) + "/widget_gallery.png";
    ASSERT_EQ(HOST_WritePNG(path.c_str(), HOST_GetShownBuffer()), 0);
    std::printf("gallery: %s\n", path.c_str());
    EXPECT_TRUE(reports.empty());
}

} // namespace
