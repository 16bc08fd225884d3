// Buttons and labels: notifications from pointer and keys, states, colours, user bytes, the
// wrong-type and creation reports.
#include "tests/gui/toolkit/widget_test_util.h"

#include "gui/toolkit/core/gui_alloc.h"
#include "gui/toolkit/widgets/button.h"
#include "gui/toolkit/widgets/edit.h"
#include "gui/toolkit/widgets/text.h"
#include "gui/toolkit/widgets/widget.h"

#include <cstring>

using namespace widgettest;

namespace {

class ButtonTest : public WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        button = BUTTON_Make(100, 100, 120, 50, parent, WM_CF_VISIBLE, 0, 77);
        BUTTON_PutText(button, "OK");
        Exec();
        ClearLog();
    }
    WM_HANDLE button = 0;
};

using V = std::vector<int>;

TEST_F(ButtonTest, PressAndReleaseOnItGiveClickedThenReleased) {
    Pointer(110, 110, 1);
    EXPECT_EQ(BUTTON_IsDown(button), 1);
    Pointer(115, 120, 1); // moving on it changes nothing
    Pointer(115, 120, 0);
    EXPECT_EQ(Codes(button), (V{1, 2}));
    EXPECT_EQ(BUTTON_IsDown(button), 0);
    EXPECT_EQ(WM_GetWinId(button), 77);
}

TEST_F(ButtonTest, DraggedOffGivesClickedThenPointerLeftAndNoRelease) {
    Pointer(110, 110, 1);
    Pointer(400, 300, 1); // onto the parent
    Pointer(400, 300, 0);
    EXPECT_EQ(Codes(button), (V{1, 3}));
    EXPECT_EQ(BUTTON_IsDown(button), 0);
    // Pressing the parent and dragging onto the button does not click it either.
    ClearLog();
    Pointer(400, 300, 1);
    Pointer(110, 110, 1);
    Pointer(110, 110, 0);
    EXPECT_TRUE(Codes(button).empty());
}

TEST_F(ButtonTest, EnterOnTheFocusedButtonClicksAtOnceAndSpaceFollowsTheKey) {
    ASSERT_EQ(WM_GiveFocus(button), 0);
    ClearLog();
    GUI_PostKey(13, 1);
    Exec();
    EXPECT_EQ(Codes(button), (V{1, 2}));
    GUI_PostKey(13, 0);
    Exec();
    EXPECT_EQ(Codes(button), (V{1, 2}));
    ClearLog();
    GUI_PostKey(32, 1);
    Exec();
    EXPECT_EQ(Codes(button), (V{1}));
    EXPECT_EQ(BUTTON_IsDown(button), 1);
    GUI_PostKey(32, 0);
    Exec();
    EXPECT_EQ(Codes(button), (V{1, 2}));
    // Other keys climb to the parent.
    ClearLog();
    Key('x');
    const auto keys = Messages(parent, WM_MSG_KEY);
    ASSERT_EQ(keys.size(), 2u);
}

TEST_F(ButtonTest, AButtonThatRefusesTheFocusDoesNotTakeIt) {
    BUTTON_AllowFocus(button, 0);
    EXPECT_EQ(WM_GiveFocus(button), 1);
    EXPECT_NE(WM_GetFocusedWindow(), button);
    BUTTON_AllowFocus(button, 1);
    EXPECT_EQ(WM_GiveFocus(button), 0);
    const auto notes = Messages(parent, WM_MSG_NOTIFY_PARENT);
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.back().value, WM_NOTIFICATION_FOCUS_GAINED);
}

TEST_F(ButtonTest, DisablingAPressedButtonClearsItWithoutNotificationAndRefusesPresses) {
    Pointer(110, 110, 1);
    ClearLog();
    WM_DisableWin(button);
    EXPECT_EQ(BUTTON_IsDown(button), 0);
    Pointer(110, 110, 0);
    EXPECT_TRUE(Codes(button).empty());
    Click(110, 110);
    EXPECT_TRUE(Codes(button).empty());
    WM_EnableWin(button);
    Click(110, 110);
    EXPECT_EQ(Codes(button), (V{1, 2}));
}

