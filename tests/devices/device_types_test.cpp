#include "devices/device_types.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <string_view>

namespace {

struct Expected {
    uint32_t type_id;
    const char* label;
    const char* long_name;
    uint16_t poll_count, window_size;
    int32_t tile_width, tile_height, elements, columns;
};

constexpr Expected kTable[DEV_TYPE_COUNT] = {
    {2048, "Home", "Home", 59, 59, 785, 382, 14, 8},
    {2048, "Quill", "Quill", 1058, 1058, 0, 0, 15, 8},
    {2048, "Graph", "Graph", 20, 1000, 785, 382, 0, 0},
    {2048, "Amprix", "Amprix", 34, 34, 192, 382, 1, 1},
    {2048, "Levra", "Levra", 34, 34, 192, 382, 1, 1},
    {1024, "RV100/30", "RV100/30", 828, 828, 230, 382, 8, 8},
    {1025, "RV140/30", "RV140/30", 828, 828, 230, 382, 8, 8},
    {1026, "RV75/40", "RV75/40", 828, 828, 230, 382, 8, 8},
    {100, "Celton", "Celton", 109, 109, 90, 382, 5, 5},
    {102, "Celton", "CeltonV2", 109, 109, 90, 382, 5, 5},
    {101, "Celton", "CeltonActive", 109, 109, 90, 382, 6, 5},
    {103, "Celton", "CeltonActive", 200, 200, 100, 382, 6, 5},
    {104, "Celton", "CeltonActive", 200, 200, 100, 382, 5, 5},
    {200, "Brant", "Brantel", 38, 102, 190, 382, 13, 6},
    {201, "BrantV2", "BrantelV2", 150, 150, 240, 382, 16, 7},
    {502, "Corvo", "Corvo", 136, 300, 220, 382, 7, 4},
    {501, "Corvo", "Corvo", 136, 300, 220, 382, 7, 4},
    {500, "Corvo", "Corvo", 136, 300, 220, 382, 7, 4},
    {510, "Corvo", "Corvo", 200, 300, 220, 382, 7, 4},
    {511, "Corvo", "Corvo", 200, 300, 220, 382, 7, 4},
    {512, "Corvo", "Corvo", 200, 300, 220, 382, 7, 4},
};

bool SupportedType(int32_t type) {
    return (type >= 1 && type <= 8) || type == 12 || type == 13;
}

// Registers a value of this type occupies.
int32_t Width(int32_t type) {
    if (type == 13) return 4;
    if (type == 1 || type == 2 || type == 12) return 2;
    return 1;
}

bool Terminated(const char* text, std::size_t size) {
    return std::memchr(text, '\0', size);
}

// Conversions in a printf format, "%%" not counted; `conversion` gets the last one's letter.
int Conversions(std::string_view format, char* conversion) {
    int count = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (i + 1 < format.size() && format[i + 1] == '%') {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < format.size() && std::strchr("-+ #0123456789.l", format[j]))
            ++j;
        if (j < format.size()) *conversion = format[j];
        ++count;
        i = j;
    }
    return count;
}

