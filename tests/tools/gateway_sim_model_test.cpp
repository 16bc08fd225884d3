// The simulator's model in-process: scenario files, the register maps and how they agree,
// writes, alarms, and the parsing of the fault and command line options.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "tools/gateway-sim/sim_device.h"
#include "tools/gateway-sim/sim_faults.h"
#include "tools/gateway-sim/sim_options.h"
#include "tools/gateway-sim/sim_scenario.h"
#include "tools/gateway-sim/sim_world.h"

namespace {

std::string ScenarioPath(const char* name) {
    return std::string(VELTRA_SOURCE_DIR) + "/tools/gateway-sim/scenarios/" + name + ".scn";
}

// Local time at the given hour of one fixed day, as simulated seconds: clouds, loads and levels
// follow the absolute time, so a fixed day gives the same values whenever the test runs.
double DayAt(int hour) {
    struct tm local {};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 5;
    local.tm_mday = 15;
    local.tm_hour = hour;
    local.tm_isdst = -1;
    return static_cast<double>(mktime(&local));
}

// A scenario with its devices bound to their own register maps.
struct Bus {
    SimScenario scenario;
    SimWorld world;
    std::vector<std::vector<uint16_t>> regs;
    std::vector<std::vector<uint8_t>> pins;
    std::vector<SimDevice> devices;

    explicit Bus(const char* text, double time) {
        char error[200] = "";
        EXPECT_EQ(SCN_Parse(text, &scenario, error, sizeof error), 0) << error;
        Bind(time);
    }
    Bus(const SimScenario& s, double time) : scenario(s) { Bind(time); }

    void Bind(double time) {
        WORLD_Init(&world, scenario, time);
        regs.resize(static_cast<size_t>(scenario.count));
        pins.resize(static_cast<size_t>(scenario.count));
        devices.resize(static_cast<size_t>(scenario.count));
        for (size_t i = 0; i < devices.size(); i++) {
            const int size = SIMDEV_MapSize(scenario.devices[i].type_id);
            regs[i].resize(static_cast<size_t>(size));
            pins[i].resize(static_cast<size_t>(size));
            SIMDEV_Init(&devices[i], &scenario.devices[i], static_cast<int>(i), regs[i].data(),
                        pins[i].data(), size);
        }
        Refresh(time);
    }
    void Refresh(double time) {
        WORLD_Advance(&world, scenario, time);
        for (SimDevice& d : devices)
            SIMDEV_Refresh(&d, world, time);
    }
    SimDevice& Unit(int unit) {
        for (SimDevice& d : devices) {
            if (d.config->unit_id == unit) return d;
        }
        ADD_FAILURE() << "no unit " << unit;
        return devices.front();
    }
    uint16_t U16(int unit, int reg) { return Unit(unit).regs[reg]; }
    int16_t S16(int unit, int reg) { return static_cast<int16_t>(U16(unit, reg)); }
    int32_t S32(int unit, int reg) {
        return static_cast<int32_t>(static_cast<uint32_t>(U16(unit, reg)) |
                                    (static_cast<uint32_t>(U16(unit, reg + 1)) << 16));
    }
    int64_t S64(int unit, int reg) {
        uint64_t v = 0;
        for (int i = 3; i >= 0; i--)
            v = (v << 16) | U16(unit, reg + i);
        return static_cast<int64_t>(v);
    }
    float F32(int unit, int reg) {
        const uint32_t bits = static_cast<uint32_t>(S32(unit, reg));
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
};

// --- Scenarios --------------------------------------------------------------------------

TEST(GatewaySimScenario, ParsesDevicesNamesIdsAndOptions) {
    SimScenario s;
    char error[200] = "";
    const char* text = "# a comment line\n"
                       "\n"
                       "1 quill amprix=7,3 levra=1,0,0,1 selector=2 ip=10.0.0.9 "
                       "id=000000010000000200000003\r\n"
                       "  2\tRV75  pv=500   # trailing comment\n"
                       "3 102\n"
                       "4 corvo511 role=solar\n"
                       "5 brantv2 mode=off";
    ASSERT_EQ(SCN_Parse(text, &s, error, sizeof error), 0) << error;
    ASSERT_EQ(s.count, 5);
    const SimDeviceConfig* quill = SCN_FindUnit(s, 1);
    ASSERT_NE(quill, nullptr);
    EXPECT_EQ(quill->type_id, SIM_TYPE_QUILL);
    EXPECT_EQ(quill->amprix_kinds, (std::array<uint8_t, 4>{7, 3, 0, 0}));
    EXPECT_EQ(quill->levra_fitted, (std::array<bool, 4>{true, false, false, true}));
    EXPECT_EQ(quill->selector, 2);
    EXPECT_EQ(quill->ip, (std::array<uint8_t, 4>{10, 0, 0, 9}));
    EXPECT_EQ(quill->identity, (std::array<uint32_t, 3>{1, 2, 3}));
    EXPECT_EQ(SCN_FindUnit(s, 2)->type_id, SIM_TYPE_RV75);
    EXPECT_EQ(SCN_FindUnit(s, 2)->pv_watts, 500);
    EXPECT_EQ(SCN_FindUnit(s, 3)->type_id, SIM_TYPE_CELTON_V2);
    EXPECT_EQ(SCN_FindUnit(s, 4)->role, SimCorvoRole::Solar);
    EXPECT_EQ(SCN_FindUnit(s, 5)->mode, SimSwitchMode::Off);
    EXPECT_EQ(SCN_FindUnit(s, 6), nullptr);
}

TEST(GatewaySimScenario, RejectsBadLinesNamingTheLine) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"0 quill", "line 1: unit id must be 1 to 247"},
        {"1 quill\n248 celton", "line 2: unit id must be 1 to 247"},
        {"-3 celton", "line 1: unit id must be 1 to 247"},
        {"1 celton\n\n1 brant", "line 3: unit id 1 is used twice"},
        {"4 toaster", "line 1: unknown device type \"toaster\""},
        {"4 1027", "line 1: unknown device type \"1027\""},
        {"4", "line 1: unknown device type \"\""},
        {"4 celton mode=on", "line 1: option \"mode=on\": unknown option for this device type"},
        {"4 brant mode=sideways", "line 1: option \"mode=sideways\": bad value"},
        {"1 quill amprix=1,2,3,4,5", "line 1: option \"amprix=1,2,3,4,5\": bad value"},
        {"1 quill ip=10.0.0.256", "line 1: option \"ip=10.0.0.256\": bad value"},
        {"1 quill id=12345", "line 1: option \"id=12345\": bad value"},
        {"1 quill selector=20", "line 1: option \"selector=20\": bad value"},
        {"2 rv100 pv", "line 1: option \"pv\": expected key=value"},
    };
    for (const auto& c : cases) {
        SimScenario s;
        char error[200] = "";
        EXPECT_EQ(SCN_Parse(c.text, &s, error, sizeof error), -1) << c.text;
        EXPECT_STREQ(error, c.message) << c.text;
    }
    // A tiny error buffer is cut, never overrun.
    SimScenario s;
    char small[8];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(SCN_Parse("1 nothing", &s, small, 6), -1);
    EXPECT_STREQ(small, "line ");
    EXPECT_EQ(small[7], 'x');
}

