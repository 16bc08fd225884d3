// The main screen: the full-screen main window with the date, the time and the information
// button, the multipage with one device page per device type found on the bus, and the page
// registers that the device pages, the connect page and the GUI task's loop share.
// Everything here runs in the GUI task.
#pragma once

#include "devices/device_list.h"
#include "devices/device_types.h"
#include "gui/toolkit/wm/wm.h"

#include <cstdint>

// Application messages to the page on show, sent by the GUI task's loop.
constexpr int32_t MSG_PAGE_REFRESH = 1026; // every 10 passes: repaint the page
constexpr int32_t MSG_PAGE_TICK = 1027;    // every 200 passes: blink and animation phases

constexpr int MAIN_PAGE_COUNT = DEV_TYPE_COUNT;    // page numbers 0 to 20
constexpr int MAIN_CONNECT_SLOT = MAIN_PAGE_COUNT; // the connect page's window while it runs
constexpr int MAIN_NAME_FIELD_SLOTS = 100;         // name fields and value texts per page

// Widget ids.
constexpr int MAIN_ID_TIME = 2050;
constexpr int MAIN_ID_DATE = 2051;
constexpr int MAIN_ID_INFO_BUTTON = 2053;
constexpr int MAIN_ID_MULTIPAGE = 2055;
constexpr int MAIN_ID_NAME_FIELD = 4148; // + slot number on the page

// Page registers, kept by the main screen and shared through these functions. A page number
// outside 0 .. MAIN_PAGE_COUNT - 1 (0 .. MAIN_CONNECT_SLOT for a window) or a slot outside
// 0 .. MAIN_NAME_FIELD_SLOTS - 1 reads as empty and is not stored.
// Page windows by page number; slot MAIN_CONNECT_SLOT holds the connect window.
WM_HANDLE MAINSCREEN_PageWindow(int page);
void MAINSCREEN_SetPageWindow(int page, WM_HANDLE win);
// The device type shown by each page number (nullptr: no page).
const DeviceType* MAINSCREEN_PageType(int page);
void MAINSCREEN_SetPageType(int page, const DeviceType* type);
// The page window of a type by its index in DeviceTypeTable (0: no page).
WM_HANDLE MAINSCREEN_PageWindowOfType(int type_index);
// The current page number: the multipage's selection, set to 0 after each build and read
// again by the GUI task every 10 passes. A page's paint sets it to the page being painted,
// so the fields it creates always land in that page's slots.
int MAINSCREEN_CurrentPage();
void MAINSCREEN_SetCurrentPage(int page);
// Name-field (and value-text) handles by page number and slot; 0 until created. Cleared when
// the gateway is lost.
WM_HANDLE MAINSCREEN_NameField(int page, int slot);
void MAINSCREEN_SetNameField(int page, int slot, WM_HANDLE field);
void MAINSCREEN_ForgetNameFields(int page);
// The running slot number while a page is painted: each tile's name field, then the value
// texts of that tile. Slots at or beyond MAIN_NAME_FIELD_SLOTS are not stored (the field is
// then not made). MAINSCREEN_TakeSlot returns the next slot and counts it.
int MAINSCREEN_SlotCounter();
void MAINSCREEN_SetSlotCounter(int slot);
int MAINSCREEN_TakeSlot();
// Forgets every page register without deleting a window, for tests that set pages up by hand.
void MAINSCREEN_ForgetPageRegisters();

// Builds the main screen on parent (the desktop window). rebuild 0 at start: main window, date
// and time, information button and information window are made; rebuild 1 after a gateway
// loss re-uses them. Both forms make the status banner, run the connect page (which returns
// once the gateway is connected and searched), begin a new data-log file and make the
// multipage with one page per device type found. Returns the main window.
WM_HANDLE MAINSCREEN_Create(WM_HANDLE parent, int rebuild);

// The steps of MAINSCREEN_Create around the connect page: the main window with its date, time,
// information button and the information window (first build only), and the multipage with
// its pages from the device list (selecting page 0).
void MAINSCREEN_CreateFrame(WM_HANDLE parent);
void MAINSCREEN_BuildPages();

// Deletes the multipage with all its pages and forgets the page registers and the name-field
// table (the reset after a gateway loss).
void MAINSCREEN_DeletePages();

// The device page window procedure: the page paint (tile frames, name fields, the elements of
// online devices), MSG_PAGE_REFRESH, MSG_PAGE_TICK and the notifications of the tiles.
void MAINSCREEN_PageCallback(WM_MSG_RECORD* msg);

// The name a device's tile shows: for the display group's members the custom name or else the
// name; for every other device "<custom name or name>:<unit id>". Returns the length written
// (cut to size - 1), or -1 (empty text) for an index outside the device list.
int MAINSCREEN_DeviceName(int index, char* buffer, int size);

// The page number of a page window, or -1.
int MAINSCREEN_PageOfWindow(WM_HANDLE win);

// For the GUI task's loop: the multipage's selection (0 without a multipage), a message to the
// page window of a page number (ignored without one), the date and time texts.
int MAINSCREEN_SelectedPage();
void MAINSCREEN_SendPageMessage(int page, int32_t message);
void MAINSCREEN_SetDateTime(const char* date, const char* time);
// The screen's background, painted by every full-screen window: black, the dark green band at
// the top and the frame.
void MAINSCREEN_PaintBackground();

WM_HANDLE MAINSCREEN_MainWindow();
WM_HANDLE MAINSCREEN_Multipage();

// Refreshes the tile status (DeviceEntry::greyed) from the device's register window, or for
// some meters writes it into the window; the pure part of the page paint.
void MAINSCREEN_RefreshTileStatus(DeviceEntry* entry);

// Tests start from a screen that was never built (the toolkit is started afresh per test).
void MAINSCREEN_ForgetForTests();

// Width of a device page window: sum over the type's devices of (tile width + 5); the sum + 5
// when that is above 800, else 798.
int MAINSCREEN_PageWidth(const DeviceType* type);
