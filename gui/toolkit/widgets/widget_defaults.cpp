// The program's appearance defaults, set once at start-up before any page is built.
#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/widgets/button.h"
#include "gui/toolkit/widgets/multipage.h"
#include "gui/toolkit/widgets/scrollbar.h"
#include "gui/toolkit/widgets/text.h"
#include "gui/toolkit/widgets/widget.h"

#include <initializer_list>

void WIDGET_SetProgramDefaults() {
    GUI_LockGuard lock;
    // Buttons: the classic look (pages ask for the flex look where they want it), no
    // background and white text in every state.
    BUTTON_UseClassicLookByDefault();
    for (int index : {BUTTON_CI_DISABLED, BUTTON_CI_PRESSED, BUTTON_CI_UNPRESSED}) {
        BUTTON_PutDefaultFillColor(index, 0xFF000000);
        BUTTON_PutDefaultTextColor(index, 0xFFFFFF);
    }
    MULTIPAGE_PutDefaultFont(&FONT_16B);
    WIDGET_SetDefaultEffect(&WIDGET_EFFECT_FLAT);
    // Spin boxes and check boxes would get the classic look here; the program makes none.
    TEXT_PutDefaultColor(0xFFFFFF);
    SCROLLBAR_PutDefaultWidth(25);
}