TEST(DeviceTypeTable, HoldsTheTwentyOneTypesInOrder) {
    std::set<const DeviceType*> records;
    std::set<const PageLayout*> layouts;
    std::set<const LogLayout*> logs;
    for (int i = 0; i < DEV_TYPE_COUNT; ++i) {
        SCOPED_TRACE(i);
        const DeviceType* type = DeviceTypeTable[i];
        const Expected& e = kTable[i];
        ASSERT_NE(type, nullptr);
        ASSERT_NE(type->page_layout, nullptr);
        ASSERT_NE(type->log_columns, nullptr);
        EXPECT_EQ(type->type_id, e.type_id);
        EXPECT_EQ(type->poll_count, e.poll_count);
        EXPECT_EQ(type->window_size, e.window_size);
        EXPECT_LE(type->poll_count, type->window_size);
        EXPECT_STREQ(type->page_layout->short_name, e.label);
        EXPECT_STREQ(type->log_columns->long_name, e.long_name);
        EXPECT_EQ(type->page_layout->tile_width, e.tile_width);
        EXPECT_EQ(type->page_layout->tile_height, e.tile_height);
        EXPECT_EQ(type->page_layout->element_count, e.elements);
        EXPECT_EQ(type->log_columns->column_count, e.columns);
        EXPECT_EQ(type->page_layout->elements == nullptr, e.elements == 0);
        EXPECT_EQ(type->log_columns->columns == nullptr, e.columns == 0);
        records.insert(type);
        layouts.insert(type->page_layout);
        logs.insert(type->log_columns);
    }
    // Pages and the log tell types apart by their records, so none may be shared.
    EXPECT_EQ(records.size(), 21u);
    EXPECT_EQ(layouts.size(), 21u);
    EXPECT_EQ(logs.size(), 21u);
}

TEST(DeviceTypeTable, SearchFindsOnlyEntriesFiveToTwenty) {
    EXPECT_EQ(DEV_FindSearchType(1024), DeviceTypeTable[DEV_TYPE_RV100_30]);
    EXPECT_EQ(DEV_FindSearchType(100), DeviceTypeTable[DEV_TYPE_CELTON]);
    EXPECT_EQ(DEV_FindSearchType(102), DeviceTypeTable[DEV_TYPE_CELTON_V2]);
    EXPECT_EQ(DEV_FindSearchType(512), DeviceTypeTable[DEV_TYPE_CORVO_512]);
    EXPECT_EQ(DEV_FindSearchType(DEV_DISPLAY_TYPE_ID), nullptr);
    EXPECT_EQ(DEV_FindSearchType(0), nullptr);
    EXPECT_EQ(DEV_FindSearchType(105), nullptr);
}