TEST_F(ButtonTest, AHiddenButtonPressedByKeyChangesStateButTellsNobody) {
    WM_GiveFocus(button);
    WM_HideWin(button);
    ClearLog();
    GUI_PostKey(32, 1);
    Exec();
    EXPECT_EQ(BUTTON_IsDown(button), 1);
    EXPECT_TRUE(Codes(button).empty());
}

TEST_F(ButtonTest, ClassicLookUsesTheStateColours) {
    BUTTON_PutFillColor(button, BUTTON_CI_UNPRESSED, 0x0000FF);
    BUTTON_PutFillColor(button, BUTTON_CI_PRESSED, 0x00FF00);
    BUTTON_PutFillColor(button, BUTTON_CI_DISABLED, 0xFF0000);
    WIDGET_SetDefaultEffect(&WIDGET_EFFECT_FLAT);
    Exec();
    EXPECT_EQ(At(104, 104), Px(0x0000FF));
    Pointer(104, 104, 1);
    EXPECT_EQ(At(104, 104), Px(0x00FF00));
    Pointer(104, 104, 0);
    WM_DisableWin(button);
    Exec();
    EXPECT_EQ(At(104, 104), Px(0xFF0000));
    // No background: the parent shows through.
    BUTTON_PutFillColor(button, BUTTON_CI_DISABLED, 0xFF000000);
    Exec();
    EXPECT_EQ(At(104, 104), 0x303030u);
}

