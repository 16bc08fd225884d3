// The display unit's family. The display unit (type id 2048 in register 0) is the bus's own
// panel: its register map holds Home (solar in, loads out, battery state of charge, voltage,
// currents, counted ampere hours, remaining time), Quill (four inputs, four outputs and the
// BMS master's cell voltages), the Graph tab (the history graph, no elements), and the blocks
// of up to four Amprix current sensors and four Levra level sensors. All five share the
// display unit's type id and are found as one group, never by the search; none raises alarms.
#include "devices/catalogue.h"
#include "devices/derived.h"

using namespace catalogue;

namespace {

constexpr std::array kHomeElements{
    Scaled(0, "P_IN", PE_KIND_GAUGE_SOLAR, {10, 150, 200, 200}, R(20, 1), "%d W", 1, 0, K(0),
           R(22, 1), {kDash, R(26, 1), kDash, R(24, 1)}),
    Scaled(1, "P_OUT", PE_KIND_GAUGE_BULB, {575, 150, 200, 200}, R(28, 1), "%d W", 1, 0, K(0),
           R(30, 1), {kDash, R(34, 1), kDash, R(32, 1)}),
    // The charging symbol blinks while the battery current (44) is 51 or more.
    WithSecond(Scaled(2, "SOC", PE_KIND_GAUGE_CHARGE, {242, 50, 300, 300}, R(36, 1), "%.1f %%", 10,
                      0, K(0), K(1000), {K(50), K(1100), K(100), K(1050)}),
               44),
    Text(3, "U=", {10, 20, 300, 50}, R(42, 1), "Ubat: % 06.2f V", 1000),
    Text(4, "I=", {10, 40, 300, 50}, R(44, 1), "Ibat: % 06.1f A", 1000),
    Text(5, "Iin=", {10, 60, 300, 50}, R(46, 1), "Iin:  % 06.1f A", 1000),
    Text(6, "Iout=", {10, 80, 300, 50}, R(48, 1), "Iout: % 06.1f A", 1000),
    Text(7, "Q=", {10, 100, 300, 50}, R(50, 2), "Cnt:  % 06.1f Ah", 1000),
    Text(8, "RT=", {555, 20, 300, 50}, R(56, 2), "Remaining time:", 1),
    Text(9, "RT=", {680, 20, 300, 50}, R(56, 3), "%3ud", 1),
    Text(10, "RT=", {720, 20, 300, 50}, R(57, 3), "%2uh", 1),
    Text(11, "RT=", {750, 20, 300, 50}, R(58, 3), "%2um", 1),
    Text(12, "Iin=", {39, 206, 140, 25}, R(46, 1), "%.1f A", 1000, kBlackBox, kRed),
    Text(13, "Iout=", {604, 206, 140, 25}, R(48, 1), "%.1f A", 1000, kBlackBox, kRed),
};

constexpr std::array kQuillElements{
    Section(0, "INPUTS", {0, 0, 208, 382}),
    Scaled(1, "INPUT 1", PE_KIND_GAUGE, {14, 40, 85, 109}, R(1020, 2), "%.2fV", 1000, 0, K(0),
           R(56, 1), {kDash, R(56, 1), kDash, R(56, 1)}),
    Scaled(2, "INPUT 2", PE_KIND_GAUGE, {109, 40, 85, 109}, R(1022, 2), "%.2fV", 1000, 0, K(0),
           R(58, 1), {kDash, R(58, 1), kDash, R(58, 1)}),
    Scaled(3, "INPUT 3", PE_KIND_GAUGE, {14, 159, 85, 109}, R(1024, 2), "%.2fV", 1000, 0, K(0),
           R(60, 1), {kDash, R(60, 1), kDash, R(60, 1)}),
    Scaled(4, "INPUT 4", PE_KIND_GAUGE, {109, 159, 85, 109}, R(1026, 2), "%.2fV", 1000, 0, K(0),
           R(62, 1), {kDash, R(62, 1), kDash, R(62, 1)}),
    Section(5, "OUTPUTS", {213, 0, 120, 382}),
    Led(6, "OUT 1", {223, 40, 100, 25}, R(1028, 3), kLedOffOn, kGreen, kGreen),
    Led(7, "OUT 2", {223, 75, 100, 25}, R(1029, 3), kLedOffOn, kGreen, kGreen),
    Led(8, "OUT 3", {223, 110, 100, 25}, R(1030, 3), kLedOffOn, kGreen, kGreen),
    Led(9, "OUT 4", {223, 145, 100, 25}, R(1031, 3), kLedOffOn, kGreen, kGreen),
    Section(10, "BMS MASTER", {338, 0, 150, 382}),
    Text(11, "Umin  ", {365, 40, 120, 15}, R(1032, 1), "Min % 06.2f V", 1000),
    Text(12, "Umax  ", {365, 60, 120, 15}, R(1034, 1), "Max % 06.2f V", 1000),
    Text(13, "Udelta", {365, 80, 120, 15}, R(1036, 1), "Dif % 06.2f V", 1000),
    Text(14, "bal", {365, 100, 120, 15}, R(1038, 1), "Bal % 06.2f V", 1000),
};

constexpr std::array kAmprixElements{
    Scaled(0, "CURRENT", PE_KIND_GAUGE, {10, 40, 172, 200}, R(20, 2), "%.1f A", 1000, 0, R(22, 2),
           R(24, 2), {R(30, 2), R(32, 2), R(26, 2), R(28, 2)}),
};

constexpr std::array kLevraElements{
    Scaled(0, "F\xFCllstand", PE_KIND_LEVEL, {10, 40, 172, 330}, R(20, 2), "%d %%", 1, 0, R(22, 2),
           R(24, 2), {R(30, 2), R(32, 2), R(26, 2), R(28, 2)}),
};

constexpr PageLayout kHomePage = Page("Home", 785, 382, kHomeElements);
constexpr PageLayout kQuillPage = Page("Quill", 0, 0, kQuillElements);
// The graph page's content is the history graph, not elements.
constexpr PageLayout kGraphPage = [] {
    PageLayout layout;
    SetText(layout.short_name, "Graph");
    layout.tile_width = 785;
    layout.tile_height = 382;
    return layout;
}();
constexpr PageLayout kAmprixPage = Page("Amprix", 192, 382, kAmprixElements);
constexpr PageLayout kLevraPage = Page("Levra", 192, 382, kLevraElements);

// Each column reads the register of the value its page shows, with the same type, offset and
// divisor; the format is the page's number without the unit, so that the history page can
// parse and plot it.
constexpr std::array kHomeColumns{
    Col(0, "P_IN", R(20, 1), "%d", 1, kWatts),
    Col(1, "P_OUT", R(28, 1), "%d", 1, kWatts),
    Col(2, "SOC", R(36, 1), "%.1f", 10, kChargePercent),
    Col(3, "VOLTAGE", R(42, 1), "%.2f", 1000, kVolts),
    Col(4, "CURRENT", R(44, 1), "%.1f", 1000, kAmps),
    Col(5, "I_IN", R(46, 1), "%.1f", 1000, kAmps),
    Col(6, "I_OUT", R(48, 1), "%.1f", 1000, kAmps),
    Col(7, "COUNT", R(50, 2), "%.1f", 1000, kAmpHours),
};

constexpr std::array kQuillColumns{
    Col(0, "INPUT1", R(1020, 2), "%.2f", 1000, kVolts),
    Col(1, "INPUT2", R(1022, 2), "%.2f", 1000, kVolts),
    Col(2, "INPUT3", R(1024, 2), "%.2f", 1000, kVolts),
    Col(3, "INPUT4", R(1026, 2), "%.2f", 1000, kVolts),
    Col(4, "UMIN", R(1032, 1), "%.2f", 1000, kVolts),
    Col(5, "UMAX", R(1034, 1), "%.2f", 1000, kVolts),
    Col(6, "UDELTA", R(1036, 1), "%.2f", 1000, kVolts),
    Col(7, "BAL", R(1038, 1), "%.2f", 1000, kVolts),
};

constexpr std::array kAmprixColumns{Col(0, "CURRENT", R(20, 2), "%.1f", 1000, kAmps)};
constexpr std::array kLevraColumns{Col(0, "LEVEL", R(20, 2), "%d", 1, kLevelPercent)};

constexpr LogLayout kHomeLog = Log("Home", kHomeColumns);
constexpr LogLayout kQuillLog = Log("Quill", kQuillColumns);
constexpr LogLayout kGraphLog = [] {
    LogLayout layout;
    SetText(layout.long_name, "Graph");
    return layout;
}();
constexpr LogLayout kAmprixLog = Log("Amprix", kAmprixColumns);
constexpr LogLayout kLevraLog = Log("Levra", kLevraColumns);

} // namespace

extern constexpr DeviceType DEVTYPE_Home{DEV_DISPLAY_TYPE_ID, 59, 59, &kHomePage, &kHomeLog};
extern constexpr DeviceType DEVTYPE_Quill{DEV_DISPLAY_TYPE_ID, 1058, 1058, &kQuillPage, &kQuillLog};
extern constexpr DeviceType DEVTYPE_Graph{DEV_DISPLAY_TYPE_ID, 20, 1000, &kGraphPage, &kGraphLog};
extern constexpr DeviceType DEVTYPE_Amprix{DEV_DISPLAY_TYPE_ID, 34, 34, &kAmprixPage, &kAmprixLog};
extern constexpr DeviceType DEVTYPE_Levra{DEV_DISPLAY_TYPE_ID, 34, 34, &kLevraPage, &kLevraLog};