// Every register an element reads lies inside its type's window with a supported type, every
// divisor can be divided by, and the fields hold what their kind needs.
TEST(PageElements, EveryElementIsConsistentWithItsTypeAndKind) {
    const std::set<int32_t> kinds = {0, 1, 2, 3, 5, 7, 8, 9, 10, 11, 13, 14, 15, 16};
    for (int t = 0; t < DEV_TYPE_COUNT; ++t) {
        const DeviceType* type = DeviceTypeTable[t];
        const PageLayout* layout = type->page_layout;
        for (int32_t n = 0; n < layout->element_count; ++n) {
            const PageElement& e = layout->elements[n];
            SCOPED_TRACE(std::string(layout->short_name) + " #" + std::to_string(n));
            EXPECT_EQ(e.number, n);
            EXPECT_TRUE(kinds.count(e.kind)) << e.kind;
            EXPECT_TRUE(Terminated(e.label, sizeof e.label));
            EXPECT_TRUE(Terminated(e.format, sizeof e.format));
            EXPECT_NE(e.label[0], '\0');
            EXPECT_EQ(e.hidden, 0);
            EXPECT_GE(e.divisor, 1);

            auto check_source = [&](int32_t reg, int32_t reg_type, const char* what) {
                if (reg <= 0) return;
                EXPECT_TRUE(SupportedType(reg_type)) << what << " type " << reg_type;
                EXPECT_LE(reg + Width(reg_type), type->window_size) << what << " " << reg;
            };
            if (e.kind == PE_KIND_SECTION) {
                EXPECT_EQ(e.value_register, 0);
            } else {
                EXPECT_GT(e.value_register, 0);
                check_source(e.value_register, e.value_type, "value");
            }
            check_source(e.second_register, e.value_type, "second");
            check_source(e.low_register, e.low_type, "low");
            check_source(e.high_register, e.high_type, "high");
            for (int i = 0; i < 4; ++i)
                check_source(e.limit_registers[i], e.limit_types[i], "limit");

            // Constant limits keep lower alarm < lower warning < upper warning < upper alarm;
            // -1 marks a limit that is not set.
            auto constant = [&](int i) {
                return e.limit_registers[i] <= 0 && e.limit_constants[i] != -1;
            };
            const int order[4] = {0, 2, 3, 1};
            for (int a = 0; a < 4; ++a)
                for (int b = a + 1; b < 4; ++b)
                    if (constant(order[a]) && constant(order[b])) {
                        EXPECT_LT(e.limit_constants[order[a]], e.limit_constants[order[b]]);
                    }
            if (e.low_register <= 0 && e.high_register <= 0 && e.kind != PE_KIND_LED &&
                e.kind != PE_KIND_BUTTON && e.kind != PE_KIND_TEXT && e.kind != PE_KIND_SECTION &&
                e.kind != PE_KIND_SWITCH) {
                EXPECT_LT(e.low_constant, e.high_constant);
            }

            if (e.kind == PE_KIND_LED) {
                ASSERT_NE(e.led_table, nullptr);
                EXPECT_GE(e.led_table->count, 2);
                EXPECT_LE(e.led_table->count, LED_TABLE_SIZE);
                std::set<int32_t> values;
                for (int32_t i = 0; i < e.led_table->count; ++i) {
                    EXPECT_GE(e.led_table->pairs[i].state, 0);
                    EXPECT_LE(e.led_table->pairs[i].state, 2);
                    values.insert(e.led_table->pairs[i].value);
                }
                EXPECT_EQ(values.size(), static_cast<std::size_t>(e.led_table->count));
                EXPECT_GE(e.colour1, 0);
                EXPECT_GE(e.colour2, 0);
            } else {
                EXPECT_EQ(e.led_table, nullptr);
            }
            if (e.kind == PE_KIND_BUTTON) {
                EXPECT_GE(e.button_value, 0);
                EXPECT_LE(e.button_value, 0xFFFF);
            }
            if (e.kind == PE_KIND_TEXT) {
                char conversion = 0;
                EXPECT_LE(Conversions(e.format, &conversion), 1);
                // A box needs its text colour too.
                if (e.colour1 != -1) {
                    EXPECT_NE(e.colour2, -1);
                }
            }
        }
    }
}

TEST(PageElements, ButtonIdsAreDistinctAndTheLayoutsAgreeWithTheirKinds) {
    std::set<int32_t> ids;
    int buttons = 0;
    for (const DeviceType* type : DeviceTypeTable) {
        const PageLayout* layout = type->page_layout;
        for (int32_t n = 0; n < layout->element_count; ++n) {
            if (layout->elements[n].kind != PE_KIND_BUTTON) continue;
            ++buttons;
            ids.insert(layout->elements[n].button_id);
        }
    }
    EXPECT_EQ(buttons, 6);
    EXPECT_EQ(ids, (std::set<int32_t>{3949, 3950, 3951, 3952, 3953, 3954}));
}