TEST(GatewaySimScenario, ShippedScenariosHoldWhatTheyPromise) {
    SimScenario s;
    char error[300] = "";
    auto count_type = [&s](uint32_t type) {
        int n = 0;
        for (int i = 0; i < s.count; i++)
            n += s.devices[static_cast<size_t>(i)].type_id == type;
        return n;
    };

    ASSERT_EQ(SCN_Load(ScenarioPath("default").c_str(), &s, error, sizeof error), 0) << error;
    EXPECT_EQ(count_type(SIM_TYPE_QUILL), 1);
    const SimDeviceConfig* quill = &s.devices[0];
    int sensors = 0;
    for (uint8_t kind : quill->amprix_kinds)
        sensors += kind != 0;
    EXPECT_EQ(sensors, 2);
    int levels = 0;
    for (bool fitted : quill->levra_fitted)
        levels += fitted;
    EXPECT_EQ(levels, 1);
    EXPECT_EQ(count_type(SIM_TYPE_RV100) + count_type(SIM_TYPE_RV140) + count_type(SIM_TYPE_RV75),
              1);
    EXPECT_EQ(count_type(SIM_TYPE_CELTON), 1);
    EXPECT_EQ(count_type(SIM_TYPE_CELTON_V2), 1);
    EXPECT_EQ(count_type(SIM_TYPE_BRANT), 1);
    EXPECT_EQ(count_type(SIM_TYPE_BRANT_V2), 1);
    EXPECT_EQ(count_type(SIM_TYPE_CORVO_500), 2);
    EXPECT_EQ(s.count, 8);

    ASSERT_EQ(SCN_Load(ScenarioPath("wide").c_str(), &s, error, sizeof error), 0) << error;
    EXPECT_EQ(count_type(SIM_TYPE_CORVO_500), 9);
    EXPECT_EQ(count_type(SIM_TYPE_CELTON), 5);

    ASSERT_EQ(SCN_Load(ScenarioPath("full").c_str(), &s, error, sizeof error), 0) << error;
    for (uint32_t type : {2048u, 1024u, 1025u, 1026u, 100u, 101u, 102u, 103u, 104u, 200u, 201u,
                          500u, 501u, 502u, 510u, 511u, 512u}) {
        EXPECT_EQ(count_type(type), 1) << type;
    }
    EXPECT_EQ(s.count, 17);
    for (int i = 0; i < s.count; i++)
        EXPECT_LE(s.devices[static_cast<size_t>(i)].unit_id, 70);

    EXPECT_EQ(SCN_Load("/nonexistent/x.scn", &s, error, sizeof error), -1);
    EXPECT_NE(std::strstr(error, "cannot open scenario"), nullptr);
}

