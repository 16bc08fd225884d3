#include "gui/toolkit/widgets/multipage.h"

#include "gui/toolkit/core/gui_alloc.h"
#include "gui/toolkit/core/gui_lock.h"
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/widgets/widget.h"
#include "gui/toolkit/wm/wm_internal.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr const char* kWrongType = "MULTIPAGE: Wrong handle type or Object not init'ed";
constexpr int kTabMargin = 12; // left and right of a title
constexpr int kTabPadding = 8; // added to the font height for the tab row

struct Page {
    WM_HANDLE win;
    GUI_HMEM title;
    uint8_t enabled;
};

struct MpObj {
    WIDGET_Obj w;
    WM_HANDLE client;
    const GUI_FONTDEF* font;
    int16_t sel;
    int16_t count;
    int16_t first_tab; // scrolled-away tabs are left of it
    std::array<Page, MULTIPAGE_MAX_PAGES> pages;
};

std::array<MULTIPAGE_LOOK, 3> g_looks{{
    {0x808080, 0xF2F2F2, 0xEBEBEB, 0xDDDDDD, 0xCFCFCF, 0x959595, 0x000000},
    {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0x959595, 0x000000},
    {0x808080, 0xFFFFFF, 0xF9F9F9, 0xECECEC, 0xDBDBDB, 0x959595, 0x808080},
}};
const GUI_FONTDEF* g_default_font = &FONT_13;

MpObj* Get(WM_HANDLE win) {
    return WIDGET_AsChecked<MpObj>(win, WIDGET_TYPE_MULTIPAGE, kWrongType);
}

MpObj* Own(WM_HANDLE win) {
    return WIDGET_As<MpObj>(win, WIDGET_TYPE_MULTIPAGE);
}

int TabHeight(const MpObj* obj) {
    return obj->font->line_distance + kTabPadding;
}

int ArrowSize(const MpObj* obj) {
    return (3 * obj->font->cell_height + 18) / 4;
}

int Width(const MpObj* obj) {
    return obj->w.win.rect.x1 - obj->w.win.rect.x0 + 1;
}

int TabWidth(const MpObj* obj, int i) {
    return WIDGET_TextWidth(obj->font, WIDGET_GetText(obj->pages[size_t(i)].title)) +
           2 * kTabMargin;
}

bool Overflows(const MpObj* obj) {
    int total = 0;
    for (int i = 0; i < obj->count; ++i)
        total += TabWidth(obj, i);
    return total > Width(obj);
}

// Right end (exclusive) of the room for tabs.
int TabRoom(const MpObj* obj) {
    return Overflows(obj) ? Width(obj) - 2 * ArrowSize(obj) : Width(obj);
}

void PaintArrow(const MpObj* obj, int x0, int y0, int s, bool right) {
    const MULTIPAGE_LOOK& look = g_looks[0];
    GUI_FillGradientV(x0, y0, x0 + s - 1, y0 + s - 1, look.upper_top, look.lower_bottom);
    GUI_SetDrawColor(look.frame);
    GUI_DrawRoundRect(x0, y0, x0 + s - 1, y0 + s - 1, 0);
    const int h = std::max(s / 4, 2);
    const GUI_POINT pts[3] = {{int16_t(right ? -h / 2 : h / 2), int16_t(-h)},
                              {int16_t(right ? -h / 2 : h / 2), int16_t(h)},
                              {int16_t(right ? h / 2 + 1 : -h / 2 - 1), 0}};
    GUI_SetDrawColor(look.text);
    GUI_FillPolygonAA(pts, 3, x0 + s / 2, y0 + s / 2);
    (void)obj;
}

