// What every widget shares: the object that follows the window record, the type tags, the
// frame effects, focus and id handling, user bytes, heap texts and the program's start-up
// defaults. Everything with a double underscore is for the widget files only and expects the
// toolkit lock to be held.
#pragma once

#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/wm/wm.h"

#include <cstdint>

// Widget state flags.
constexpr uint16_t WIDGET_STATE_FOCUS = 0x01;
constexpr uint16_t WIDGET_STATE_FOCUSABLE = 0x10;
constexpr uint16_t WIDGET_STATE_PRESSED = 0x100;

// The 3D-frame look of a widget: how many pixels of its border the frame takes, and the
// routine that draws it inside a rectangle (window coordinates).
struct WIDGET_EFFECT {
    int size;
    void (*draw)(const GUI_RECT* rect);
};
extern const WIDGET_EFFECT WIDGET_EFFECT_FLAT; // no frame
extern const WIDGET_EFFECT WIDGET_EFFECT_3D;   // a two-pixel sunken bevel

// The effect given to widgets created afterwards.
void WIDGET_SetDefaultEffect(const WIDGET_EFFECT* effect);
const WIDGET_EFFECT* WIDGET_GetDefaultEffect();

// The program's appearance defaults, applied once at start-up right after the toolkit is up
// and before any page is built: classic buttons without background and with white text, bold
// 16-pixel multipage tabs, flat frames, white labels, 25-pixel scroll bars.
void WIDGET_SetProgramDefaults();

// ---- For the widget files -------------------------------------------------------------------

enum WIDGET_TYPE : uint32_t {
    WIDGET_TYPE_TEXT = 0x54455854,      // "TEXT"
    WIDGET_TYPE_BUTTON = 0x4255544E,    // "BUTN"
    WIDGET_TYPE_EDIT = 0x45444954,      // "EDIT"
    WIDGET_TYPE_LISTBOX = 0x4C495354,   // "LIST"
    WIDGET_TYPE_DROPDOWN = 0x44524F50,  // "DROP"
    WIDGET_TYPE_MULTIPAGE = 0x4D504147, // "MPAG"
    WIDGET_TYPE_GRAPH = 0x47525048,     // "GRPH"
    WIDGET_TYPE_WINDOW = 0x57494E44,    // "WIND"
    WIDGET_TYPE_SCROLLBAR = 0x5343524C, // "SCRL"
};

// The start of every widget object, right after the window record's place.
struct WIDGET_Obj {
    WM_Obj win;
    uint32_t type;
    int32_t id;
    uint16_t state;
    uint16_t num_user_bytes;
    const WIDGET_EFFECT* effect;
};

// Creates the window of a widget whose object (window record included) is obj_size bytes,
// followed by user_bytes; fills the common part. 0 when the window cannot be made (the window
// manager has reported it) or the sizes are out of range.
WM_HANDLE WIDGET_Create(int x0, int y0, int x_size, int y_size, WM_HANDLE parent, uint32_t flags,
                         WM_PROC proc, int obj_size, int user_bytes, WIDGET_TYPE type, int id,
                         uint16_t state);

// Shows the widget once its object is filled in, when the caller's flags ask for it.
void WIDGET_Finish(WM_HANDLE win, uint32_t flags);

// The object of a live widget of the type, nullptr otherwise. The checked variant reports
// wrong_text as an error when the handle is not 0 and not such a widget.
WIDGET_Obj* WIDGET_Peek(WM_HANDLE win, WIDGET_TYPE type);
WIDGET_Obj* WIDGET_Checked(WM_HANDLE win, WIDGET_TYPE type, const char* wrong_text);

template <class T> T* WIDGET_As(WM_HANDLE win, WIDGET_TYPE type) {
    return reinterpret_cast<T*>(WIDGET_Peek(win, type));
}
template <class T> T* WIDGET_AsChecked(WM_HANDLE win, WIDGET_TYPE type, const char* wrong_text) {
    return reinterpret_cast<T*>(WIDGET_Checked(win, type, wrong_text));
}

// Tells the widget's parent (or receiver, when given: the drop-down that owns an open list)
// WM_MSG_NOTIFY_PARENT with the code and returns the widget's object fetched anew: nullptr when
// the receiver deleted the widget while handling the news. After a notification a widget uses
// only what this returns, never an object pointer it held before.
WIDGET_Obj* WIDGET_Notify(WM_HANDLE win, WIDGET_TYPE type, int code, WM_HANDLE receiver = 0);

template <class T>
T* WIDGET_NotifyAs(WM_HANDLE win, WIDGET_TYPE type, int code, WM_HANDLE receiver = 0) {
    return reinterpret_cast<T*>(WIDGET_Notify(win, type, code, receiver));
}

// Handles what every widget answers alike: its id, and taking or losing the focus (which it
// accepts only while focusable, telling the parent with codes 8 and 9). True when handled.
bool WIDGET_HandleCommon(WM_MSG_RECORD* msg, WIDGET_Obj* obj);

// User bytes: n clamped to what the widget was created with; returns the count copied.
int WIDGET_ReadUserBytes(WM_HANDLE win, WIDGET_TYPE type, const char* wrong_text, void* buffer,
                          int obj_size, int n);
int WIDGET_WriteUserBytes(WM_HANDLE win, WIDGET_TYPE type, const char* wrong_text,
                           const void* buffer, int obj_size, int n);

// Heap texts. PutText replaces *text with a copy of s (null: no text) and returns 0, or 1 when
// the heap has no room (the old text stays). GetText is "" for none.
int WIDGET_PutText(GUI_HMEM* text, const char* s);
const char* WIDGET_GetText(GUI_HMEM text);
void WIDGET_FreeHandle(GUI_HMEM* handle);
// Copies at most size - 1 characters and a zero; returns the characters copied.
int WIDGET_CopyOut(const char* s, char* buffer, int size);

// Draws the effect's frame around the window's client rectangle and returns the rectangle
// inside it.
GUI_RECT WIDGET_DrawEffect(const WIDGET_Obj* obj);
// Width of a one-line text in a font, without touching the drawing context.
int WIDGET_TextWidth(const GUI_FONTDEF* font, const char* text);
// Makes a widget whose look leaves parts of it unpainted see-through (what lies beneath is
// painted first), or opaque again.
void WIDGET_SetSeeThrough(WM_HANDLE win, bool on);
bool WIDGET_IsVisible(WM_HANDLE win);
bool WIDGET_IsDisabled(const WIDGET_Obj* obj);

// Keeps the font, text mode, alignment and line width of the context across a paint.
class WIDGET_PaintScope {
  public:
    WIDGET_PaintScope();
    ~WIDGET_PaintScope();
    WIDGET_PaintScope(const WIDGET_PaintScope&) = delete;
    WIDGET_PaintScope& operator=(const WIDGET_PaintScope&) = delete;

  private:
    const GUI_FONTDEF* font_;
    int mode_;
    int align_;
    uint8_t width_;
};
