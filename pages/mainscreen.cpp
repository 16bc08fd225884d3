#include "pages/mainscreen.h"

#include "base/palette.h"
#include "base/dbg.h"
#include "elements/element_report.h"
#include "elements/status.h"
#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/gui_font.h"
#include "gui/toolkit/widgets/button.h"
#include "gui/toolkit/widgets/multipage.h"
#include "gui/toolkit/widgets/text.h"
#include "log/log.h"
#include "pages/connect.h"
#include "pages/devicepage.h"
#include "pages/history.h"
#include "pages/info.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The page registers (see MAINSCREEN_PageWindow and the functions after it).
WM_HANDLE g_page_windows[MAIN_PAGE_COUNT + 1] = {};
const DeviceType* g_page_types[MAIN_PAGE_COUNT] = {};
WM_HANDLE g_page_windows_by_type[MAIN_PAGE_COUNT] = {};
int32_t g_current_page = 0;
WM_HANDLE g_name_fields[MAIN_PAGE_COUNT][MAIN_NAME_FIELD_SLOTS] = {};
int32_t g_name_field_counter = 0;

bool IsPage(int page) {
    return page >= 0 && page < MAIN_PAGE_COUNT;
}
bool IsSlot(int page, int slot) {
    return IsPage(page) && slot >= 0 && slot < MAIN_NAME_FIELD_SLOTS;
}

constexpr GUI_COLOUR kBlack = PALETTE_BLACK;
constexpr GUI_COLOUR kWhite = PALETTE_WHITE;
constexpr GUI_COLOUR kDarkGreen = PALETTE_DARK_GREEN;
constexpr GUI_COLOUR kGrey = PALETTE_GREY;
constexpr GUI_COLOUR kYellow = PALETTE_YELLOW;

constexpr int kTileTop = 5;
constexpr int kTileGap = 5;
constexpr int kPageHeight = 425;
constexpr int kNarrowPageWidth = 798;
constexpr int kMotionThreshold = 10;

WM_HANDLE g_main = 0;
WM_HANDLE g_time = 0;
WM_HANDLE g_date = 0;
WM_HANDLE g_info_button = 0;
WM_HANDLE g_multipage = 0;

// ---- The information button's pictures: a white "i" on dark green, and pressed the same "i"
// in yellow inside a 3-pixel frame along the edge.

constexpr int kPic = 60;
constexpr int kStride = 8;
using Bits = std::array<uint8_t, kStride * kPic>;

constexpr bool InLetterI(int x, int y) {
    return x >= 26 && x <= 33 && ((y >= 11 && y <= 18) || (y >= 24 && y <= 48));
}

constexpr Bits MakeInfoBits(bool framed) {
    Bits bits{};
    for (int y = 0; y < kPic; ++y)
        for (int x = 0; x < kPic; ++x) {
            const bool frame = x < 3 || y < 3 || x >= kPic - 3 || y >= kPic - 3;
            if (InLetterI(x, y) || (framed && frame))
                bits[size_t(y * kStride + x / 8)] |= uint8_t(0x80 >> (x % 8));
        }
    return bits;
}
constexpr Bits kInfoBits = MakeInfoBits(false);
constexpr Bits kInfoPressedBits = MakeInfoBits(true);
constexpr GUI_COLOUR kInfoColours[2] = {kDarkGreen, kWhite};
constexpr GUI_COLOUR kInfoPressedColours[2] = {kDarkGreen, kYellow};
const GUI_LOGPALETTE kInfoPalette = {2, 0, kInfoColours};
const GUI_LOGPALETTE kInfoPressedPalette = {2, 0, kInfoPressedColours};
const GUI_PICTURE kInfoPicture = {kPic, kPic, kStride, 1, kInfoBits.data(), &kInfoPalette,
                                  nullptr};
const GUI_PICTURE kInfoPressedPicture = {kPic,          kPic, kStride, 1, kInfoPressedBits.data(),
                                         &kInfoPressedPalette, nullptr};

// The main window: the dark green band at the top and a frame; the information button opens
// the information window.
void MainCallback(WM_MSG_RECORD* msg) {
    switch (msg->msg_id) {
        case WM_MSG_PAINT:
            MAINSCREEN_PaintBackground();
            return;
        case WM_MSG_NOTIFY_PARENT:
            if (WM_GetWinId(msg->source) == MAIN_ID_INFO_BUTTON &&
                msg->data.v == WM_NOTIFICATION_RELEASED)
                INFO_Show();
            return;
        default:
            WM_FallbackProc(msg);
            return;
    }
}