// --- Register maps ------------------------------------------------------------------------

TEST(GatewaySimDevices, OneBatteryIsSeenAlikeByEveryDevice) {
    SimScenario s;
    char error[300] = "";
    ASSERT_EQ(SCN_Load(ScenarioPath("full").c_str(), &s, error, sizeof error), 0) << error;
    for (int hour : {3, 12, 20}) {
        Bus bus(s, DayAt(hour));
        for (const SimDevice& d : bus.devices)
            EXPECT_EQ(d.regs[0], d.config->type_id);

        const int64_t mv = bus.S32(1, 2042);
        EXPECT_GT(mv, 12500);
        EXPECT_LT(mv, 14400);
        EXPECT_NEAR(bus.U16(5, 7) * 4, mv, 12); // Celton, 4 mV steps
        EXPECT_NEAR(bus.U16(6, 7), mv, 6);      // CeltonV2
        EXPECT_NEAR(bus.S16(7, 7), mv, 6);      // CeltonActive
        EXPECT_NEAR(bus.S16(8, 100), mv, 6);    // Celton 103
        EXPECT_NEAR(bus.S32(12, 108), mv, 6);   // Corvo
        EXPECT_NEAR(bus.S32(1, 1020), mv, 1);   // the display unit's input 1
        EXPECT_NEAR(bus.F32(2, 546) * 1000, mv, 1);

        // State of charge in per mille on the display unit, x 1000 percent on the meters.
        EXPECT_NEAR(bus.S32(1, 2036) * 100, bus.S32(12, 128), 100);
        // Battery current = input - output, and the battery shunt sees the same.
        EXPECT_NEAR(bus.S32(1, 2044), bus.S32(1, 2046) - bus.S32(1, 2048), 2);
        EXPECT_NEAR(bus.S32(12, 114), bus.S32(1, 2044), 1);
        EXPECT_NEAR(bus.S32(13, 114), -bus.S32(1, 2048), 1); // load shunt
        EXPECT_NEAR(bus.S32(14, 114), bus.S32(1, 2046), 1);  // solar shunt
        // The solar input is the sum of the three controllers and current sensor 1.
        const double chargers = bus.F32(2, 552) + bus.F32(3, 552) + bus.F32(4, 552);
        EXPECT_NEAR(chargers * 1000, bus.S32(1, 2046), 3);
        EXPECT_EQ(bus.S32(1, 4020), bus.S32(1, 2046));
        // Counters: the display unit's mAh count x 3600 in 52-55, the shunt's mAs count.
        EXPECT_EQ(bus.S64(1, 2052), static_cast<int64_t>(bus.S32(1, 2050)) * 3600);
        EXPECT_NEAR(static_cast<double>(bus.S64(12, 124)), bus.S32(1, 2050) * 3600.0, 3600);
        // Input power: the controllers' charge power, on a scale of all their panels.
        EXPECT_NEAR(bus.S32(1, 2020), bus.U16(2, 532) + bus.U16(3, 532) + bus.U16(4, 532), 3);
        EXPECT_EQ(bus.S32(1, 2022), 1400); // 400 + 400 + 560 W, rounded up
        EXPECT_LE(bus.S32(1, 2020), bus.S32(1, 2022));
        if (hour == 3) {
            EXPECT_EQ(bus.S32(1, 2020), 0) << "no sun at night";
        }
        if (hour == 12) {
            EXPECT_GT(bus.U16(2, 532), 50) << "charge power at noon";
        }
    }
}

