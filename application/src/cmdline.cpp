#include "application/src/cmdline.h"

#include "base/datafolder.h"
#include "base/dbg.h"
#include "base/ipv4.h"
#include "comm/gateway.h"
#include "config/ini.h"
#include "config/settings.h"
#include "gui/host/host.h"
#include "gui/toolkit/lang/gui_lang.h"
#include "mqtt/mqtt_config.h"
#include "pages/connect.h"
#include "web/web.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifndef VELTRA_VERSION
#define VELTRA_VERSION "unknown"
#endif

namespace {

constexpr const char* kProgram = "veltra-desktop";
// The settings key of the window's scale, beside the language.
constexpr const char* kScaleSection = "GUI";
constexpr const char* kScaleKey = "SCALE";
constexpr size_t kMaxDataDirLength = 1024;
// The settings key that turns reconnecting on, beside the address.
constexpr const char* kAutoConnectSection = "NETWORK";
constexpr const char* kAutoConnectKey = "AUTOCONNECT";

// The settings keys of the browser view.
constexpr const char* kWebSection = "WEB";
constexpr const char* kWebListenKey = "LISTEN";
constexpr const char* kWebControlKey = "CONTROL";

std::string g_gateway_address; // set before the tasks start, only read afterwards
bool g_web_on = false;         // the browser view's settings, set by CMDLINE_Apply
WEB_Options g_web;
MqttConfig g_mqtt_config;      // the same

bool IsDigits(const std::string& text) {
    if (text.empty()) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// A decimal number without sign or leading zeros within [low, high].
bool ParseNumber(const std::string& text, int low, int high, int* value) {
    if (!IsDigits(text) || text.size() > 5 || (text.size() > 1 && text[0] == '0')) return false;
    const int number = std::stoi(text);
    if (number < low || number > high) return false;
    *value = number;
    return true;
}

void Bad(CmdlineOptions* options, const std::string& error) {
    if (options->action == CMDLINE_BAD) return; // the first error is the one reported
    options->action = CMDLINE_BAD;
    options->error = error;
}

void TakeGateway(CmdlineOptions* options, const std::string& value) {
    const size_t colon = value.find(':');
    const std::string address = value.substr(0, colon);
    std::string port;
    if (colon != std::string::npos) {
        port = value.substr(colon + 1);
        int number = 0;
        if (!ParseNumber(port, 1, 65535, &number))
            return Bad(options, "invalid port in --gateway '" + value + "': expected 1 to 65535");
    }
    // The address field holds 19 characters; a dotted IPv4 address has at most 15.
    if (!IPV4_IsDotted(address))
        return Bad(options, "invalid address in --gateway '" + value +
                                "': expected an IPv4 address such as 192.168.1.160[:502]");
    options->gateway_address = address;
    options->gateway_port = port;
}

void TakeValue(CmdlineOptions* options, const std::string& name, const std::string& value) {
    if (name == "--gateway") return TakeGateway(options, value);
    if (name == "--data-dir") {
        if (value.empty()) return Bad(options, "--data-dir needs a folder");
        if (value.size() > kMaxDataDirLength) return Bad(options, "--data-dir is too long");
        options->data_dir = value;
        return;
    }
    if (name == "--language") {
        if (value == "en")
            options->language = GUI_LANG_ENGLISH;
        else if (value == "de")
            options->language = GUI_LANG_GERMAN;
        else
            return Bad(options, "invalid --language '" + value + "': expected en or de");
        return;
    }
    if (name == "--web") {
        WEB_Listen listen;
        std::string error;
        if (!WEB_ParseListen(value, &listen, &error)) return Bad(options, "--web: " + error);
        options->web = value;
        return;
    }
    if (name == "--mqtt") {
        MqttConfig checked;
        std::string error;
        if (!MQTT_ParseUrl(value, &checked, &error)) return Bad(options, "invalid --mqtt: " + error);
        options->mqtt_url = value;
        return;
    }
    // --scale
    if (!ParseNumber(value, 1, HOST_SCALE_MAX, &options->scale))
        return Bad(options, "invalid --scale '" + value + "': expected 1, 2, 3 or 4");
}

bool TakesValue(const std::string& name) {
    return name == "--gateway" || name == "--data-dir" || name == "--language" ||
           name == "--scale" || name == "--web" || name == "--mqtt";
}

// The window's scale when the command line gave none: the settings' value, 1 when missing.
int StoredScale() {
    const std::string path = CONFIG_SettingsPath();
    const int32_t stored = INI_GetLong(kScaleSection, kScaleKey, 1, path.c_str());
    if (stored >= 1 && stored <= HOST_SCALE_MAX) return stored;
    DBG_Printf("SCALE %d in %s is not 1 to %d; the window is not enlarged\n",
               static_cast<int>(stored), path.c_str(), HOST_SCALE_MAX);
    return 1;
}

// The browser view's settings: --web, else LISTEN in section WEB (off when empty or bad).
bool WebSettings(const CmdlineOptions& options, WEB_Options* web) {
    const std::string path = CONFIG_SettingsPath();
    std::string listen_text = options.web;
    if (listen_text.empty()) {
        char stored[64] = {};
        INI_GetString(kWebSection, kWebListenKey, "", stored, sizeof stored, path.c_str());
        listen_text = stored;
    }
    if (listen_text.empty()) return false;
    std::string error;
    if (!WEB_ParseListen(listen_text, &web->listen, &error)) {
        DBG_Printf("LISTEN in section WEB of %s: %s; the browser view is off\n", path.c_str(),
                   error.c_str());
        return false;
    }
    web->control = INI_GetLong(kWebSection, kWebControlKey, 0, path.c_str()) == 1;
    return true;
}

// --web-url: the page's address with the token (made now if this is the first time).
int PrintWebUrl() {
    if (!g_web_on) {
        std::fprintf(stderr, "%s: the browser view is off (--web or LISTEN in section WEB)\n",
                     kProgram);
        return 1;
    }
    std::string token, error;
    DATA_CreateFolder();
    if (!WEB_LoadToken(DATA_FilePath(WEB_TOKEN_FILE), &token, &error)) {
        std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        return 1;
    }
    std::printf("%s\n", WEB_FormatUrl(g_web.listen, token).c_str());
    return 0;
}

} // namespace

CmdlineOptions CMDLINE_Parse(int argc, const char* const* argv) {
    CmdlineOptions options;
    for (int i = 1; i < argc && options.action != CMDLINE_BAD; ++i) {
        const std::string argument = argv[i] ? argv[i] : "";
        if (argument == "--help" || argument == "-h") {
            options.action = CMDLINE_SHOW_HELP;
            continue;
        }
        if (argument == "--version") {
            if (options.action != CMDLINE_SHOW_HELP) options.action = CMDLINE_SHOW_VERSION;
            continue;
        }
        if (argument == "--web-url") {
            options.web_url = true;
            continue;
        }
        if (argument == "--auto-connect" || argument == "--no-window") {
            (argument == "--no-window" ? options.no_window : options.auto_connect) = true;
            continue;
        }
        const size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        if (!TakesValue(name)) {
            if (argument.rfind("-", 0) == 0)
                Bad(&options, "unknown option '" + argument + "' (try --help)");
            else
                Bad(&options, "unexpected argument '" + argument + "' (try --help)");
            break;
        }
        if (equals != std::string::npos) {
            TakeValue(&options, name, argument.substr(equals + 1));
        } else if (i + 1 < argc && argv[i + 1]) {
            TakeValue(&options, name, argv[++i]);
        } else {
            Bad(&options, "option '" + name + "' needs a value (try --help)");
        }
    }
    return options;
}

std::string CMDLINE_HelpText() {
    return std::string("Usage: ") + kProgram +
           " [OPTION]...\n"
           "Shows the display of a battery and solar energy system that is reached through a\n"
           "Modbus TCP gateway.\n"
           "\n"
           "Options:\n"
           "  --gateway ADDRESS[:PORT]  propose this IPv4 address on the connect page (stored\n"
           "                            once it connected); a port given is used for every\n"
           "                            connection\n"
           "  --data-dir DIR            keep the settings, device names, data logs and\n"
           "                            screenshots in DIR instead of the data folder Ovalo\n"
           "  --language en|de          English or German texts (stored in the settings)\n"
           "  --scale N                 show the window N times as large, N = 1 to 4 (else\n"
           "                            SCALE in section GUI of config.ini, else 1)\n"
           "  --auto-connect            after a lost gateway, connect again at once, then\n"
           "                            every 10 s until connected\n"
           "                            (also AUTOCONNECT=1 in section NETWORK)\n"
           "  --no-window               no window and no display needed: connect at once and\n"
           "                            after every loss, poll and log until SIGTERM\n"
           "  --web [ADDRESS:]PORT      show the display in a web browser: serve it on PORT\n"
           "                            of ADDRESS (else 127.0.0.1; also LISTEN in section\n"
           "                            WEB; CONTROL=1 there lets the page press)\n"
           "  --web-url                 print the browser view's address with its token and\n"
           "                            end\n"
           "  --mqtt URL                publish the logged values to an MQTT broker,\n"
           "                            mqtt://HOST[:PORT] or mqtts://HOST[:PORT] (also BROKER\n"
           "                            in section MQTT of config.ini)\n"
           "  -h, --help                show this help and end\n"
           "  --version                 show the version and end\n"
           "\n"
           "Environment:\n"
           "  APPDATA, XDG_DATA_HOME    the data folder is $APPDATA/Ovalo, else\n"
           "                            $XDG_DATA_HOME/Ovalo, else ~/.local/share/Ovalo\n"
           "  VELTRA_HOST=headless      run without a window\n"
           "  VELTRA_NO_MESSAGE_BOX=1   toolkit errors only go to SimError.log\n"
           "  VELTRA_GATEWAY_PORT       the gateway's port when --gateway gives none\n"
           "\n"
           "Exit status: 0; 1 when --web-url finds the browser view off; 2 for a bad\n"
           "command line or when no window can be opened.\n";
}

std::string CMDLINE_VersionText() {
    return std::string(kProgram) + " " + VELTRA_VERSION + "\n";
}

int CMDLINE_Apply(const CmdlineOptions& options) {
    if (!options.data_dir.empty()) {
        std::error_code error;
        const std::filesystem::path folder = std::filesystem::absolute(options.data_dir, error);
        DATA_SetFolder(error ? options.data_dir.c_str() : folder.c_str());
        DATA_CreateFolder();
        if (!std::filesystem::is_directory(DATA_Folder(), error)) {
            std::fprintf(stderr, "%s: cannot create the data folder '%s'\n", kProgram,
                         DATA_Folder().c_str());
            return CMDLINE_EXIT_USAGE;
        }
    }
    CONFIG_Init(); // the settings file of the chosen folder
    HOST_SetScale(options.scale != 0 ? options.scale : StoredScale());
    if (options.language >= 0) {
        DATA_CreateFolder();
        CONFIG_SetLanguage(options.language);
    }
    // Proposed, not stored: the settings keep only an address that connected.
    CONFIG_ProposeIpAddress(options.gateway_address.c_str());
    g_gateway_address = options.gateway_address;
    if (!options.gateway_port.empty()) Gateway_SetPort(options.gateway_port.c_str());
    const std::string settings = CONFIG_SettingsPath();
    const bool auto_connect =
        options.auto_connect ||
        INI_GetLong(kAutoConnectSection, kAutoConnectKey, 0, settings.c_str()) == 1;
    g_web = WEB_Options{};
    g_web_on = WebSettings(options, &g_web);
    // A broken MQTT setup is reported and leaves MQTT off; the display and the log go on.
    std::string mqtt_error;
    if (!MQTT_LoadConfig(settings, options.mqtt_url, &g_mqtt_config, &mqtt_error)) {
        std::fprintf(stderr, "%s: MQTT stays off: %s\n", kProgram, mqtt_error.c_str());
        g_mqtt_config = MqttConfig{};
    }
    HOST_ForceHeadless(options.no_window);
    CONNECT_SetAutoConnect(auto_connect || options.no_window, options.no_window);
    return 0;
}

int CMDLINE_Start(int argc, const char* const* argv) {
    const CmdlineOptions options = CMDLINE_Parse(argc, argv);
    switch (options.action) {
        case CMDLINE_SHOW_HELP:
            std::fputs(CMDLINE_HelpText().c_str(), stdout);
            return 0;
        case CMDLINE_SHOW_VERSION:
            std::fputs(CMDLINE_VersionText().c_str(), stdout);
            return 0;
        case CMDLINE_BAD:
            std::fprintf(stderr, "%s: %s\n", kProgram, options.error.c_str());
            return CMDLINE_EXIT_USAGE;
        case CMDLINE_RUN:
            break;
    }
    const int result = CMDLINE_Apply(options);
    if (result == 0 && options.web_url) return PrintWebUrl();
    return result == 0 ? -1 : result;
}

void CMDLINE_StartWeb() {
    if (!g_web_on) return;
    std::string error;
    if (!WEB_LoadToken(DATA_FilePath(WEB_TOKEN_FILE), &g_web.token, &error) ||
        !WEB_Start(g_web, &error)) {
        std::fprintf(stderr, "%s: browser view: %s\n", kProgram, error.c_str());
        return;
    }
    WEB_Listen bound = g_web.listen;
    bound.port = WEB_Port();
    std::printf("Browser view%s: %s\n", g_web.control ? "" : " (view only)",
                WEB_FormatUrl(bound, g_web.token).c_str());
    std::fflush(stdout);
}

const char* CMDLINE_GatewayAddress() {
    return g_gateway_address.c_str();
}

const MqttConfig& CMDLINE_MqttConfig() {
    return g_mqtt_config;
}