WM_HANDLE MakeLabel(int x, int w, int id, const char* text) {
    const WM_HANDLE label = TEXT_Make(x, 5, w, 40, g_main, WM_CF_VISIBLE | WM_CF_SEE_THROUGH,
                                      GUI_ALIGN_LEFT | GUI_ALIGN_VCENTER, id, text);
    TEXT_PutFont(label, &FONT_24B);
    TEXT_PutColor(label, kWhite);
    return label;
}


// The four inputs of the display unit: a current sensor is a kind from 1 to 10, a level
// sensor kind 13.
void SensorKinds(bool* has_amprix, bool* has_levra) {
    *has_amprix = *has_levra = false;
    for (int input = 0; input < 4; ++input) {
        const int kind = Reg_Get(g_register_store.data(), 64 + 10 * input) & 0xFF;
        if (kind >= 1 && kind <= 10) *has_amprix = true;
        if (kind == 13) *has_levra = true;
    }
}

int DeviceCount() {
    const int count = g_device_list.device_count.load(std::memory_order_acquire);
    return count < 0 ? 0 : (count > DEV_LIST_SIZE ? DEV_LIST_SIZE : count);
}

bool HasDeviceOf(const DeviceType* type) {
    for (int i = 0; i < DeviceCount(); ++i)
        if (g_device_list.entries[size_t(i)].type.load(std::memory_order_relaxed) == type)
            return true;
    return false;
}

void CreatePage(int k, int l, const DeviceType* type) {
    const int width = MAINSCREEN_PageWidth(type);
    const WM_HANDLE win = WM_CreateWindowAsChild(0, 0, width, kPageHeight, g_multipage, 0,
                                                 MAINSCREEN_PageCallback, 0);
    g_page_windows_by_type[l] = win;
    g_page_windows[k] = win;
    g_page_types[k] = type;
    if (width >= 800) {
        WM_SetMotionFlags(win, WM_CF_DRAG_X, 1);
        WM_SetMotionThreshold(kMotionThreshold);
    }
    DBG_Printf("Dev Window: %d with ID %d created on parent %d\n", int(win), -1,
               int(g_multipage));
    if (type == DeviceTypeTable[DEV_TYPE_GRAPH] && HISTORY_Build(win) == 0) HISTORY_Load();
}

// The name field of tile `index` in (x0, y0)-(x1, y1): filled dark green while the device is
// online with tile status 0, grey otherwise; its text label is made once per page slot.
void DrawNameField(WM_HANDLE page_win, int page, int index, const DeviceEntry& entry, int x0,
                   int y0, int x1, int y1) {
    const bool online = entry.state.load(std::memory_order_relaxed) == 1;
    const GUI_COLOUR fill = online && entry.greyed == 0 ? kDarkGreen : kGrey;
    GUI_SetDrawColor(fill);
    GUI_SetBackColor(fill);
    GUI_FillRectangle(x0, y0, x1, y1);
    const int slot = g_name_field_counter++;
    if (slot >= MAIN_NAME_FIELD_SLOTS || g_name_fields[page][slot] != 0) return;
    char text[64];
    MAINSCREEN_DeviceName(index, text, sizeof text);
    const WM_HANDLE field =
        TEXT_CreateUser(x0, y0, x1 - x0 + 1, y1 - y0 + 1, page_win, WM_CF_VISIBLE,
                        GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER, MAIN_ID_NAME_FIELD + slot, text,
                        int(sizeof(int32_t)));
    const int32_t device_index = index;
    TEXT_WriteUserBytes(field, &device_index, int(sizeof device_index));
    TEXT_PutFont(field, &FONT_20B);
    TEXT_PutColor(field, kWhite);
    g_name_fields[page][slot] = field;
}