TEST(GatewaySimDevices, DisplayUnitMapHasIdentityClockAddressAndThresholds) {
    const double at = DayAt(9) + 17 * 60 + 42;
    Bus bus("7 quill amprix=7,3,0,10 levra=0,1 selector=3 ip=192.168.5.44 "
            "id=0A0B0C0D1112131421222324",
            at);
    struct tm local {};
    const time_t t = static_cast<time_t>(at);
    localtime_r(&t, &local);
    EXPECT_EQ(bus.U16(7, 144) & 0xFF, 9);
    EXPECT_EQ(bus.U16(7, 144) >> 8, 17);
    EXPECT_EQ(bus.U16(7, 145) & 0xFF, 42);
    EXPECT_EQ(bus.U16(7, 154) >> 8, local.tm_mon + 1);
    EXPECT_EQ(bus.U16(7, 155) & 0xFF, local.tm_mday);
    EXPECT_EQ(bus.U16(7, 155) >> 8, local.tm_year % 100);
    // Identity, low word first: the names file is "conf0A0B0C0D1112131421222324.ini".
    EXPECT_EQ(bus.U16(7, 2), 0x0C0D);
    EXPECT_EQ(bus.U16(7, 3), 0x0A0B);
    EXPECT_EQ(bus.U16(7, 7), 0x2122);
    EXPECT_EQ(bus.U16(7, 9), 1);
    EXPECT_EQ(bus.U16(7, 16), 7);
    EXPECT_EQ(bus.U16(7, 25), 3);
    EXPECT_EQ(bus.U16(7, 159), 192 | (168 << 8));
    EXPECT_EQ(bus.U16(7, 160), 5 | (44 << 8));
    EXPECT_EQ(bus.S32(7, 522 + 26 * 3), SIM_LOW_THRESHOLD_MV);
    EXPECT_EQ(bus.S32(7, 524 + 26 * 3), SIM_HIGH_THRESHOLD_MV);
    // Every block repeats the header with the unit id; the polled member blocks are filled.
    for (int block : {2000, 3000, 4000, 7000, 8000, 11000}) {
        EXPECT_EQ(bus.U16(7, block), 2048) << block;
        EXPECT_EQ(bus.U16(7, block + 16), 7) << block;
    }
    EXPECT_EQ(bus.U16(7, 64) & 0xFF, 7);
    EXPECT_EQ(bus.U16(7, 94) & 0xFF, 10);
    EXPECT_EQ(bus.S32(7, 4024), 100000); // sensor 1 kind 7: 100 A full scale
    EXPECT_EQ(bus.S32(7, 4032), 95000);
    EXPECT_EQ(bus.S32(7, 5024), 200000); // kind 3
    EXPECT_EQ(bus.S32(7, 7024), 600000); // kind 10
    EXPECT_EQ(bus.S32(7, 6024), 0);      // none fitted
    EXPECT_EQ(bus.S32(7, 6020), 0);
    EXPECT_EQ(bus.S32(7, 8024), 0); // level sensor 1 not fitted
    EXPECT_EQ(bus.S32(7, 9024), 100);
    EXPECT_GE(bus.S32(7, 9020), 0);
    EXPECT_LE(bus.S32(7, 9020), 100);
}

TEST(GatewaySimDevices, ControllerScaleRegistersMatchWhatTheProgramDerives) {
    Bus bus("2 rv100\n3 rv75\n", DayAt(12));
    EXPECT_EQ(bus.S32(2, 804), 30000);
    EXPECT_EQ(bus.S32(2, 808), 27000);
    EXPECT_EQ(bus.S32(2, 824), 28500);
    EXPECT_EQ(bus.S32(3, 804), 40000);
    EXPECT_EQ(bus.S32(3, 816), 36000);
    EXPECT_EQ(bus.S32(3, 820), 38000);
    const int32_t p = static_cast<int32_t>(bus.F32(3, 546) * 1000.0f);
    EXPECT_EQ(bus.U16(3, 806), static_cast<uint16_t>(static_cast<uint32_t>(p * 40) / 1000u));
    EXPECT_EQ(bus.S32(2, 800), static_cast<int32_t>(bus.F32(2, 552) * 1000.0f));
    EXPECT_EQ(bus.S32(2, 802), static_cast<int32_t>(bus.F32(2, 554) * 1000.0f));
    EXPECT_EQ(bus.U16(2, 528) >> 8, 1) << "load output on";
}

TEST(GatewaySimDevices, BatteryChargesByDayAndTemperaturesDrift) {
    Bus bus("1 quill\n2 rv100 pv=600\n3 celtonv2\n", DayAt(10));
    const int32_t soc_morning = bus.S32(1, 2036);
    const int16_t temp_morning = bus.S16(3, 8);
    bus.Refresh(DayAt(14));
    const int32_t soc_afternoon = bus.S32(1, 2036);
    EXPECT_GT(soc_afternoon, soc_morning);
    EXPECT_NE(bus.S16(3, 8), temp_morning);
    EXPECT_GT(bus.S16(3, 8), -100);
    EXPECT_LT(bus.S16(3, 8), 450);
    // The night drains it again, and nothing moves backwards in time.
    bus.Refresh(DayAt(23) + 3 * 3600);
    EXPECT_LT(bus.S32(1, 2036), soc_afternoon);
    const int32_t soc_night = bus.S32(1, 2036);
    bus.Refresh(DayAt(12));
    EXPECT_EQ(bus.S32(1, 2036), soc_night);
    // A week at once is stepped through without stalling and stays in range.
    bus.Refresh(DayAt(12) + 7 * 86400);
    EXPECT_GE(bus.S32(1, 2036), 20);
    EXPECT_LE(bus.S32(1, 2036), 1000);
}

