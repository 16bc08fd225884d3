#include "elements/keyboard.h"

#include "base/palette.h"
#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/gui_font.h"
#include "gui/toolkit/widgets/button.h"
#include "gui/toolkit/widgets/edit.h"
#include "gui/toolkit/widgets/widget.h"
#include "gui/toolkit/widgets/window.h"

#include <array>
#include <cstring>

namespace {

constexpr GUI_COLOUR kBlack = PALETTE_BLACK;
constexpr GUI_COLOUR kFrame = PALETTE_KEY_FRAME;
constexpr GUI_COLOUR kFramePressed = PALETTE_KEY_FRAME_PRESSED;
constexpr GUI_COLOUR kKeyFill = PALETTE_KEY_FILL;
constexpr int kKeyTextMax = 3; // the space bar's six underscores show as three
constexpr int kEnter = 13;
constexpr int kEscape = 27;

// ---- The two button pictures ---------------------------------------------------------------

constexpr int kPicSize = 60;
constexpr int kPicStride = 8;
using Bits = std::array<uint8_t, kPicStride * kPicSize>;

// Squared distance (in doubled pixel units, so pixel centres are whole numbers) from the
// centre of pixel (x, y) to the segment a-b given in pixel units.
constexpr long SegmentDistance2(int x, int y, int ax, int ay, int bx, int by) {
    const long px = 2 * x + 1, py = 2 * y + 1;
    const long x0 = 2 * ax + 1, y0 = 2 * ay + 1, x1 = 2 * bx + 1, y1 = 2 * by + 1;
    const long dx = x1 - x0, dy = y1 - y0;
    const long len2 = dx * dx + dy * dy;
    long t = (px - x0) * dx + (py - y0) * dy;
    if (t < 0) t = 0;
    if (t > len2) t = len2;
    // Closest point = a + t / len2 * (b - a); compare scaled by len2 to stay in integers.
    const long cx = x0 * len2 + t * dx - px * len2;
    const long cy = y0 * len2 + t * dy - py * len2;
    return (cx * cx + cy * cy) / (len2 * len2);
}

constexpr bool InRing(int x, int y) {
    const long dx = 2 * x + 1 - kPicSize, dy = 2 * y + 1 - kPicSize;
    const long d2 = dx * dx + dy * dy;
    return d2 >= 46L * 46L && d2 <= 55L * 55L; // radius 23 to 27.5
}

constexpr bool InArrow(int x, int y) {
    if (x >= 24 && x <= 43 && y >= 27 && y <= 32) return true; // shaft
    // Head: tip at (13, 29.5), base 24 pixels high at x = 27.
    const long dy = 2 * y + 1 - kPicSize;
    return x >= 14 && x <= 27 && (dy < 0 ? -dy : dy) * 14 <= 24L * (x - 13);
}

constexpr bool InCheck(int x, int y) {
    constexpr long kHalfWidth2 = 7L * 7L; // 3.5 pixels
    return SegmentDistance2(x, y, 17, 30, 26, 39) <= kHalfWidth2 ||
           SegmentDistance2(x, y, 26, 39, 43, 19) <= kHalfWidth2;
}

template <bool (*Motif)(int, int)> constexpr Bits MakeBits() {
    Bits bits{};
    for (int y = 0; y < kPicSize; ++y)
        for (int x = 0; x < kPicSize; ++x)
            if (InRing(x, y) || Motif(x, y))
                bits[size_t(y * kPicStride + x / 8)] |= uint8_t(0x80 >> (x % 8));
    return bits;
}

constexpr Bits kCancelBits = MakeBits<InArrow>();
constexpr Bits kConfirmBits = MakeBits<InCheck>();

constexpr GUI_COLOUR kWhiteOnBlack[2] = {kBlack, 0xFFFFFF};
constexpr GUI_COLOUR kYellowOnBlack[2] = {kBlack, 0x00FFFF};
const GUI_LOGPALETTE kPalReleased = {2, 0, kWhiteOnBlack};
const GUI_LOGPALETTE kPalPressed = {2, 0, kYellowOnBlack};

const GUI_PICTURE kCancelPics[2] = {
    {kPicSize, kPicSize, kPicStride, 1, kCancelBits.data(), &kPalReleased, nullptr},
    {kPicSize, kPicSize, kPicStride, 1, kCancelBits.data(), &kPalPressed, nullptr},
};
const GUI_PICTURE kConfirmPics[2] = {
    {kPicSize, kPicSize, kPicStride, 1, kConfirmBits.data(), &kPalReleased, nullptr},
    {kPicSize, kPicSize, kPicStride, 1, kConfirmBits.data(), &kPalPressed, nullptr},
};

// ---- The dialog's item table ---------------------------------------------------------------

constexpr const char* kDigitRow = "0123456789";
constexpr const char* kFirstRow = "qwertzuiop";
constexpr const char* kSecondRow = "asdfghjkl";
constexpr const char* kThirdLetters = "yxcvbnm";

// One-letter key texts, lower and upper case, indexed by the letter.
struct LetterTexts {
    char lower[26][2];
    char upper[26][2];
    char digits[10][2];
};
constexpr LetterTexts MakeLetterTexts() {
    LetterTexts t{};
    for (int i = 0; i < 26; ++i) {
        t.lower[i][0] = char('a' + i);
        t.upper[i][0] = char('A' + i);
    }
    for (int i = 0; i < 10; ++i) t.digits[i][0] = char('0' + i);
    return t;
}
constexpr LetterTexts kTexts = MakeLetterTexts();

constexpr WM_DIALOG_ITEM Key(const char* text, int id, int x, int y, int w = 65) {
    return {BUTTON_CreateIndirect, text, int16_t(id), int16_t(x), int16_t(y), int16_t(w), 65,
            uint16_t(WM_CF_VISIBLE), 0, 0};
}

constexpr std::array<WM_DIALOG_ITEM, KEYBOARD_ITEM_COUNT> MakeItems() {
    std::array<WM_DIALOG_ITEM, KEYBOARD_ITEM_COUNT> items{};
    int n = 0;
    items[size_t(n++)] = {WINDOW_CreateIndirect, nullptr, KEYBOARD_ID_WINDOW, 0, 0, 800, 480,
                          uint16_t(WM_CF_VISIBLE), 0, 0};
    items[size_t(n++)] = {EDIT_CreateIndirect, nullptr, KEYBOARD_ID_EDIT, 5, 5, 790, 80,
                          uint16_t(WM_CF_VISIBLE), 100, 0};
    for (int k = 0; k < 10; ++k)
        items[size_t(n++)] = Key(kTexts.digits[k], KEYBOARD_ID_0 + k, 37 + 75 * k, 100);
    for (int k = 0; k < 10; ++k) {
        const int letter = kFirstRow[k] - 'a';
        items[size_t(n++)] = Key(kTexts.lower[letter], KEYBOARD_ID_A + letter, 37 + 75 * k, 175);
    }
    for (int k = 0; k < 9; ++k) {
        const int letter = kSecondRow[k] - 'a';
        items[size_t(n++)] = Key(kTexts.lower[letter], KEYBOARD_ID_A + letter, 75 + 75 * k, 250);
    }
    items[size_t(n++)] = Key("^", KEYBOARD_ID_SHIFT, 37, 325);
    for (int k = 0; k < 7; ++k) {
        const int letter = kThirdLetters[k] - 'a';
        items[size_t(n++)] =
            Key(kTexts.lower[letter], KEYBOARD_ID_A + letter, 37 + 75 * (k + 1), 325);
    }
    items[size_t(n++)] = Key("<-", KEYBOARD_ID_BACKSPACE, 37 + 75 * 8, 325);
    items[size_t(n++)] = Key("CLR", KEYBOARD_ID_CLEAR, 37 + 75 * 9, 325);
    items[size_t(n++)] = Key("______", KEYBOARD_ID_SPACE, 205, 400, 400);
    return items;
}
constexpr std::array<WM_DIALOG_ITEM, KEYBOARD_ITEM_COUNT> kItems = MakeItems();

// ---- State (one keyboard at a time) ----------------------------------------------------------

WM_HANDLE g_dialog = 0;
WM_HANDLE g_owner = 0;
KEYBOARD_DONE_FN g_done = nullptr;
int g_max_len = KEYBOARD_RESULT_SIZE;
bool g_upper = false;
char g_result[KEYBOARD_RESULT_SIZE + 1] = {};

WM_HANDLE Edit(WM_HANDLE dialog) { return WM_FindChildById(dialog, KEYBOARD_ID_EDIT); }

int EditLength(WM_HANDLE edit) {
    char text[KEYBOARD_RESULT_SIZE + 1];
    return EDIT_ReadText(edit, text, sizeof text);
}

void Relabel(WM_HANDLE dialog) {
    for (int i = 0; i < 26; ++i)
        BUTTON_PutText(WM_FindChildById(dialog, KEYBOARD_ID_A + i),
                       g_upper ? kTexts.upper[i] : kTexts.lower[i]);
}

void TypeChar(WM_HANDLE edit, int c) {
    if (EditLength(edit) >= KEYBOARD_MAX_TYPED) return;
    GUI_PostKey(c, 1);
    GUI_PostKey(c, 0);
}

void Close(WM_HANDLE dialog) {
    if (dialog == g_dialog) g_dialog = 0;
    // The press that closes it is still being handled by one of its buttons.
    WM_MarkForDeletion(dialog);
}

void OnReleased(WM_HANDLE dialog, int id) {
    const WM_HANDLE edit = Edit(dialog);
    WM_GiveFocus(edit);
    if (id >= KEYBOARD_ID_A && id < KEYBOARD_ID_A + 26) {
        const int letter = id - KEYBOARD_ID_A;
        TypeChar(edit, g_upper ? 'A' + letter : 'a' + letter);
    } else if (id >= KEYBOARD_ID_0 && id < KEYBOARD_ID_0 + 10) {
        TypeChar(edit, '0' + (id - KEYBOARD_ID_0));
    } else if (id == KEYBOARD_ID_SPACE) {
        TypeChar(edit, ' ');
    } else if (id == KEYBOARD_ID_BACKSPACE) {
        char text[KEYBOARD_RESULT_SIZE + 1];
        const int len = EDIT_ReadText(edit, text, sizeof text);
        if (len > 0) {
            text[len - 1] = '\0';
            EDIT_PutText(edit, text);
        }
    } else if (id == KEYBOARD_ID_CLEAR) {
        EDIT_PutText(edit, "");
    } else if (id == KEYBOARD_ID_SHIFT) {
        g_upper = !g_upper;
        Relabel(dialog);
    } else if (id == KEYBOARD_ID_CONFIRM) {
        EDIT_ReadText(edit, g_result, g_max_len);
        const KEYBOARD_DONE_FN done = g_done;
        const WM_HANDLE owner = g_owner;
        Close(dialog);
        if (done != nullptr) done(g_result, owner);
    } else if (id == KEYBOARD_ID_CANCEL) {
        Close(dialog);
    }
}

// The look of the 40 keys; everything but the paint is the button's own handling.
void KeyProc(WM_MSG_RECORD* msg) {
    if (msg->msg_id != WM_MSG_PAINT) return BUTTON_DefaultProc(msg);
    WIDGET_PaintScope scope;
    GUI_RECT r;
    WM_GetWinClientRect(msg->target, &r);
    GUI_SetBackColor(kBlack);
    GUI_ClearWindow();
    GUI_SetDrawColor(kKeyFill);
    GUI_SelectFont(&FONT_24);
    GUI_FillRoundRectAA(r.x0, r.y0, r.x1, r.y1, 5);
    GUI_SetDrawColor(BUTTON_IsDown(msg->target) ? kFramePressed : kFrame);
    GUI_DrawRoundRect(r.x0, r.y0, r.x1, r.y1, 5);
    GUI_DrawRoundRect(r.x0 + 1, r.y0 + 1, r.x1 - 1, r.y1 - 1, 5);
    GUI_SetBackColor(kBlack);
    char text[KEYBOARD_RESULT_SIZE + 1];
    BUTTON_ReadText(msg->target, text, sizeof text);
    GUI_SetTextDrawMode(GUI_TEXTMODE_TRANSPARENT);
    GUI_PrintInRectMax(text, &r, GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER, kKeyTextMax);
}

void DialogProc(WM_MSG_RECORD* msg) {
    switch (msg->msg_id) {
        case WM_MSG_PAINT: {
            GUI_RECT r;
            WM_GetWinClientRect(msg->target, &r);
            GUI_SetBackColor(kBlack);
            GUI_ClearWindow();
            GUI_SetDrawColor(kFrame);
            GUI_DrawRoundRect(0, 0, r.x1, r.y1, 5);
            return;
        }
        case WM_MSG_INIT_DIALOG:
            for (int id = KEYBOARD_ID_A; id <= KEYBOARD_ID_SHIFT; ++id) {
                const WM_HANDLE key = WM_FindChildById(msg->target, id);
                WM_ReplaceCallback(key, KeyProc);
            }
            return;
        case WM_MSG_NOTIFY_PARENT:
            if (msg->data.v == WM_NOTIFICATION_RELEASED)
                OnReleased(msg->target, WM_GetWinId(msg->source));
            return;
        case WM_MSG_KEY: {
            // The edit field passes Enter and Escape on: the computer's keyboard confirms and
            // cancels like the check mark and the arrow. Once closed, a held key's repeats and
            // its release do nothing more here.
            const auto* key = static_cast<const WM_KEY_EVENT*>(msg->data.p);
            if (key == nullptr || (key->key != kEnter && key->key != kEscape)) break;
            if (key->pressed_cnt > 0 && msg->target == g_dialog)
                OnReleased(msg->target, key->key == kEnter ? KEYBOARD_ID_CONFIRM
                                                           : KEYBOARD_ID_CANCEL);
            return;
        }
        case WM_MSG_DELETE:
            if (msg->target == g_dialog) g_dialog = 0;
            return;
        default:
            break;
    }
    WM_FallbackProc(msg);
}

} // namespace