void PaintPage(WM_HANDLE win) {
    GUI_SetBackColor(kBlack);
    GUI_ClearWindow();
    const int page = MAINSCREEN_PageOfWindow(win);
    if (page < 0) return;
    // The fields made below belong to the page being painted, also right after a tab change
    // (before the GUI task has read the new selection).
    g_current_page = page;
    const DeviceType* type = g_page_types[page];
    if (type == nullptr || type->page_layout == nullptr) return;
    const int w = type->page_layout->tile_width;
    const int h = type->page_layout->tile_height;
    g_name_field_counter = 0;
    int x = kTileGap;
    for (int i = 0; i < DeviceCount(); ++i) {
        DeviceEntry& entry = g_device_list.entries[size_t(i)];
        if (entry.type.load(std::memory_order_relaxed) != type) continue;
        MAINSCREEN_RefreshTileStatus(&entry);
        // Every tile keeps its slots whether its device answers or not; an offline tile draws
        // no value texts, and without this the later tiles' texts would move into its slots.
        const int first_slot = g_name_field_counter;
        if (w != 0) {
            GUI_SetDrawColor(kGrey);
            GUI_DrawRoundFrame(x, kTileTop, x + w, kTileTop + h, 3, 3);
            DrawNameField(win, page, i, entry, x + 3, 8, x + w - 3, 32);
        }
        if (entry.state.load(std::memory_order_relaxed) == 1)
            DEVPAGE_DrawElements(x, kTileTop, type, win, &entry);
        else
            DEVPAGE_HideTileWidgets(&entry);
        g_name_field_counter = first_slot + DEVPAGE_TileSlots(type->page_layout);
        x += w + kTileGap;
    }
}

// A name field is a text label, and labels send no notifications: the page turns a press and
// release on the same field into the field's release, as for a button. A press that moves
// further than the drag threshold (a page being dragged sideways) is no touch on the field.
struct NameFieldTouch {
    WM_HANDLE field = 0;
    int x = 0;
    int y = 0;
};
NameFieldTouch g_name_touch;

bool IsNameField(WM_HANDLE win) {
    const int id = WM_GetWinId(win);
    return id >= MAIN_ID_NAME_FIELD && id < MAIN_ID_NAME_FIELD + MAIN_NAME_FIELD_SLOTS;
}

void OnChildPointer(const WM_MSG_RECORD* msg) {
    const auto* pointer = static_cast<const WM_MSG_RECORD*>(msg->data.p);
    if (pointer == nullptr || !IsNameField(msg->source)) return;
    const auto* state = static_cast<const WM_POINTER_STATE*>(pointer->data.p);
    if (state == nullptr) { // the pointer left the field
        g_name_touch = {};
        return;
    }
    const int x = state->x + WM_GetWindowOrgX(msg->source);
    const int y = state->y + WM_GetWindowOrgY(msg->source);
    if (state->pressed != 0) {
        if (g_name_touch.field != msg->source) g_name_touch = {msg->source, x, y};
        return;
    }
    const NameFieldTouch touch = g_name_touch;
    g_name_touch = {};
    if (touch.field != msg->source) return;
    if (std::abs(x - touch.x) > kMotionThreshold || std::abs(y - touch.y) > kMotionThreshold) return;
    DEVPAGE_OnNotify(WM_GetWinId(msg->source), WM_NOTIFICATION_RELEASED, msg->source);
}

} // namespace

void MAINSCREEN_PaintBackground() {
    GUI_SetBackColor(kBlack);
    GUI_ClearWindow();
    GUI_SetDrawColor(kDarkGreen);
    GUI_FillRectangle(0, 0, 800, 85);
    GUI_DrawRoundFrame(0, 0, 799, 479, 0, 2);
}

void MAINSCREEN_PageCallback(WM_MSG_RECORD* msg) {
    switch (msg->msg_id) {
        case WM_MSG_PAINT:
            PaintPage(msg->target);
            return;
        case MSG_PAGE_REFRESH: {
            // Only what changed since the last refresh is painted again: the page, the
            // elements whose blink or animation moved, or nothing.
            GUI_RECT area{};
            const int what = DEVPAGE_RefreshArea(msg->target, &area);
            if (what == DEVPAGE_REFRESH_ALL) WM_InvalidateWin(msg->target);
            if (what == DEVPAGE_REFRESH_AREA) WM_InvalidateRect(msg->target, &area);
            return;
        }
        case MSG_PAGE_TICK:
            DEVPAGE_OnPageTick();
            return;
        case WM_MSG_NOTIFY_PARENT:
            DEVPAGE_OnNotify(WM_GetWinId(msg->source), msg->data.v, msg->source);
            return;
        case WM_MSG_CHILD_POINTER:
            OnChildPointer(msg);
            return;
        default:
            WM_FallbackProc(msg);
            return;
    }
}