TEST(GatewaySimDevices, SwitchWritesChangeStateRegistersAndOtherWritesStick) {
    const double at = DayAt(12);
    Bus bus("5 brant mode=auto\n6 brantv2 mode=auto\n7 corvo500\n", at);
    SimDevice& brant = bus.Unit(5);
    EXPECT_EQ(brant.regs[18], 2);
    EXPECT_EQ(brant.regs[31], 1);

    const uint16_t bad = 3;
    EXPECT_EQ(SIMDEV_CheckWrite(brant, 18, &bad, 1), 3);
    const uint16_t off[2] = {0, 1};
    ASSERT_EQ(SIMDEV_CheckWrite(brant, 18, off, 1), 0);
    brant.regs[18] = 0; // what libmodbus writes
    SIMDEV_AfterWrite(&brant, 18, 1);
    bus.Refresh(at + 1);
    EXPECT_EQ(brant.regs[18], 0);
    EXPECT_EQ(brant.regs[31], 0);
    EXPECT_EQ(brant.regs[37], 0) << "no current through an open switch";
    brant.regs[18] = 1;
    SIMDEV_AfterWrite(&brant, 18, 1);
    bus.Refresh(at + 2);
    EXPECT_EQ(brant.regs[18], 1);
    EXPECT_EQ(brant.regs[31], 1);

    SimDevice& v2 = bus.Unit(6);
    EXPECT_EQ(v2.regs[16], 30);
    EXPECT_EQ(v2.regs[22], 2);
    EXPECT_EQ(v2.regs[148], 1) << "the ON button is enabled";
    const uint16_t odd[3] = {30, 0, 25};
    EXPECT_EQ(SIMDEV_CheckWrite(v2, 14, odd, 3), 3) << "25 in register 16";
    for (uint16_t code : {20, 10, 30}) {
        EXPECT_EQ(SIMDEV_CheckWrite(v2, 16, &code, 1), 0);
        v2.regs[16] = code;
        SIMDEV_AfterWrite(&v2, 16, 1);
        bus.Refresh(at + 3);
        EXPECT_EQ(v2.regs[16], code);
        EXPECT_EQ(v2.regs[22], code == 20 ? 0 : code == 10 ? 1 : 2);
        EXPECT_EQ(v2.regs[117], code == 20 ? 0 : 1);
    }

    // Any other written register keeps its value while the rest moves on.
    SimDevice& meter = bus.Unit(7);
    meter.regs[108] = 4321;
    SIMDEV_AfterWrite(&meter, 108, 1);
    SIMDEV_AfterWrite(&meter, 5000, 3); // beyond the map: ignored
    bus.Refresh(at + 4 * 3600);
    EXPECT_EQ(meter.regs[108], 4321);
    EXPECT_EQ(meter.regs[0], SIM_TYPE_CORVO_500);
}

