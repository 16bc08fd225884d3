#include "tests/pages/devicepage_golden_util.h"

#include "base/datafolder.h"
#include "base/dbg.h"
#include "base/queue.h"
#include "config/settings.h"
#include "elements/element_report.h"
#include "gui/host/host.h"
#include "gui/toolkit/draw/gui_draw.h"
#include "pages/devicepage.h"
#include "pages/mainscreen.h"
#include "tests/util/scratch.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>

namespace pagetest {

namespace {

// The tasks of the simulator tests write from their own threads.
std::mutex g_debug_lock;
std::string g_debug;

void Sink(const char* text, int length) {
    std::lock_guard<std::mutex> guard(g_debug_lock);
    g_debug.append(text, static_cast<size_t>(length));
}

std::unique_ptr<ScratchFolder> g_scratch;

// Per colour channel: the drawing is deterministic, this only absorbs rounding of blends.
constexpr int kTolerance = 8;

// The test's page procedure: black page, a grey frame and a plain name plate per tile, the
// elements of online devices, the buttons of offline ones hidden; notifications go to the
// device page.
void PageProc(WM_MSG_RECORD* msg) {
    switch (msg->msg_id) {
        case WM_MSG_PAINT: {
            GUI_SetBackColor(0x000000);
            GUI_ClearWindow();
            const DeviceType* type = MAINSCREEN_PageType(0);
            if (type == nullptr) return;
            MAINSCREEN_SetCurrentPage(0);
            MAINSCREEN_SetSlotCounter(0);
            int x = 5;
            const int32_t count = g_device_list.device_count.load();
            for (int32_t i = 0; i < count; ++i) {
                DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(i)];
                if (entry.type.load() != type) continue;
                const int w = type->page_layout->tile_width;
                const int h = type->page_layout->tile_height;
                const int first_slot = MAINSCREEN_SlotCounter();
                if (w != 0) {
                    GUI_SetDrawColor(0x808080);
                    GUI_DrawRoundFrame(x, 5, x + w, 5 + h, 3, 3);
                    GUI_SetDrawColor(entry.state.load() == 1 ? 0x006600 : 0x808080);
                    GUI_FillRectangle(x + 3, 8, x + w - 3, 32);
                    MAINSCREEN_TakeSlot(); // the name field's slot
                }
                if (entry.state.load() == 1)
                    DEVPAGE_DrawElements(x, 5, type, msg->target, &entry);
                else
                    DEVPAGE_HideTileWidgets(&entry);
                MAINSCREEN_SetSlotCounter(first_slot + DEVPAGE_TileSlots(type->page_layout));
                x += w + 5;
            }
            return;
        }
        case WM_MSG_NOTIFY_PARENT:
            DEVPAGE_OnNotify(WM_GetWinId(msg->source), msg->data.v, msg->source);
            return;
        default:
            WM_FallbackProc(msg);
    }
}

} // namespace

DebugCapture::DebugCapture() {
    Clear();
    DBG_SetSink(Sink);
}
DebugCapture::~DebugCapture() {
    DBG_SetSink(nullptr);
}
std::string DebugCapture::Text() const {
    std::lock_guard<std::mutex> guard(g_debug_lock);
    return g_debug;
}
void DebugCapture::Clear() {
    std::lock_guard<std::mutex> guard(g_debug_lock);
    g_debug.clear();
}
int DebugCapture::Count(const std::string& needle) const {
    std::lock_guard<std::mutex> guard(g_debug_lock);
    int n = 0;
    for (size_t at = g_debug.find(needle); at != std::string::npos;
         at = g_debug.find(needle, at + needle.size()))
        ++n;
    return n;
}

void PageTest::SetUp() {
    WidgetTest::SetUp();
    DEV_Clear();
    QUEUE_Init();
    DEVPAGE_ResetForTests();
    ELEMENT_EmptyRangeForgetAll();
    DEVPAGE_SetWallClockForTests(nullptr);
    MAINSCREEN_ForgetPageRegisters();
    g_scratch = std::make_unique<ScratchFolder>("veltra-pages");
    data_folder = g_scratch->Path() + "/Ovalo";
    ::setenv("APPDATA", g_scratch->Path().c_str(), 1);
    DATA_CreateFolder();
    CONFIG_Init();
    debug.Clear();
}