TEST(PageElements, SpotValuesOfTheLists) {
    const PageElement* home = DeviceTypeTable[DEV_TYPE_HOME]->page_layout->elements;
    EXPECT_EQ(home[2].kind, PE_KIND_GAUGE_CHARGE);
    EXPECT_EQ(home[2].second_register, 44);
    EXPECT_STREQ(home[8].format, "Remaining time:");
    EXPECT_EQ(home[12].colour1, static_cast<int32_t>(0xFF000000u));
    EXPECT_EQ(home[12].colour2, 0x0000FF);
    EXPECT_EQ(home[3].colour1, -1); // a text widget

    EXPECT_STREQ(DeviceTypeTable[DEV_TYPE_RV140_30]->page_layout->elements[0].label, "Chg Curent");
    EXPECT_STREQ(DeviceTypeTable[DEV_TYPE_RV100_30]->page_layout->elements[0].label, "Chg Current");
    EXPECT_STREQ(DeviceTypeTable[DEV_TYPE_RV75_40]->page_layout->elements[0].label, "Chg Current");
    EXPECT_STREQ(DeviceTypeTable[DEV_TYPE_RV75_40]->page_layout->elements[5].format, "%.1f\xB0"
                                                                                     "C");
    EXPECT_STREQ(DeviceTypeTable[DEV_TYPE_LEVRA]->page_layout->elements[0].label, "F\xFCllstand");

    const PageElement* brant = DeviceTypeTable[DEV_TYPE_BRANT]->page_layout->elements;
    EXPECT_EQ(brant[1].value_register, 18);
    EXPECT_EQ(brant[1].button_value, 2);
    EXPECT_EQ(brant[1].second_register, -1); // never disabled

    const PageElement* v2 = DeviceTypeTable[DEV_TYPE_BRANT_V2]->page_layout->elements;
    EXPECT_EQ(v2[2].second_register, 148);
    EXPECT_EQ(v2[2].button_value, 10);
    EXPECT_EQ(v2[14].kind, PE_KIND_SWITCH);
    EXPECT_EQ(v2[14].second_register, 108);
    EXPECT_EQ(v2[14].button_value, 5);

    const PageElement* celton = DeviceTypeTable[DEV_TYPE_CELTON]->page_layout->elements;
    EXPECT_EQ(celton[1].offset, -300);
    EXPECT_EQ(celton[1].divisor, 5);
    EXPECT_EQ(celton[4].value_register, 107);
    EXPECT_EQ(celton[4].led_table->pairs[1].state, 2); // value 1 blinks
    EXPECT_EQ(DeviceTypeTable[DEV_TYPE_CELTON_101]->page_layout->elements[1].offset, -600);

    // The six meter types show the same list.
    const PageElement* corvo = DeviceTypeTable[DEV_TYPE_CORVO_502]->page_layout->elements;
    for (int t = DEV_TYPE_CORVO_502; t <= DEV_TYPE_CORVO_512; ++t)
        EXPECT_EQ(DeviceTypeTable[t]->page_layout->elements, corvo);
    EXPECT_EQ(corvo[6].value_type, REG_TYPE_U64);
    EXPECT_EQ(corvo[6].divisor, 3600000);
    EXPECT_STREQ(corvo[1].format, "%.3f\nA");
}

// Every column can be read, written into one CSV field and parsed back by the history page.
TEST(LogColumns, EveryColumnIsReadableAndParseable) {
    for (const DeviceType* type : DeviceTypeTable) {
        const LogLayout* log = type->log_columns;
        std::set<std::string> names;
        for (int32_t i = 0; i < log->column_count; ++i) {
            const LogColumn& c = log->columns[i];
            SCOPED_TRACE(std::string(log->long_name) + " " + c.name);
            EXPECT_EQ(c.index, i);
            EXPECT_TRUE(Terminated(c.name, sizeof c.name));
            EXPECT_TRUE(Terminated(c.format, sizeof c.format));
            EXPECT_TRUE(names.insert(c.name).second);
            for (const char* ch = c.name; *ch; ++ch) {
                EXPECT_TRUE((*ch >= 'A' && *ch <= 'Z') || (*ch >= '0' && *ch <= '9') || *ch == '_');
            }
            EXPECT_EQ(std::strpbrk(c.format, ";\r\n"), nullptr);

            EXPECT_GT(c.reg, 0);
            EXPECT_TRUE(SupportedType(c.register_type));
            EXPECT_LE(c.reg + Width(c.register_type), type->window_size);
            EXPECT_EQ(c.second_register, Width(c.register_type) > 1 ? c.reg + 1 : -1);
            EXPECT_GE(c.divisor, 1);

            // Divisor 1 prints an int, any other a double: the format must match the argument.
            char conversion = 0;
            EXPECT_EQ(Conversions(c.format, &conversion), 1);
            EXPECT_EQ(conversion, c.divisor == 1 ? 'd' : 'f');
        }
    }
}