TEST_F(ButtonTest, TheTextIsDrawnCentredInTheStateTextColour) {
    BUTTON_PutFillColor(button, 0, 0x000000);
    BUTTON_PutTextColor(button, 0, 0xFFFFFF);
    BUTTON_PutFont(button, &FONT_24B);
    BUTTON_PutText(button, "WWWW");
    Exec();
    int left = 800, right = -1;
    for (int x = 100; x < 220; ++x) {
        for (int y = 100; y < 150; ++y) {
            if (At(x, y) == 0xFFFFFFu) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    ASSERT_GE(right, left);
    EXPECT_NEAR((left + right) / 2, 160, 2);
    char text[3];
    EXPECT_EQ(BUTTON_ReadText(button, text, sizeof text), 2);
    EXPECT_STREQ(text, "WW");
}

TEST_F(ButtonTest, FlexLookDrawsARoundedGradientWhateverTheFillColours) {
    BUTTON_PutFillColor(button, 0, 0x0000FF);
    BUTTON_UseFlexLook(button);
    Exec();
    const uint32_t top = At(160, 102);
    const uint32_t bottom = At(160, 147);
    EXPECT_NE(top, Px(0x0000FF));
    EXPECT_GT(top & 0xFF, bottom & 0xFF); // lighter at the top
    EXPECT_EQ(At(100, 100), 0x303030u);   // the rounded corner leaves the parent
}

TEST_F(ButtonTest, BitmapsPerStateWithTheUnpressedOneAsFallback) {
    static const uint8_t rows[2] = {0xFF, 0xFF};
    static const GUI_COLOUR pal0[2] = {0x000000, 0x00FFFF};
    static const GUI_COLOUR pal1[2] = {0x000000, 0xFF00FF};
    static const GUI_LOGPALETTE p0{2, 0, pal0};
    static const GUI_LOGPALETTE p1{2, 0, pal1};
    static const GUI_PICTURE up{8, 2, 1, 1, rows, &p0, nullptr};
    static const GUI_PICTURE down{8, 2, 1, 1, rows, &p1, nullptr};
    BUTTON_PutImage(button, 0, &up);
    Exec();
    // Centred: (120 - 8) / 2 = 56, (50 - 2) / 2 = 24.
    EXPECT_EQ(At(156, 124), Px(0x00FFFF));
    BUTTON_PutImage(button, 1, &down);
    Pointer(156, 124, 1);
    EXPECT_EQ(At(156, 124), Px(0xFF00FF));
    Pointer(156, 124, 0);
    WM_DisableWin(button);
    Exec();
    EXPECT_EQ(At(156, 124), Px(0x00FFFF));
}

TEST_F(ButtonTest, UserBytesAreClampedToWhatWasRequested) {
    const WM_HANDLE b = BUTTON_CreateUser(0, 0, 10, 10, parent, WM_CF_VISIBLE, 0, 1, 4);
    const int32_t in[2] = {0x12345678, 99};
    EXPECT_EQ(BUTTON_WriteUserBytes(b, in, sizeof in), 4);
    int32_t out[2] = {0, 0};
    EXPECT_EQ(BUTTON_ReadUserBytes(b, out, sizeof out), 4);
    EXPECT_EQ(out[0], 0x12345678);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(BUTTON_ReadUserBytes(button, out, 4), 0);
}

TEST_F(ButtonTest, AReplacedProcedureChainsToTheDefaultOne) {
    static int paints = 0;
    WM_ReplaceCallback(button, [](WM_MSG_RECORD* msg) {
        if (msg->msg_id == WM_MSG_PAINT) {
            ++paints;
            GUI_SetBackColor(0x00FF00);
            GUI_ClearWindow();
            return;
        }
        BUTTON_DefaultProc(msg);
    });
    Exec();
    EXPECT_GT(paints, 0);
    EXPECT_EQ(At(110, 110), Px(0x00FF00));
    Click(110, 110);
    EXPECT_EQ(Codes(button), (V{1, 2}));
}

TEST_F(ButtonTest, ANotificationHandlerMayDeleteTheButton) {
    static WM_HANDLE victim = 0;
    victim = button;
    WM_ReplaceCallback(parent, [](WM_MSG_RECORD* msg) {
        if (msg->msg_id == WM_MSG_NOTIFY_PARENT && msg->data.v == WM_NOTIFICATION_RELEASED)
            WM_DeleteWindow(victim);
        wmtest::RecordProc(msg);
    });
    Click(110, 110);
    EXPECT_FALSE(WM_IsWindow(button));
    EXPECT_EQ(Codes(button), (V{1, 2}));
}

// ---- Wrong handles and creation failures -----------------------------------------------------

TEST_F(ButtonTest, AWrongHandleTypeReportsTheTypesTextAndChangesNothing) {
    const WM_HANDLE label = TEXT_Make(0, 0, 50, 20, parent, WM_CF_VISIBLE, 0, 5, "abc");
    reports.clear();
    BUTTON_PutText(label, "x");
    EXPECT_EQ(CountReports("BUTTON:\nWrong handle type or Object not init'ed in BUTTON_LockH()"),
              1);
    EXPECT_TRUE(reports.back().is_error);
    char text[8];
    TEXT_ReadText(label, text, sizeof text);
    EXPECT_STREQ(text, "abc");
    TEXT_PutText(button, "y");
    EXPECT_EQ(CountReports("TEXT:\nWrong handle type or Object not init'ed in TEXT_LockH()"), 1);
    EDIT_PutText(parent, "z"); // a plain window is no widget either
    EXPECT_EQ(CountReports("EDIT:\nWrong handle type or Object not init'ed in EDIT_LockH()"), 1);
    BUTTON_ReadText(button, text, sizeof text);
    EXPECT_STREQ(text, "OK");
    // Handle 0 is ignored without a word.
    reports.clear();
    BUTTON_PutText(0, "x");
    TEXT_PutColor(0, 1);
    EXPECT_TRUE(reports.empty());
}

TEST_F(ButtonTest, CreationFailuresReportAsWarningsAndReturnZero) {
    // Fill the heap until a window no longer fits.
    std::vector<GUI_HMEM> hog;
    while (GUI_HMEM h = GUI_ALLOC_AllocZero(256))
        hog.push_back(h);
    while (GUI_HMEM h = GUI_ALLOC_AllocZero(8))
        hog.push_back(h);
    reports.clear();
    EXPECT_EQ(BUTTON_Make(0, 0, 10, 10, parent, WM_CF_VISIBLE, 0, 1), 0);
    EXPECT_EQ(TEXT_Make(0, 0, 10, 10, parent, WM_CF_VISIBLE, 0, 1, "t"), 0);
    EXPECT_EQ(EDIT_Make(0, 0, 10, 10, parent, WM_CF_VISIBLE, 0, 1, 16), 0);
    for (const char* text :
         {"BUTTON:\nBUTTON_CreateUser() failed", "TEXT:\nTEXT_CreateUser() failed",
          "EDIT:\nEDIT_CreateUser() failed"}) {
        EXPECT_EQ(CountReports(text), 1) << text;
    }
    for (const auto& r : reports) {
        if (r.text.find("CreateUser() failed") != std::string::npos) {
            EXPECT_FALSE(r.is_error);
        }
    }
    // Every setter ignores the 0 handle the program goes on with.
    BUTTON_PutText(0, "x");
    for (GUI_HMEM h : hog)
        GUI_ALLOC_Free(h);
}

TEST_F(ButtonTest, AnEditFieldWithoutRoomForItsBufferReportsTheBufferError) {
    // Room for the window but not for a 30000-character buffer.
    std::vector<GUI_HMEM> hog;
    while (GUI_ALLOC_GetNumFreeBytes() > 20000) {
        const GUI_HMEM h = GUI_ALLOC_AllocZero(4000);
        if (h == 0) break;
        hog.push_back(h);
    }
    reports.clear();
    const int32_t used = GUI_ALLOC_GetNumUsedBlocks();
    EXPECT_EQ(EDIT_Make(0, 0, 10, 10, parent, WM_CF_VISIBLE, 0, 1, 30000), 0);
    EXPECT_EQ(CountReports("EDIT:\nFailed to alloc buffer in EDIT_CreateUser()"), 1);
    EXPECT_TRUE(reports.back().is_error || reports.size() > 1);
    EXPECT_EQ(GUI_ALLOC_GetNumUsedBlocks(), used); // the half-made field is gone again
    for (GUI_HMEM h : hog)
        GUI_ALLOC_Free(h);
}

// ---- Labels
// --------------------------------------------------------------------------------------

TEST_F(ButtonTest, ALabelDrawsOverWhatLiesBeneathAndPassesPressesToItsParent) {
    const WM_HANDLE label = TEXT_Make(300, 300, 200, 40, parent, WM_CF_VISIBLE,
                                      GUI_ALIGN_RIGHT | GUI_ALIGN_VCENTER, 9, "Hello");
    TEXT_PutColor(label, 0x00FFFF);
    TEXT_PutFont(label, &FONT_24B);
    Exec();
    EXPECT_EQ(At(301, 301), 0x303030u);
    int right = -1;
    for (int x = 300; x < 500; ++x)
        for (int y = 300; y < 340; ++y)
            if (At(x, y) == Px(0x00FFFF)) right = std::max(right, x);
    EXPECT_GE(right, 490);
    ClearLog();
    Click(480, 320);
    EXPECT_TRUE(Codes().empty());
    EXPECT_EQ(Count(parent, WM_MSG_CHILD_POINTER), 2);
    char buffer[4];
    EXPECT_EQ(TEXT_ReadText(label, buffer, sizeof buffer), 3);
    EXPECT_STREQ(buffer, "Hel");
    int32_t word = 42;
    EXPECT_EQ(TEXT_WriteUserBytes(label, &word, 4), 0); // made without user bytes
}

TEST_F(ButtonTest, TextsAreFreedOnDelete) {
    const int32_t before = GUI_ALLOC_GetNumFreeBytes();
    const WM_HANDLE label = TEXT_CreateUser(0, 0, 10, 10, parent, 3, 0, 1, "some text", 4);
    const WM_HANDLE b = BUTTON_Make(0, 0, 10, 10, parent, 2, 0, 2);
    BUTTON_PutText(b, "a label");
    const WM_HANDLE e = EDIT_Make(0, 0, 10, 10, parent, 2, 0, 3, 100);
    EDIT_Blink(e, 500, 1);
    EXPECT_LT(GUI_ALLOC_GetNumFreeBytes(), before);
    WM_DeleteWindow(label);
    WM_DeleteWindow(b);
    WM_DeleteWindow(e);
    EXPECT_EQ(GUI_ALLOC_GetNumFreeBytes(), before);
}

} // namespace