void PageTest::TearDown() {
    DEVPAGE_SetWallClockForTests(nullptr);
    MAINSCREEN_ForgetPageRegisters();
    DEV_Clear();
    WidgetTest::TearDown();
    g_scratch.reset();
}

WM_HANDLE PageTest::MakePage(const DeviceType* type, int width) {
    if (width == 0) {
        int sum = 0;
        const int32_t count = g_device_list.device_count.load();
        for (int32_t i = 0; i < count; ++i)
            if (g_device_list.entries[static_cast<size_t>(i)].type.load() == type)
                sum += type->page_layout->tile_width + 5;
        width = sum + 5 > 800 ? sum + 5 : 798;
    }
    MAINSCREEN_SetPageType(0, type);
    page = WM_CreateWindowAsChild(2, 60, width, 425, parent, WM_CF_VISIBLE, PageProc, 0);
    MAINSCREEN_SetPageWindow(0, page);
    Exec();
    return page;
}

void PageTest::Repaint() {
    WM_InvalidateWin(page);
    Exec();
}

void SetValue(RegisterCell* window, int32_t index, int32_t type, int64_t value) {
    if (index <= 0) return;
    const uint16_t v16 = static_cast<uint16_t>(value);
    switch (type) {
        case REG_TYPE_S32:
        case REG_TYPE_S32_ALT:
            Reg_Set32(window, index, static_cast<uint32_t>(value));
            break;
        case REG_TYPE_FLOAT: {
            const float f = static_cast<float>(value) / 1000.0f;
            uint32_t bits = 0;
            std::memcpy(&bits, &f, sizeof bits);
            Reg_Set32(window, index, bits);
            break;
        }
        case REG_TYPE_U64:
            for (int k = 0; k < 4; ++k)
                Reg_Set(window, index + k,
                        static_cast<uint16_t>(static_cast<uint64_t>(value) >> (16 * k)));
            break;
        case REG_TYPE_U8_HIGH:
        case REG_TYPE_S8_HIGH:
            Reg_Set(window, index,
                    static_cast<uint16_t>((Reg_Get(window, index) & 0x00FF) | ((v16 & 0xFF) << 8)));
            break;
        case REG_TYPE_U8_LOW:
        case REG_TYPE_S8_LOW:
            Reg_Set(window, index,
                    static_cast<uint16_t>((Reg_Get(window, index) & 0xFF00) | (v16 & 0xFF)));
            break;
        default:
            Reg_Set(window, index, v16);
            break;
    }
}