TEST(GatewaySimDevices, AlarmsDriveTheRegistersTheEventScanReads) {
    SimScenario s;
    char error[300] = "";
    ASSERT_EQ(SCN_Load(ScenarioPath("full").c_str(), &s, error, sizeof error), 0) << error;
    const double at = DayAt(12);
    Bus bus(s, at);
    auto drive = [&bus, at](int unit, uint32_t alarms) {
        bus.Unit(unit).alarms = alarms;
        bus.Refresh(at);
    };
    // Quiet first: nothing the event scan would report.
    EXPECT_EQ(bus.U16(5, 9) | bus.U16(5, 14) | bus.U16(5, 15), 0);
    EXPECT_EQ(bus.U16(2, 519) & 0xF, 0);
    EXPECT_EQ(bus.U16(10, 18), 1);
    EXPECT_EQ(bus.U16(11, 140) | bus.U16(11, 100) | bus.U16(11, 101), 0);

    // Over voltage: each protector's voltage reaches the display unit's high threshold.
    for (int unit : {5, 6, 7, 8, 9})
        drive(unit, SIM_ALARM_OV);
    EXPECT_GE(bus.U16(5, 7) * 4u, static_cast<unsigned>(SIM_HIGH_THRESHOLD_MV));
    EXPECT_EQ(bus.U16(5, 15), 1);
    EXPECT_GE(bus.U16(6, 7), SIM_HIGH_THRESHOLD_MV);
    EXPECT_GE(bus.U16(7, 7), SIM_HIGH_THRESHOLD_MV);
    EXPECT_GE(bus.U16(8, 100), SIM_HIGH_THRESHOLD_MV);
    EXPECT_EQ(bus.U16(9, 111), 1);
    // Under voltage: at or below the low threshold.
    for (int unit : {5, 6, 7, 8, 9})
        drive(unit, SIM_ALARM_UV);
    EXPECT_LE(bus.U16(5, 7) * 4u, static_cast<unsigned>(SIM_LOW_THRESHOLD_MV));
    EXPECT_LE(bus.U16(6, 7), SIM_LOW_THRESHOLD_MV);
    EXPECT_EQ(bus.U16(9, 110), 1);
    // Temperature, per family.
    for (int unit : {2, 5, 6, 7, 8, 9, 10, 11})
        drive(unit, SIM_ALARM_TEMP);
    EXPECT_EQ(bus.U16(2, 519) & 0xF, 1);
    EXPECT_EQ(bus.U16(5, 9), 1);
    EXPECT_EQ(bus.U16(6, 9), 1);
    EXPECT_EQ(bus.U16(7, 13), 7);
    EXPECT_EQ(bus.U16(8, 103), 1);
    EXPECT_NE(bus.U16(8, 127), 0);
    EXPECT_EQ(bus.U16(9, 103), 1);
    EXPECT_EQ(bus.U16(10, 18), 3);
    EXPECT_EQ(bus.U16(11, 140), 1);
    EXPECT_EQ(bus.U16(11, 123) & 1, 1);
    // And gone again: the switch is back in the mode it was set to.
    for (int unit : {2, 5, 6, 7, 8, 9, 10, 11})
        drive(unit, 0);
    EXPECT_EQ(bus.U16(10, 18), 1);
    EXPECT_EQ(bus.U16(11, 140), 0);
    EXPECT_EQ(bus.U16(5, 9) | bus.U16(5, 14) | bus.U16(5, 15), 0);
}

TEST(GatewaySimDevices, CompensatedLimitsFollowTheProgramsFormula) {
    Bus bus("4 celtonv2\n", DayAt(12));
    const int d = (bus.S16(4, 44) - 600) / 10 - (bus.S16(4, 8) - 600) / 10;
    EXPECT_EQ(bus.U16(4, 100), static_cast<uint16_t>(bus.U16(4, 32) + bus.S16(4, 45) * d));
    EXPECT_EQ(bus.U16(4, 101), static_cast<uint16_t>(bus.U16(4, 33) + bus.S16(4, 46) * d));
    EXPECT_EQ(bus.U16(4, 105), static_cast<uint16_t>(bus.U16(4, 31) + bus.S16(4, 48) * d));
    EXPECT_LT(bus.U16(4, 101), bus.U16(4, 7));
    EXPECT_GT(bus.U16(4, 100), bus.U16(4, 7));
}

// --- Faults and options -----------------------------------------------------------------

TEST(GatewaySimFaults, ParsesValuesUnitListsAndEveryNth) {
    SimFaults f;
    char error[200] = "";
    EXPECT_EQ(FAULT_ParseOption("--delay", "250", &f, error, sizeof error), 0);
    EXPECT_EQ(f.delay.value, 250);
    EXPECT_EQ(f.delay.every, 1);
    EXPECT_EQ(FAULT_ParseOption("--split", "3/4", &f, error, sizeof error), 0);
    EXPECT_EQ(f.split.value, 3);
    EXPECT_EQ(f.split.every, 4);
    EXPECT_EQ(FAULT_ParseOption("--silent", "3,5-7/2", &f, error, sizeof error), 0);
    EXPECT_TRUE(f.silent_units.test(3) && f.silent_units.test(5) && f.silent_units.test(7));
    EXPECT_FALSE(f.silent_units.test(4) || f.silent_units.test(8));
    EXPECT_EQ(f.silent_every, 2);
    EXPECT_EQ(FAULT_ParseOption("--exception", "9:6/3", &f, error, sizeof error), 0);
    EXPECT_TRUE(f.exception_units.test(9));
    EXPECT_EQ(f.exception_code, 6);
    EXPECT_EQ(f.exception_every, 3);
    EXPECT_EQ(FAULT_ParseOption("--wrong-tid", "5", &f, error, sizeof error), 0);
    EXPECT_EQ(f.wrong_tid_every, 5);
    EXPECT_EQ(FAULT_ParseOption("--alarm", "3:ov+temp:500", &f, error, sizeof error), 0);
    EXPECT_EQ(FAULT_ParseOption("--alarm", "4:uv", &f, error, sizeof error), 0);
    ASSERT_EQ(f.schedule_count, 2);
    EXPECT_EQ(f.schedules[0].alarms, SIM_ALARM_OV | SIM_ALARM_TEMP);
    EXPECT_EQ(f.schedules[1].period_ms, 10000);
    EXPECT_EQ(FAULT_ParseOption("--fault-window", "200-400", &f, error, sizeof error), 0);
    EXPECT_EQ(f.window_first, 200);
    EXPECT_EQ(f.window_last, 400);
    EXPECT_EQ(FAULT_ParseOption("--listen", "x", &f, error, sizeof error), 1);

    for (const auto& [name, value] :
         std::vector<std::pair<const char*, const char*>>{{"--delay", "-5"},
                                                          {"--delay", "5/0"},
                                                          {"--split", "0"},
                                                          {"--silent", "7-3"},
                                                          {"--silent", "300"},
                                                          {"--junk", "12/"},
                                                          {"--alarm", "3:hot"},
                                                          {"--alarm", "3"},
                                                          {"--exception", "2:0"},
                                                          {"--exception", "2:12"},
                                                          {"--drop-after", "0"},
                                                          {"--twice", ""},
                                                          {"--fault-window", "400-200"},
                                                          {"--fault-window", "0-5"},
                                                          {"--fault-window", "7"},
                                                          {"--delay", nullptr}}) {
        EXPECT_EQ(FAULT_ParseOption(name, value, &f, error, sizeof error), -1)
            << name << " " << (value ? value : "(none)");
    }
    SimFaults many;
    for (int i = 0; i < SIM_MAX_ALARM_SCHEDULES; i++) {
        EXPECT_EQ(FAULT_ParseOption("--alarm", "1:ov", &many, error, sizeof error), 0);
    }
    EXPECT_EQ(FAULT_ParseOption("--alarm", "1:ov", &many, error, sizeof error), -1);
}