void Paint(const MpObj* obj) {
    WIDGET_PaintScope scope;
    const int th = TabHeight(obj);
    const int room = TabRoom(obj);
    GUI_SelectFont(obj->font);
    int x = 0;
    for (int i = obj->first_tab; i < obj->count && x < room; ++i) {
        const Page& page = obj->pages[size_t(i)];
        const int w = TabWidth(obj, i);
        const int state = i == obj->sel ? 1 : page.enabled ? 0 : 2;
        const MULTIPAGE_LOOK& look = g_looks[size_t(state)];
        // The selected tab stands two pixels taller and opens into the page area.
        const int y0 = state == 1 ? 0 : 2;
        const int x1 = std::min(x + w - 1, room - 1);
        if (state == 1) {
            GUI_SetDrawColor(look.fill);
            GUI_FillRectangle(x, y0, x1, th - 1);
        } else {
            const int mid = (y0 + th - 1) / 2;
            GUI_FillGradientV(x, y0, x1, mid, look.upper_top, look.upper_bottom);
            GUI_FillGradientV(x, mid + 1, x1, th - 1, look.lower_top, look.lower_bottom);
        }
        GUI_SetDrawColor(look.frame);
        GUI_FillRectangle(x, y0, x1, y0);
        GUI_FillRectangle(x, y0, x, th - 1);
        if (x1 == x + w - 1) GUI_FillRectangle(x1, y0, x1, th - 1);
        if (state != 1) GUI_FillRectangle(x, th - 1, x1, th - 1);
        GUI_SetDrawColor(look.text);
        const GUI_RECT r{int16_t(x), int16_t(y0 + 1), int16_t(x + w - 1), int16_t(th - 1)};
        const GUI_RECT clip{r.x0, r.y0, int16_t(x1), r.y1};
        GUI_PrintInRect(WIDGET_GetText(page.title), &clip,
                        w <= x1 - x + 1 ? GUI_ALIGN_HCENTER | GUI_ALIGN_VCENTER
                                        : GUI_ALIGN_LEFT | GUI_ALIGN_VCENTER);
        x += w;
    }
    if (Overflows(obj)) {
        const int s = ArrowSize(obj);
        const int y = th - s;
        PaintArrow(obj, Width(obj) - 2 * s, y, s, false);
        PaintArrow(obj, Width(obj) - s, y, s, true);
    }
}

void ClientProc(WM_MSG_RECORD* msg) {
    if (msg->msg_id != WM_MSG_PAINT) return WM_FallbackProc(msg);
    const WM_Obj* client = WM_ObjOf(msg->target);
    const MpObj* obj = client ? WIDGET_As<MpObj>(client->parent, WIDGET_TYPE_MULTIPAGE) : nullptr;
    if (obj == nullptr) return;
    const MULTIPAGE_LOOK& look = g_looks[1];
    GUI_SetBackColor(look.fill);
    GUI_ClearWindow();
    GUI_SetDrawColor(look.frame);
    GUI_DrawRoundRect(0, 0, client->rect.x1 - client->rect.x0, client->rect.y1 - client->rect.y0,
                      0);
}

// Scrolls the tab row so that the tab is in view.
void RevealTab(MpObj* obj, int index) {
    if (index < obj->first_tab) obj->first_tab = int16_t(index);
    const int room = TabRoom(obj);
    for (;;) {
        int x = 0;
        for (int i = obj->first_tab; i <= index; ++i)
            x += TabWidth(obj, i);
        if (x <= room || obj->first_tab >= index) return;
        ++obj->first_tab;
    }
}

void ShowPage(WM_HANDLE win, int index) {
    MpObj* obj = Own(win);
    if (obj == nullptr || index < 0 || index >= obj->count || !obj->pages[size_t(index)].enabled)
        return;
    const WM_HANDLE page = obj->pages[size_t(index)].win;
    if (index == obj->sel) {
        WM_GiveFocus(page);
        return;
    }
    obj->sel = int16_t(index);
    RevealTab(obj, index);
    WM_InvalidateWin(win);
    // Copied first: showing and hiding may run other procedures.
    const std::array<Page, MULTIPAGE_MAX_PAGES> pages = obj->pages;
    const int count = obj->count;
    for (int i = 0; i < count; ++i)
        if (i != index) WM_HideWin(pages[size_t(i)].win);
    WM_ShowWin(page);
    if (!WM_IsAncestorOrSelf(page, WM_GetFocusedWindow())) WM_GiveFocus(page);
    WIDGET_Notify(win, WIDGET_TYPE_MULTIPAGE, WM_NOTIFICATION_CHANGED);
}

