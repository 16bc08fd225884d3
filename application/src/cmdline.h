// The program's command line: the gateway to propose, where to keep the data, the language and
// the window's scale. Without options the program starts as it always has.
//
// Parsing is a pure function of the arguments; CMDLINE_Apply then hands the options to the
// modules that use them, before the tasks start.
#pragma once

#include "mqtt/mqtt_config.h"

#include <string>

constexpr int CMDLINE_EXIT_USAGE = 2;     // a bad command line
constexpr int CMDLINE_EXIT_NO_WINDOW = 2; // the window could not be opened

enum CMDLINE_Action {
    CMDLINE_RUN,          // start the program
    CMDLINE_SHOW_HELP,    // print the help text and end with 0
    CMDLINE_SHOW_VERSION, // print the version and end with 0
    CMDLINE_BAD,          // print `error` and end with CMDLINE_EXIT_USAGE
};

struct CmdlineOptions {
    CMDLINE_Action action = CMDLINE_RUN;
    std::string error;           // CMDLINE_BAD: one line without its line end
    std::string gateway_address; // --gateway: a dotted IPv4 address; empty when not given
    std::string gateway_port;    // --gateway ADDRESS:PORT: 1 to 65535; empty when not given
    std::string data_dir;        // --data-dir; empty when not given
    int language = -1;           // --language: a GUI_LANGUAGE; -1 when not given
    int scale = 0;               // --scale: 1 to 4; 0 when not given
    bool auto_connect = false;   // --auto-connect
    bool no_window = false;      // --no-window
    std::string web;             // --web [ADDRESS:]PORT, checked; empty when not given
    bool web_url = false;        // --web-url: print the browser view's address and end
    std::string mqtt_url;        // --mqtt: mqtt://HOST[:PORT] or mqtts://...; empty when not given
};

// Reads the arguments after the program name. Options take their value as the next argument or
// after "=" (--scale 2, --scale=2); the last of a repeated option counts. The first unknown
// option, stray argument, missing or malformed value makes the result CMDLINE_BAD.
CmdlineOptions CMDLINE_Parse(int argc, const char* const* argv);

std::string CMDLINE_HelpText();
std::string CMDLINE_VersionText();

// Puts the options into effect: the data folder (created), then from its settings file the
// stored scale unless --scale gave one, the language stored in the settings, the gateway
// address proposed by the settings in place of the stored one (the connect page shows it; it
// is stored once it connected), the gateway port fixed for every connection, the window's
// scale, and reconnecting by itself (--auto-connect or AUTOCONNECT=1 in section NETWORK: after
// a lost gateway). --no-window runs without a window or display and connects at start and after
// every loss by itself; the search and event lines go to standard output as always. 0, or
// CMDLINE_EXIT_USAGE after printing why when the chosen data folder cannot be created.
int CMDLINE_Apply(const CmdlineOptions& options);

// What the process entry calls first: parses, prints the help, the version or the error, and
// applies. Returns -1 to go on with the start, else the exit code.
int CMDLINE_Start(int argc, const char* const* argv);

// The browser view, when --web or LISTEN in section WEB asks for it (CONTROL=1 there lets the
// page press): loads or makes the token in the data folder, starts the server and prints the
// page's address. A failure is printed and the program goes on without it. Called after the
// host and the data folder are set up; WEB_Stop ends it.
void CMDLINE_StartWeb();
// The MQTT settings: --mqtt or section MQTT of the settings file (enabled false when none).
const MqttConfig& CMDLINE_MqttConfig();

// The address given with --gateway ("" when none), for the connect page and unattended runs.
const char* CMDLINE_GatewayAddress();
