#include "tools/gateway-sim/sim_scenario.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

struct TypeName {
    std::string_view name;
    uint32_t type_id;
};

constexpr std::array<TypeName, 17> kTypeNames{{
    {"quill", SIM_TYPE_QUILL},
    {"rv100", SIM_TYPE_RV100},
    {"rv140", SIM_TYPE_RV140},
    {"rv75", SIM_TYPE_RV75},
    {"celton", SIM_TYPE_CELTON},
    {"celtonactive", SIM_TYPE_CELTON_ACTIVE},
    {"celtonv2", SIM_TYPE_CELTON_V2},
    {"celton103", SIM_TYPE_CELTON_103},
    {"celton104", SIM_TYPE_CELTON_104},
    {"brant", SIM_TYPE_BRANT},
    {"brantv2", SIM_TYPE_BRANT_V2},
    {"corvo500", SIM_TYPE_CORVO_500},
    {"corvo501", SIM_TYPE_CORVO_501},
    {"corvo502", SIM_TYPE_CORVO_502},
    {"corvo510", SIM_TYPE_CORVO_510},
    {"corvo511", SIM_TYPE_CORVO_511},
    {"corvo512", SIM_TYPE_CORVO_512},
}};

constexpr size_t kMaxFileBytes = 64 * 1024;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// Takes the next blank-separated word off the front of the line.
std::string_view NextWord(std::string_view* line) {
    size_t start = 0;
    while (start < line->size() && IsSpace((*line)[start]))
        start++;
    size_t end = start;
    while (end < line->size() && !IsSpace((*line)[end]))
        end++;
    std::string_view word = line->substr(start, end - start);
    line->remove_prefix(end);
    return word;
}

// A decimal number from 0 to max; false for anything else (signs, blanks, overflow).
bool ParseNumber(std::string_view text, long max, long* value) {
    if (text.empty() || text.size() > 9) return false;
    long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > max) return false;
    *value = v;
    return true;
}