TEST(GatewaySimFaults, StrikesSchedulesAndHeaderChanges) {
    EXPECT_FALSE(FAULT_Strikes(0, 4));
    EXPECT_TRUE(FAULT_Strikes(1, 1));
    EXPECT_FALSE(FAULT_Strikes(3, 2));
    EXPECT_TRUE(FAULT_Strikes(3, 6));

    SimFaults f;
    f.schedules[0] = {4, SIM_ALARM_UV, 100};
    f.schedule_count = 1;
    EXPECT_EQ(FAULT_AlarmsAt(f, 4, 50), 0u);
    EXPECT_EQ(FAULT_AlarmsAt(f, 4, 150), SIM_ALARM_UV);
    EXPECT_EQ(FAULT_AlarmsAt(f, 4, 250), 0u);
    EXPECT_EQ(FAULT_AlarmsAt(f, 5, 150), 0u);

    const uint8_t good[11] = {0xFF, 0xFF, 0, 0, 0, 5, 3, 3, 2, 0x08, 0x00};
    auto mangled = [&good](SimFaults faults) {
        std::array<uint8_t, 11> frame;
        std::memcpy(frame.data(), good, sizeof good);
        FAULT_MangleHeader(faults, 1, frame.data(), frame.size());
        return frame;
    };
    SimFaults tid;
    tid.wrong_tid_every = 1;
    EXPECT_EQ(mangled(tid)[0], 0); // 0xFFFF + 1 wraps to 0
    EXPECT_EQ(mangled(tid)[1], 0);
    SimFaults protocol;
    protocol.bad_protocol_every = 1;
    EXPECT_EQ(mangled(protocol)[3], 1);
    SimFaults unit;
    unit.wrong_unit_every = 1;
    EXPECT_EQ(mangled(unit)[6], 4);
    SimFaults zero;
    zero.length_zero_every = 1;
    EXPECT_EQ(mangled(zero)[5], 0);
    SimFaults longer;
    longer.length_long_every = 1;
    EXPECT_EQ(mangled(longer)[5], 6);
    EXPECT_EQ(mangled(longer)[9], 0x08) << "the data stays";
    EXPECT_FALSE(FAULT_ChangesBytes(SimFaults{}, 1));
    EXPECT_TRUE(FAULT_ChangesBytes(longer, 1));

    // Without a window every request is in it; with one, its two ends are inside.
    EXPECT_TRUE(FAULT_InWindow(SimFaults{}, 1));
    SimFaults window;
    window.window_first = 10;
    window.window_last = 20;
    EXPECT_FALSE(FAULT_InWindow(window, 9));
    EXPECT_TRUE(FAULT_InWindow(window, 10));
    EXPECT_TRUE(FAULT_InWindow(window, 20));
    EXPECT_FALSE(FAULT_InWindow(window, 21));
}