WM_HANDLE KEYBOARD_Open(WM_HANDLE owner, KEYBOARD_DONE_FN done, int max_len, const char* initial) {
    GUI_LockGuard lock;
    // One keyboard at a time: the state below is shared.
    if (g_dialog != 0 && WM_IsWindow(g_dialog) && WM_GetWinId(g_dialog) == KEYBOARD_ID_WINDOW)
        WM_DeleteWindow(g_dialog);
    g_owner = owner;
    g_done = done;
    int n = static_cast<uint8_t>(max_len);
    if (n == 0 || n >= KEYBOARD_RESULT_SIZE) n = KEYBOARD_RESULT_SIZE;
    g_max_len = n;
    g_upper = false;

    const WM_HANDLE dialog =
        GUI_CreateDialogFromTable(kItems.data(), KEYBOARD_ITEM_COUNT, DialogProc, 0, 0, 0);
    g_dialog = dialog;
    if (dialog == 0) return 0;

    const WM_HANDLE edit = Edit(dialog);
    EDIT_PutFont(edit, &FONT_32B);
    EDIT_PutAlign(edit, GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER);
    EDIT_PutMaxLen(edit, n - 1);
    EDIT_Blink(edit, 500, 1);
    EDIT_PutText(edit, initial);

    struct PictureButton {
        int x, id;
        const GUI_PICTURE* pics;
    };
    for (const PictureButton& b : {PictureButton{15, KEYBOARD_ID_CANCEL, kCancelPics},
                                   PictureButton{725, KEYBOARD_ID_CONFIRM, kConfirmPics}}) {
        const WM_HANDLE button = BUTTON_Make(b.x, 405, 60, 60, dialog, WM_CF_VISIBLE, 0, b.id);
        BUTTON_PutImage(button, BUTTON_CI_UNPRESSED, &b.pics[0]);
        BUTTON_PutImage(button, BUTTON_CI_PRESSED, &b.pics[1]);
        BUTTON_PutFillColor(button, BUTTON_CI_PRESSED, 0x00FF00);
        BUTTON_AllowFocus(button, 0);
    }
    WM_SetOnTop(dialog, 1);
    WM_GiveFocus(edit);
    return dialog;
}

WM_HANDLE KEYBOARD_Handle() { return g_dialog; }

const GUI_PICTURE* KEYBOARD_CancelPicture(int pressed) { return &kCancelPics[pressed ? 1 : 0]; }
const GUI_PICTURE* KEYBOARD_ConfirmPicture(int pressed) { return &kConfirmPics[pressed ? 1 : 0]; }
const uint8_t* KEYBOARD_BackArrowBits() { return kCancelBits.data(); }