namespace {

// A value source's register gets the value unless it is a constant.
void SetSource(RegisterCell* w, int32_t reg, int32_t type, int64_t value) {
    if (reg > 0) SetValue(w, reg, type, value);
}

int64_t SourceOr(const RegisterCell* w, int32_t reg, int32_t type, int32_t constant) {
    return Reg_GetValueOr(reg, static_cast<uint32_t>(type), w, constant);
}

// The largest round value a register type holds.
int64_t TypeRoom(int32_t type) {
    switch (type) {
        case REG_TYPE_U16:
            return 60000;
        case REG_TYPE_S16:
            return 30000;
        case REG_TYPE_U8_HIGH:
        case REG_TYPE_U8_LOW:
            return 250;
        case REG_TYPE_S8_HIGH:
        case REG_TYPE_S8_LOW:
            return 120;
        default:
            return int64_t{1} << 30;
    }
}

void FillElement(RegisterCell* w, const PageElement& e, int n) {
    switch (e.kind) {
        case PE_KIND_LED: {
            // The first lit state of the table; every other lamp of a tile in alarm.
            const LedTable* t = e.led_table;
            int64_t pick = t != nullptr && t->count > 0 ? t->pairs[0].value : 0;
            for (int32_t i = 0; t != nullptr && i < t->count; ++i) {
                if (t->pairs[i].state == (n % 3 == 2 ? 2 : 1)) {
                    pick = t->pairs[i].value;
                    break;
                }
            }
            SetValue(w, e.value_register, e.value_type, pick);
            return;
        }
        case PE_KIND_BUTTON:
            if (e.second_register > 0) SetValue(w, e.second_register, e.value_type, 1);
            return;
        case PE_KIND_SWITCH:
            SetValue(w, e.value_register, e.value_type, 1);
            SetValue(w, e.second_register, REG_TYPE_S16, -3 * e.button_value - 7);
            return;
        case PE_KIND_TEXT: {
            // Distinct readable numbers: 12.345 in the element's own scale.
            const int64_t v = e.divisor == 1 ? 5 + n : int64_t{12345} * e.divisor / 1000 + n;
            SetValue(w, e.value_register, e.value_type, v);
            return;
        }
        case PE_KIND_SECTION:
            return;
        default:
            break;
    }
    // Ranges: a register end gets 100 units of the element's scale, or what its register
    // type holds (the constant ends stay).
    int64_t top = int64_t{100} * (e.divisor > 0 ? e.divisor : 1);
    const int64_t room = TypeRoom(e.high_type);
    if (top > room) top = room;
    SetSource(w, e.low_register, e.low_type, e.kind == PE_KIND_GAUGE_SIGNED ? -top : 0);
    SetSource(w, e.high_register, e.high_type, top);
    const int64_t lo = SourceOr(w, e.low_register, e.low_type, e.low_constant);
    const int64_t hi = SourceOr(w, e.high_register, e.high_type, e.high_constant);
    const int64_t span = hi - lo;
    // Limits: lower alarm 10 %, upper alarm 90 %, lower warning 20 %, upper warning 80 %.
    const int64_t at[4] = {lo + span / 10, lo + span * 9 / 10, lo + span / 5, lo + span * 4 / 5};
    for (int k = 0; k < 4; ++k)
        SetSource(w, e.limit_registers[k], e.limit_types[k], at[k]);
    // The value: 30 % to 85 % of the range, different per element, shifted back by the offset.
    const int64_t share = 30 + (n * 17) % 56;
    const int64_t value = lo + span * share / 100;
    SetValue(w, e.value_register, e.value_type, e.kind == PE_KIND_LEVEL ? share : value);
}

} // namespace

void FillFixedValues(const DeviceEntry& entry, int seed) {
    RegisterCell* w = entry.registers.load();
    const DeviceType* type = entry.type.load();
    if (w == nullptr || type == nullptr) return;
    const PageLayout& layout = *type->page_layout;
    for (int32_t i = 0; i < layout.element_count; ++i)
        FillElement(w, layout.elements[i], i + seed);
    // Tile status 0 (not greyed) where the type keeps one.
    switch (type->type_id) {
        case 100:
        case 101:
        case 102:
        case 103:
        case 104:
            SetValue(w, 190, REG_TYPE_U16, 0);
            break;
        case 1024:
        case 1025:
        case 1026:
            SetValue(w, 827, REG_TYPE_U16, 0);
            break;
        case 500:
        case 501:
        case 502:
            SetValue(w, 236, REG_TYPE_U16, 0);
            break;
        default:
            break;
    }
}

namespace {

void FillAll() {
    const int32_t count = g_device_list.device_count.load();
    for (int32_t i = 0; i < count; ++i) {
        DeviceEntry& entry = g_device_list.entries[static_cast<size_t>(i)];
        FillFixedValues(entry, i);
    }
    // The Home tile: a remaining time that reads like one, a battery current that charges.
    DeviceEntry& home = g_device_list.entries[1];
    RegisterCell* w = home.registers.load();
    SetValue(w, 56, REG_TYPE_U16, 3);
    SetValue(w, 57, REG_TYPE_U16, 7);
    SetValue(w, 58, REG_TYPE_U16, 42);
    SetValue(w, 44, REG_TYPE_S32, 12345);
}

} // namespace