void MAINSCREEN_RefreshTileStatus(DeviceEntry* entry) {
    const DeviceType* type = entry->type.load(std::memory_order_relaxed);
    RegisterCell* regs = entry->registers.load(std::memory_order_relaxed);
    if (type == nullptr || regs == nullptr) return;
    const int32_t length = entry->window_length.load(std::memory_order_relaxed);
    // Registers beyond the device's window are never touched.
    auto low_byte = [&](int reg) -> bool {
        if (reg >= length) return false;
        entry->greyed = static_cast<int8_t>(Reg_Get(regs, reg) & 0xFF);
        return true;
    };
    switch (type->type_id) {
        case DEV_DISPLAY_TYPE_ID:
            low_byte(18);
            break;
        case 100:
        case 101:
        case 102:
        case 103:
        case 104:
            low_byte(190);
            break;
        case 1024:
        case 1025:
        case 1026:
            low_byte(827);
            break;
        case 500:
        case 501:
        case 502:
            low_byte(236);
            break;
        case 510:
        case 511:
        case 512:
            // These meters take the status the other way round.
            if (236 < length) Reg_Set(regs, 236, static_cast<uint16_t>(int16_t(entry->greyed)));
            break;
        default:
            break;
    }
}

int MAINSCREEN_PageWidth(const DeviceType* type) {
    if (type == nullptr || type->page_layout == nullptr) return kNarrowPageWidth;
    int sum = 0;
    for (int i = 0; i < DeviceCount(); ++i)
        if (g_device_list.entries[size_t(i)].type.load(std::memory_order_relaxed) == type)
            sum += type->page_layout->tile_width + kTileGap;
    return sum + kTileGap > 800 ? sum + kTileGap : kNarrowPageWidth;
}

int MAINSCREEN_DeviceName(int index, char* buffer, int size) {
    if (buffer == nullptr || size <= 0) return -1;
    buffer[0] = '\0';
    if (index < 0 || index >= DeviceCount()) return -1;
    const DeviceEntry& entry = g_device_list.entries[size_t(index)];
    const char* name = entry.custom_name[0] != '\0' ? entry.custom_name : entry.name;
    int n;
    if (DEV_IsDisplayMember(entry))
        n = std::snprintf(buffer, size_t(size), "%.*s", int(sizeof entry.custom_name), name);
    else
        n = std::snprintf(buffer, size_t(size), "%.*s:%d", int(sizeof entry.custom_name), name,
                          int(entry.unit_id.load(std::memory_order_relaxed)));
    return n < size ? n : size - 1;
}

WM_HANDLE MAINSCREEN_PageWindow(int page) {
    return page >= 0 && page <= MAIN_CONNECT_SLOT ? g_page_windows[page] : 0;
}
void MAINSCREEN_SetPageWindow(int page, WM_HANDLE win) {
    if (page >= 0 && page <= MAIN_CONNECT_SLOT) g_page_windows[page] = win;
}
const DeviceType* MAINSCREEN_PageType(int page) {
    return IsPage(page) ? g_page_types[page] : nullptr;
}
void MAINSCREEN_SetPageType(int page, const DeviceType* type) {
    if (IsPage(page)) g_page_types[page] = type;
}
WM_HANDLE MAINSCREEN_PageWindowOfType(int type_index) {
    return IsPage(type_index) ? g_page_windows_by_type[type_index] : 0;
}
int MAINSCREEN_CurrentPage() {
    return g_current_page;
}
void MAINSCREEN_SetCurrentPage(int page) {
    g_current_page = page;
}
WM_HANDLE MAINSCREEN_NameField(int page, int slot) {
    return IsSlot(page, slot) ? g_name_fields[page][slot] : 0;
}
void MAINSCREEN_SetNameField(int page, int slot, WM_HANDLE field) {
    if (IsSlot(page, slot)) g_name_fields[page][slot] = field;
}
void MAINSCREEN_ForgetNameFields(int page) {
    if (IsPage(page)) std::memset(g_name_fields[page], 0, sizeof g_name_fields[page]);
}
int MAINSCREEN_SlotCounter() {
    return g_name_field_counter;
}
void MAINSCREEN_SetSlotCounter(int slot) {
    g_name_field_counter = slot;
}
int MAINSCREEN_TakeSlot() {
    return g_name_field_counter++;
}
void MAINSCREEN_ForgetPageRegisters() {
    std::memset(g_page_windows, 0, sizeof g_page_windows);
    std::memset(g_page_types, 0, sizeof g_page_types);
    std::memset(g_page_windows_by_type, 0, sizeof g_page_windows_by_type);
    std::memset(g_name_fields, 0, sizeof g_name_fields);
    g_current_page = 0;
    g_name_field_counter = 0;
}