// Splits "a,b,c" into at most out.size() numbers from 0 to max; false on a bad item or too
// many items. Missing trailing items stay 0.
template <size_t N> bool ParseList(std::string_view text, long max, std::array<long, N>* out) {
    out->fill(0);
    size_t item = 0;
    while (true) {
        const size_t comma = text.find(',');
        if (item >= N) return false;
        if (!ParseNumber(text.substr(0, comma), max, &(*out)[item])) return false;
        item++;
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

bool ParseIp(std::string_view text, std::array<uint8_t, 4>* ip) {
    std::array<long, 4> parts{};
    size_t dots = 0;
    for (char c : text)
        dots += c == '.';
    if (dots != 3) return false;
    for (size_t i = 0; i < 4; i++) {
        const size_t dot = text.find('.');
        if (!ParseNumber(text.substr(0, dot), 255, &parts[i])) return false;
        text.remove_prefix(dot == std::string_view::npos ? text.size() : dot + 1);
    }
    for (size_t i = 0; i < 4; i++)
        (*ip)[i] = static_cast<uint8_t>(parts[i]);
    return true;
}

bool ParseIdentity(std::string_view text, std::array<uint32_t, 3>* identity) {
    if (text.size() != 24) return false;
    for (size_t word = 0; word < 3; word++) {
        uint32_t v = 0;
        for (size_t i = 0; i < 8; i++) {
            const char c = text[word * 8 + i];
            uint32_t digit;
            if (c >= '0' && c <= '9')
                digit = static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                digit = static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                digit = static_cast<uint32_t>(c - 'A' + 10);
            else
                return false;
            v = (v << 4) | digit;
        }
        (*identity)[word] = v;
    }
    return true;
}

bool IsCorvo(uint32_t t) {
    return (t >= 500 && t <= 502) || (t >= 510 && t <= 512);
}
bool IsRv(uint32_t t) {
    return t >= SIM_TYPE_RV100 && t <= SIM_TYPE_RV75;
}

void SetDefaults(SimDeviceConfig* d) {
    if (d->type_id == SIM_TYPE_QUILL) {
        d->identity = {0x564C5452u, 0x51000000u + static_cast<uint32_t>(d->unit_id), 0x20240107u};
    }
    if (IsRv(d->type_id)) d->pv_watts = d->type_id == SIM_TYPE_RV75 ? 560 : 400;
}

// Applies one key=value option; false with a reason in `why` when it does not fit.
bool ApplyOption(SimDeviceConfig* d, std::string_view key, std::string_view value,
                 const char** why) {
    const uint32_t t = d->type_id;
    *why = "bad value";
    if (t == SIM_TYPE_QUILL && key == "amprix") {
        std::array<long, 4> kinds{};
        if (!ParseList(value, 255, &kinds)) return false;
        for (size_t i = 0; i < 4; i++)
            d->amprix_kinds[i] = static_cast<uint8_t>(kinds[i]);
        return true;
    }
    if (t == SIM_TYPE_QUILL && key == "levra") {
        std::array<long, 4> fitted{};
        if (!ParseList(value, 1, &fitted)) return false;
        for (size_t i = 0; i < 4; i++)
            d->levra_fitted[i] = fitted[i] != 0;
        return true;
    }
    if (t == SIM_TYPE_QUILL && key == "selector") {
        long v = 0;
        if (!ParseNumber(value, 19, &v)) return false;
        d->selector = static_cast<uint16_t>(v);
        return true;
    }
    if (t == SIM_TYPE_QUILL && key == "ip") return ParseIp(value, &d->ip);
    if (t == SIM_TYPE_QUILL && key == "id") return ParseIdentity(value, &d->identity);
    if (IsCorvo(t) && key == "role") {
        if (value == "battery")
            d->role = SimCorvoRole::Battery;
        else if (value == "load")
            d->role = SimCorvoRole::Load;
        else if (value == "solar")
            d->role = SimCorvoRole::Solar;
        else
            return false;
        return true;
    }
    if ((t == SIM_TYPE_BRANT || t == SIM_TYPE_BRANT_V2) && key == "mode") {
        if (value == "off")
            d->mode = SimSwitchMode::Off;
        else if (value == "on")
            d->mode = SimSwitchMode::On;
        else if (value == "auto")
            d->mode = SimSwitchMode::Auto;
        else
            return false;
        return true;
    }
    if (IsRv(t) && key == "pv") {
        long v = 0;
        if (!ParseNumber(value, 2000, &v)) return false;
        d->pv_watts = static_cast<int>(v);
        return true;
    }
    *why = "unknown option for this device type";
    return false;
}

} // namespace

void SIM_Fail(char* error, size_t error_size, const char* format, ...) {
    if (error == nullptr || error_size == 0) return;
    va_list args;
    va_start(args, format);
    vsnprintf(error, error_size, format, args);
    va_end(args);
}

uint32_t SCN_TypeFromName(std::string_view name) {
    for (const TypeName& t : kTypeNames) {
        if (t.name.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; i++) {
            char c = name[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            same = c == t.name[i];
        }
        if (same) return t.type_id;
    }
    long v = 0;
    if (ParseNumber(name, 99999, &v) && SCN_IsKnownType(static_cast<uint32_t>(v))) {
        return static_cast<uint32_t>(v);
    }
    return 0;
}

bool SCN_IsKnownType(uint32_t type_id) {
    for (const TypeName& t : kTypeNames) {
        if (t.type_id == type_id) return true;
    }
    return false;
}

int SCN_Parse(std::string_view text, SimScenario* scenario, char* error, size_t error_size) {
    if (scenario == nullptr) return -1;
    *scenario = SimScenario{};
    int line_number = 0;
    while (!text.empty()) {
        line_number++;
        const size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        const size_t hash = line.find('#');
        if (hash != std::string_view::npos) line = line.substr(0, hash);

        const std::string_view unit_word = NextWord(&line);
        if (unit_word.empty()) continue;
        long unit = 0;
        if (!ParseNumber(unit_word, SIM_MAX_DEVICES, &unit) || unit < 1) {
            SIM_Fail(error, error_size, "line %d: unit id must be 1 to %d", line_number,
                     SIM_MAX_DEVICES);
            return -1;
        }
        if (SCN_FindUnit(*scenario, static_cast<int>(unit)) != nullptr) {
            SIM_Fail(error, error_size, "line %d: unit id %ld is used twice", line_number, unit);
            return -1;
        }
        const std::string_view type_word = NextWord(&line);
        const uint32_t type_id = SCN_TypeFromName(type_word);
        if (type_id == 0) {
            SIM_Fail(error, error_size, "line %d: unknown device type \"%.*s\"", line_number,
                     static_cast<int>(type_word.size() > 40 ? 40 : type_word.size()),
                     type_word.data());
            return -1;
        }
        SimDeviceConfig& device = scenario->devices[static_cast<size_t>(scenario->count)];
        device = SimDeviceConfig{};
        device.unit_id = static_cast<int>(unit);
        device.type_id = type_id;
        SetDefaults(&device);
        for (std::string_view option = NextWord(&line); !option.empty(); option = NextWord(&line)) {
            const size_t equals = option.find('=');
            const char* why = "expected key=value";
            if (equals == std::string_view::npos ||
                !ApplyOption(&device, option.substr(0, equals), option.substr(equals + 1), &why)) {
                SIM_Fail(error, error_size, "line %d: option \"%.*s\": %s", line_number,
                         static_cast<int>(option.size() > 40 ? 40 : option.size()), option.data(),
                         why);
                return -1;
            }
        }
        // The unit ids are unique and at most SIM_MAX_DEVICES, so the table cannot overflow.
        scenario->count++;
    }
    return 0;
}

int SCN_Load(const char* path, SimScenario* scenario, char* error, size_t error_size) {
    if (path == nullptr || scenario == nullptr) return -1;
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        SIM_Fail(error, error_size, "cannot open scenario \"%s\": %s", path, strerror(errno));
        return -1;
    }
    static char buffer[kMaxFileBytes + 1];
    const size_t length = fread(buffer, 1, sizeof buffer, file);
    const bool read_error = ferror(file) != 0;
    fclose(file);
    if (read_error) {
        SIM_Fail(error, error_size, "cannot read scenario \"%s\"", path);
        return -1;
    }
    if (length > kMaxFileBytes) {
        SIM_Fail(error, error_size, "scenario \"%s\" is larger than %zu bytes", path,
                 kMaxFileBytes);
        return -1;
    }
    char line_error[200] = "";
    if (SCN_Parse(std::string_view(buffer, length), scenario, line_error, sizeof line_error) != 0) {
        SIM_Fail(error, error_size, "scenario \"%s\" %s", path, line_error);
        return -1;
    }
    return 0;
}

const SimDeviceConfig* SCN_FindUnit(const SimScenario& scenario, int unit_id) {
    for (int i = 0; i < scenario.count; i++) {
        if (scenario.devices[static_cast<size_t>(i)].unit_id == unit_id) {
            return &scenario.devices[static_cast<size_t>(i)];
        }
    }
    return nullptr;
}