void ListFull() {
    DEV_BeginSearch();
    DEV_CreateDisplayGroup(1);
    const int32_t search_types[] = {1024, 1025, 1026, 100, 102, 101, 103, 104,
                                    200,  201,  502,  501, 500, 510, 511, 512};
    int32_t unit = 2;
    for (int32_t id : search_types)
        DEV_AppendDevice(unit++, DEV_FindSearchType(static_cast<uint32_t>(id)));
    FillAll();
}

void ListWide() {
    DEV_BeginSearch();
    DEV_CreateDisplayGroup(1);
    for (int32_t unit = 10; unit <= 18; ++unit)
        DEV_AppendDevice(unit, DEV_FindSearchType(500));
    for (int32_t unit = 20; unit <= 24; ++unit)
        DEV_AppendDevice(unit, DEV_FindSearchType(100));
    FillAll();
    // One meter discharging: its current gauge runs the other way.
    SetValue(g_device_list.entries[static_cast<size_t>(DEV_FindUnit(14))].registers.load(), 114,
             REG_TYPE_S32_ALT, -12500);
}

// ---- Reference pictures ----

bool ReadPng(const std::string& path, std::vector<uint32_t>* pixels, int* width, int* height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) == 0) {
        png_image_free(&image);
        return false;
    }
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    pixels->resize(static_cast<size_t>(*width) * static_cast<size_t>(*height));
    for (size_t i = 0; i < pixels->size(); ++i)
        (*pixels)[i] = static_cast<uint32_t>(rgb[3 * i]) << 16 |
                       static_cast<uint32_t>(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    return true;
}

int CountDifferences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int tolerance,
                     std::vector<uint32_t>* diff) {
    if (a.size() != b.size()) return -1;
    int count = 0;
    if (diff != nullptr) diff->assign(a.size(), 0);
    for (size_t i = 0; i < a.size(); ++i) {
        int worst = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            const int d = std::abs(static_cast<int>((a[i] >> shift) & 0xFF) -
                                   static_cast<int>((b[i] >> shift) & 0xFF));
            worst = d > worst ? d : worst;
        }
        if (worst > tolerance) {
            ++count;
            if (diff != nullptr) (*diff)[i] = 0xFF0000;
        } else if (diff != nullptr) {
            (*diff)[i] = (a[i] >> 2) & 0x3F3F3F; // the picture dimmed, for orientation
        }
    }
    return count;
}

std::string CompareWithGolden(const std::string& folder, const std::string& name,
                              const std::vector<uint32_t>& pixels, int width, int height) {
    const std::string path = folder + name + ".png";
    const char* regen = std::getenv("VELTRA_REGEN_GOLDEN");
    if (regen != nullptr && *regen != '\0' && *regen != '0') {
        std::filesystem::create_directories(folder);
        if (HOST_WritePNGPixels(path.c_str(), pixels.data(), width, height, width) != 0)
            return "cannot write " + path;
        return "";
    }
    std::vector<uint32_t> expected;
    int w = 0, h = 0;
    if (!ReadPng(path, &expected, &w, &h))
        return "no reference picture " + path + " (scripts/regen-golden makes it)";
    std::vector<uint32_t> diff;
    const int bad =
        w == width && h == height ? CountDifferences(pixels, expected, kTolerance, &diff) : -1;
    if (bad == 0) return "";
    const std::string actual = folder + name + ".actual.png";
    HOST_WritePNGPixels(actual.c_str(), pixels.data(), width, height, width);
    if (bad > 0) {
        const std::string diff_path = folder + name + ".diff.png";
        HOST_WritePNGPixels(diff_path.c_str(), diff.data(), width, height, width);
        return name + ": " + std::to_string(bad) + " pixels differ; see " + actual + " and " +
               diff_path;
    }
    return name + ": size " + std::to_string(width) + " x " + std::to_string(height) +
           " instead of " + std::to_string(w) + " x " + std::to_string(h) + "; see " + actual;
}

} // namespace pagetest