TEST(GatewaySimOptions, ParsesTheCommandLine) {
    char error[200] = "";
    {
        const char* argv[] = {
            "gateway-sim", "--port",        "0",  "--listen=0.0.0.0", "--scenario",
            "wide",        "--clock-speed", "60", "--drop-after",     "5",
            "--split=1/2"};
        SimOptions o;
        ASSERT_EQ(SIMOPT_Parse(11, const_cast<char**>(argv), &o, error, sizeof error), 0) << error;
        EXPECT_EQ(o.port, 0);
        EXPECT_STREQ(o.listen, "0.0.0.0");
        EXPECT_STREQ(o.scenario, "wide");
        EXPECT_DOUBLE_EQ(o.clock_speed, 60);
        EXPECT_EQ(o.faults.drop_after, 5);
        EXPECT_EQ(o.faults.split.every, 2);
        EXPECT_FALSE(o.help);
    }
    const std::vector<std::vector<const char*>> bad = {
        {"x", "--port", "65536"},
        {"x", "--port", "12a"},
        {"x", "--listen", "localhost"},
        {"x", "--clock-speed", "0"},
        {"x", "--clock-speed", "nan"},
        {"x", "--frobnicate"},
        {"x", "--port"},
        {"x", "--delay", "x"},
        {"x", "--scenario", ""},
        {"x", "--start", "25:00"},
        {"x", "--start"},
    };
    for (const auto& args : bad) {
        SimOptions o;
        EXPECT_EQ(SIMOPT_Parse(static_cast<int>(args.size()), const_cast<char**>(args.data()), &o,
                               error, sizeof error),
                  -1)
            << args[1];
        EXPECT_NE(error[0], '\0');
    }
    SimOptions o;
    const char* help[] = {"x", "--help"};
    EXPECT_EQ(SIMOPT_Parse(2, const_cast<char**>(help), &o, error, sizeof error), 0);
    EXPECT_TRUE(o.help);

    char path[512];
    EXPECT_EQ(SIMOPT_FindScenario("full", "/nowhere/gateway-sim", path, sizeof path), 0);
    EXPECT_NE(std::strstr(path, "full.scn"), nullptr);
    EXPECT_EQ(SIMOPT_FindScenario(ScenarioPath("wide").c_str(), nullptr, path, sizeof path), 0);
    EXPECT_EQ(SIMOPT_FindScenario("no-such-scenario", nullptr, path, sizeof path), -1);
    EXPECT_EQ(SIMOPT_FindScenario("../etc/full", nullptr, path, sizeof path), -1);
}

// The simulated day starts where --start puts it, whatever the host's hour: with a date at
// that very moment, without one at that time of the host's day.
TEST(GatewaySimOptions, StartTimeIsFixedWhateverTheHostsHour) {
    SimStart start;
    for (const char* bad : {"8:00", "24:00", "12:60", "12:00:60", "12:00x", "", "2026-06-15",
                            "2026-06-15T", "2026-02-29T08:00", "2026-13-01T00:00",
                            "1999-01-01T00:00", "2026-06-15x08:00", "2026-6-15T08:00"}) {
        EXPECT_FALSE(SIMOPT_ParseStart(bad, &start)) << bad;
    }
    EXPECT_FALSE(start.set) << "a bad value leaves the start as it was";

    const double three = DayAt(3) + 0.25, fifteen = DayAt(15) + 0.75;
    ASSERT_TRUE(SIMOPT_ParseStart("08:30", &start));
    EXPECT_FALSE(start.has_date);
    EXPECT_EQ(SIMOPT_StartTime(start, three), DayAt(8) + 30 * 60);
    EXPECT_EQ(SIMOPT_StartTime(start, fifteen), DayAt(8) + 30 * 60);

    ASSERT_TRUE(SIMOPT_ParseStart("2028-02-29 23:59:58", &start));
    struct tm local {};
    local.tm_year = 128, local.tm_mon = 1, local.tm_mday = 29;
    local.tm_hour = 23, local.tm_min = 59, local.tm_sec = 58, local.tm_isdst = -1;
    const double leap_day = static_cast<double>(mktime(&local));
    EXPECT_EQ(SIMOPT_StartTime(start, three), leap_day);
    EXPECT_EQ(SIMOPT_StartTime(start, fifteen + 40 * 86400), leap_day);

    SimOptions options;
    const char* argv[] = {"gateway-sim", "--start=12:05:09"};
    char error[200] = "";
    ASSERT_EQ(SIMOPT_Parse(2, const_cast<char**>(argv), &options, error, sizeof error), 0) << error;
    EXPECT_EQ(SIMOPT_StartTime(options.start, three), DayAt(12) + 5 * 60 + 9);
    EXPECT_EQ(SIMOPT_StartTime(SimOptions{}.start, fifteen), fifteen) << "the host's time";
}

} // namespace