void OnPointer(WM_HANDLE win, MpObj* obj, const WM_POINTER_STATE* state) {
    if (state == nullptr || !state->pressed || WIDGET_IsDisabled(&obj->w)) return;
    if (state->y < 0 || state->y >= TabHeight(obj)) return;
    if (Overflows(obj) && state->x >= TabRoom(obj)) {
        const int s = ArrowSize(obj);
        if (state->y < TabHeight(obj) - s) return;
        const int step = state->x >= Width(obj) - s ? 1 : -1;
        const int first = std::clamp(obj->first_tab + step, 0, std::max(obj->count - 1, 0));
        if (first != obj->first_tab) {
            obj->first_tab = int16_t(first);
            WM_InvalidateWin(win);
        }
        return;
    }
    int x = 0;
    for (int i = obj->first_tab; i < obj->count; ++i) {
        x += TabWidth(obj, i);
        if (state->x < x) {
            ShowPage(win, i);
            return;
        }
    }
}

void Proc(WM_MSG_RECORD* msg) {
    const WM_HANDLE win = msg->target;
    MpObj* obj = Own(win);
    if (obj == nullptr) return WM_FallbackProc(msg);
    if (WIDGET_HandleCommon(msg, &obj->w)) return;
    switch (msg->msg_id) {
        case WM_MSG_PAINT:
            Paint(obj);
            return;
        case WM_MSG_POINTER:
            OnPointer(win, obj, static_cast<const WM_POINTER_STATE*>(msg->data.p));
            return;
        case WM_MSG_GET_CLIENT:
            msg->data.p = nullptr;
            msg->data.h = obj->client;
            return;
        case WM_MSG_DELETE:
            for (Page& page : obj->pages)
                WIDGET_FreeHandle(&page.title);
            break;
        default:
            break;
    }
    WM_FallbackProc(msg);
}

} // namespace

WM_HANDLE MULTIPAGE_Create(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                           int, int id) {
    GUI_LockGuard lock;
    const WM_HANDLE win = WIDGET_Create(x0, y0, x_size, y_size, parent, flags | WM_CF_SEE_THROUGH,
                                         Proc, sizeof(MpObj), 0, WIDGET_TYPE_MULTIPAGE, id, 0);
    if (win == 0) {
        GUI_ReportError("MULTIPAGE_Create failed");
        return 0;
    }
    MpObj* obj = Own(win);
    obj->font = g_default_font;
    obj->sel = -1;
    const int th = TabHeight(obj);
    const int w = Width(obj);
    const int h = obj->w.win.rect.y1 - obj->w.win.rect.y0 + 1;
    const WM_HANDLE client =
        WM_CreateWindowAsChild(0, th, w, std::max(h - th, 1), win, WM_CF_VISIBLE, ClientProc, 0);
    if (client == 0) {
        WM_DeleteWindow(win);
        GUI_ReportError("MULTIPAGE_Create failed");
        return 0;
    }
    Own(win)->client = client;
    WIDGET_Finish(win, flags);
    return win;
}