// Each column shows what its page shows: a value (or second) register of the page with the
// same register type, offset and divisor. Celton 100 and 102 log "BL" from register 12, the
// source of the derived flag (107) their page shows.
TEST(LogColumns, EveryColumnMatchesAValueOfItsPage) {
    for (int t = 0; t < DEV_TYPE_COUNT; ++t) {
        const DeviceType* type = DeviceTypeTable[t];
        const LogLayout* log = type->log_columns;
        const PageLayout* page = type->page_layout;
        for (int32_t i = 0; i < log->column_count; ++i) {
            const LogColumn& c = log->columns[i];
            SCOPED_TRACE(std::string(log->long_name) + " " + c.name);
            if ((t == DEV_TYPE_CELTON || t == DEV_TYPE_CELTON_V2) && c.reg == 12) continue;
            bool found = false;
            for (int32_t n = 0; n < page->element_count && !found; ++n) {
                const PageElement& e = page->elements[n];
                if (e.value_register == c.reg && e.value_type == c.register_type)
                    found = e.offset == c.offset && e.divisor == c.divisor;
                if (e.second_register == c.reg && c.divisor == 1 && c.offset == 0) found = true;
            }
            EXPECT_TRUE(found);
        }
    }
}

TEST(LogColumns, CeltonListIsTheDocumentedOne) {
    const LogLayout* log = DeviceTypeTable[DEV_TYPE_CELTON]->log_columns;
    struct Row {
        const char* name;
        int32_t reg;
        const char* format;
        int32_t offset, divisor;
    };
    const Row rows[] = {{"VOLTAGE", 7, "%.2f", 0, 250},
                        {"TEMP", 8, "%.1f", -300, 5},
                        {"LVP", 14, "%d", 0, 1},
                        {"OVP", 15, "%d", 0, 1},
                        {"BL", 12, "%d", 0, 1}};
    ASSERT_EQ(log->column_count, 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_STREQ(log->columns[i].name, rows[i].name);
        EXPECT_EQ(log->columns[i].reg, rows[i].reg);
        EXPECT_STREQ(log->columns[i].format, rows[i].format);
        EXPECT_EQ(log->columns[i].offset, rows[i].offset);
        EXPECT_EQ(log->columns[i].divisor, rows[i].divisor);
        EXPECT_EQ(log->columns[i].register_type, REG_TYPE_U16);
    }
}

} // namespace

namespace {

TEST(DeviceTypeTable, RegisterWidthsAlarmsAndDerivedValuesBelongToTheRightTypes) {
    for (uint32_t type = 0; type <= 14; ++type)
        EXPECT_EQ(REG_TypeWidth(type), SupportedType(int32_t(type)) ? Width(int32_t(type)) : 1)
            << type;
    // Charge controllers, battery protectors and switch units raise alarms; the display
    // group and the meters do not.
    for (int i = 0; i < DEV_TYPE_COUNT; ++i)
        EXPECT_EQ(DeviceTypeTable[size_t(i)]->alarm_word != nullptr,
                  i >= DEV_TYPE_RV100_30 && i <= DEV_TYPE_BRANT_V2)
            << i;
    // Values are derived for the charge controllers, Celton 100 and 102 and both Brants.
    const std::set<int> derived = {DEV_TYPE_RV100_30, DEV_TYPE_RV140_30,  DEV_TYPE_RV75_40,
                                   DEV_TYPE_CELTON,   DEV_TYPE_CELTON_V2, DEV_TYPE_BRANT,
                                   DEV_TYPE_BRANT_V2};
    for (int i = 0; i < DEV_TYPE_COUNT; ++i)
        EXPECT_EQ(DeviceTypeTable[size_t(i)]->derive != nullptr, derived.count(i) == 1) << i;
}

} // namespace