int MAINSCREEN_PageOfWindow(WM_HANDLE win) {
    if (win == 0) return -1;
    for (int k = 0; k < MAIN_PAGE_COUNT; ++k)
        if (g_page_windows[k] == win) return k;
    return -1;
}

void MAINSCREEN_CreateFrame(WM_HANDLE parent) {
    GUI_LockGuard lock;
    g_main = WM_CreateWindowAsChild(0, 0, 800, 480, parent, WM_CF_VISIBLE, MainCallback, 0);
    g_time = MakeLabel(100, 110, MAIN_ID_TIME, "ZEIT");
    g_date = MakeLabel(10, 90, MAIN_ID_DATE, "DATUM");
    g_info_button = BUTTON_Make(740, 0, 60, 60, g_main, WM_CF_VISIBLE, 0, MAIN_ID_INFO_BUTTON);
    BUTTON_PutImage(g_info_button, BUTTON_CI_UNPRESSED, &kInfoPicture);
    BUTTON_PutImage(g_info_button, BUTTON_CI_PRESSED, &kInfoPressedPicture);
    INFO_Create(parent);
}

void MAINSCREEN_BuildPages() {
    GUI_LockGuard lock;
    g_multipage =
        MULTIPAGE_Create(2, 60, 796, 418, g_main, WM_CF_VISIBLE, 0, MAIN_ID_MULTIPAGE);
    MULTIPAGE_LOOK look{};
    MULTIPAGE_ReadLook(&look, 0);
    look.fill = kBlack;
    look.upper_top = look.upper_bottom = kDarkGreen;
    look.lower_top = look.lower_bottom = kDarkGreen;
    look.frame = kDarkGreen;
    look.text = kWhite;
    MULTIPAGE_PutLook(&look, 0);
    MULTIPAGE_PutFont(g_multipage, &FONT_20B);

    bool has_amprix = false, has_levra = false;
    SensorKinds(&has_amprix, &has_levra);
    int k = 0;
    for (int l = 0; l < DEV_TYPE_COUNT; ++l) {
        if (l == DEV_TYPE_AMPRIX && !has_amprix) continue;
        if (l == DEV_TYPE_LEVRA && !has_levra) continue;
        const DeviceType* type = DeviceTypeTable[size_t(l)];
        if (!HasDeviceOf(type)) continue;
        CreatePage(k, l, type);
        MULTIPAGE_InsertPage(g_multipage, g_page_windows[k], type->page_layout->short_name);
        ++k;
    }
    g_current_page = 0;
    MULTIPAGE_ShowPage(g_multipage, 0);
}

WM_HANDLE MAINSCREEN_Create(WM_HANDLE parent, int rebuild) {
    if (rebuild == 0) MAINSCREEN_CreateFrame(parent);
    STATUS_Create();
    // A program closed while it waits for the gateway begins no log file and builds no pages.
    if (!CONNECT_Run(g_main, rebuild)) return g_main;
    LOG_Init();
    MAINSCREEN_BuildPages();
    return g_main;
}

void MAINSCREEN_DeletePages() {
    GUI_LockGuard lock;
    if (g_multipage != 0) WM_DeleteWindow(g_multipage);
    g_multipage = 0;
    for (int k = 0; k < MAIN_PAGE_COUNT; ++k) {
        g_page_windows[k] = 0;
        g_page_types[k] = nullptr;
        g_page_windows_by_type[k] = 0;
    }
    std::memset(g_name_fields, 0, sizeof g_name_fields);
    g_name_field_counter = 0;
    g_current_page = 0;
    // The next device list is new: its empty gauge ranges are reported again.
    ELEMENT_EmptyRangeForgetAll();
}

int MAINSCREEN_SelectedPage() {
    if (g_multipage == 0) return 0;
    g_current_page = MULTIPAGE_Current(g_multipage);
    return g_current_page;
}

void MAINSCREEN_SendPageMessage(int page, int32_t message) {
    if (page < 0 || page >= MAIN_PAGE_COUNT || g_page_windows[page] == 0) return;
    WM_SendBareMessage(g_page_windows[page], message);
}

void MAINSCREEN_SetDateTime(const char* date, const char* time) {
    TEXT_PutText(g_date, date);
    TEXT_PutText(g_time, time);
}

WM_HANDLE MAINSCREEN_MainWindow() { return g_main; }
WM_HANDLE MAINSCREEN_Multipage() { return g_multipage; }

void MAINSCREEN_ForgetForTests() {
    MAINSCREEN_DeletePages();
    g_main = g_time = g_date = g_info_button = 0;
}