void MULTIPAGE_InsertPage(WM_HANDLE win, WM_HANDLE page, const char* title) {
    GUI_LockGuard lock;
    MpObj* obj = Get(win);
    if (obj == nullptr || obj->count >= MULTIPAGE_MAX_PAGES) return;
    if (page == 0) {
        for (WM_HANDLE c = WM_GetFirstChild(obj->client); c != 0 && page == 0;
             c = WM_GetNextSibling(c)) {
            bool taken = false;
            for (int i = 0; i < obj->count; ++i)
                taken = taken || obj->pages[size_t(i)].win == c;
            if (!taken) page = c;
        }
        if (page == 0) return;
    } else if (WM_ObjOf(page) == nullptr) {
        return;
    }
    Page entry{page, 0, 1};
    if (WIDGET_PutText(&entry.title, title) != 0) return;
    WM_AttachWindowAt(page, obj->client, 0, 0);
    obj = Own(win);
    if (obj == nullptr) return WIDGET_FreeHandle(&entry.title);
    const int index = obj->count++;
    obj->pages[size_t(index)] = entry;
    WM_InvalidateWin(win);
    ShowPage(win, index);
}

void MULTIPAGE_ShowPage(WM_HANDLE win, int index) {
    GUI_LockGuard lock;
    if (Get(win) != nullptr) ShowPage(win, index);
}

int MULTIPAGE_Current(WM_HANDLE win) {
    GUI_LockGuard lock;
    MpObj* obj = Get(win);
    return obj ? obj->sel : 0;
}

int MULTIPAGE_PageCount(WM_HANDLE win) {
    GUI_LockGuard lock;
    MpObj* obj = Get(win);
    return obj ? obj->count : 0;
}

WM_HANDLE MULTIPAGE_PageWindow(WM_HANDLE win, int index) {
    GUI_LockGuard lock;
    MpObj* obj = Get(win);
    return (obj && index >= 0 && index < obj->count) ? obj->pages[size_t(index)].win : 0;
}

WM_HANDLE MULTIPAGE_Client(WM_HANDLE win) {
    GUI_LockGuard lock;
    MpObj* obj = Get(win);
    return obj ? obj->client : 0;
}

void MULTIPAGE_EnablePage(WM_HANDLE win, int index, int on) {
    GUI_LockGuard lock;
    MpObj* obj = Get(win);
    if (obj == nullptr || index < 0 || index >= obj->count) return;
    if (obj->pages[size_t(index)].enabled == (on ? 1 : 0)) return;
    obj->pages[size_t(index)].enabled = on ? 1 : 0;
    WM_InvalidateWin(win);
}

void MULTIPAGE_PutFont(WM_HANDLE win, const GUI_FONTDEF* font) {
    GUI_LockGuard lock;
    MpObj* obj = Get(win);
    if (obj == nullptr || font == nullptr || obj->font == font) return;
    obj->font = font;
    // The page area starts below the new tab row.
    const int th = TabHeight(obj);
    const int h = obj->w.win.rect.y1 - obj->w.win.rect.y0 + 1;
    const WM_HANDLE client = obj->client;
    const int w = Width(obj);
    WM_MoveTo(client, 0, th);
    WM_SetSize(client, w, std::max(h - th, 1));
    obj = Own(win);
    if (obj != nullptr && obj->sel >= 0) RevealTab(obj, obj->sel);
    WM_InvalidateWin(win);
}

void MULTIPAGE_PutDefaultFont(const GUI_FONTDEF* font) {
    GUI_LockGuard lock;
    if (font != nullptr) g_default_font = font;
}

int MULTIPAGE_TabHeight(WM_HANDLE win) {
    GUI_LockGuard lock;
    MpObj* obj = Get(win);
    return obj ? TabHeight(obj) : 0;
}

int MULTIPAGE_FirstTab(WM_HANDLE win) {
    GUI_LockGuard lock;
    MpObj* obj = Get(win);
    return obj ? obj->first_tab : 0;
}

void MULTIPAGE_ReadLook(MULTIPAGE_LOOK* look, int state) {
    GUI_LockGuard lock;
    if (look != nullptr && state >= 0 && state <= 2) *look = g_looks[size_t(state)];
}

void MULTIPAGE_PutLook(const MULTIPAGE_LOOK* look, int state) {
    GUI_LockGuard lock;
    if (look != nullptr && state >= 0 && state <= 2) g_looks[size_t(state)] = *look;
}
