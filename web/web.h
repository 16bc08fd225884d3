// The browser view: an HTTP server inside the program that shows the display in a web page and,
// when allowed, takes presses from it. Off unless asked for (--web or LISTEN in section WEB);
// without it there is no thread and no socket.
//
// Every request needs the token kept in the data folder. The page receives the display as a
// stream of PNG pictures of the rows that changed; the pictures are made on the server's own
// thread from a copy of the frame taken under the toolkit lock, only while somebody watches and
// only when the display changed. A slow viewer skips to the newest picture; it never holds up
// the GUI or another viewer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int WEB_MAX_VIEWERS = 8;              // the next viewer gets 503
constexpr int WEB_REQUEST_DEADLINE_S = 10;      // a request must be read whole within this time
constexpr int WEB_WRITE_TIMEOUT_S = 10;         // a viewer that takes nothing for this long goes
constexpr size_t WEB_REQUEST_MAX_BYTES = 16384; // request line, headers and body together
constexpr int WEB_TOKEN_HEX_DIGITS = 32;        // 128 random bits
constexpr const char* WEB_TOKEN_FILE = "webtoken";

// ---- Address -------------------------------------------------------------------------------

struct WEB_Listen {
    std::string address = "127.0.0.1";
    int port = 0; // 0: a free port picked at start
};

// Reads "[ADDRESS:]PORT": ADDRESS a dotted IPv4 address (loopback when left out), PORT 0 to
// 65535 (0 picks a free one). False with `error` set for anything else.
bool WEB_ParseListen(const std::string& text, WEB_Listen* listen, std::string* error);

// The page's address with its token: "http://HOST:PORT/?token=TOKEN". A wildcard address shows
// the computer's name, since a browser cannot go to 0.0.0.0.
std::string WEB_FormatUrl(const WEB_Listen& listen, const std::string& token);

// ---- Token -----------------------------------------------------------------------------------

// Reads the token from `path`, or makes a new one from the system's random source and writes it
// there (mode 0600) when the file is missing or holds no valid token. An existing file is made
// 0600 when it is readable by others. False with `error` set when no token can be had.
bool WEB_LoadToken(const std::string& path, std::string* token, std::string* error);

// Compares in time independent of where the texts differ.
bool WEB_TokenMatches(const std::string& expected, const std::string& given);

// ---- Frames ----------------------------------------------------------------------------------

// Encodes rows first..last of an 800-pixel-wide 0x00RRGGBB frame as an 8-bit RGB PNG. Empty on
// failure.
std::vector<uint8_t> WEB_EncodeRows(const uint32_t* frame, int first, int last);

// One record of the frame stream: a 4-byte big-endian length of what follows, the 2-byte
// big-endian row where the picture goes, the PNG. A record of length 0 says "still here".
std::vector<uint8_t> WEB_StreamRecord(int row, const std::vector<uint8_t>& png);

// ---- Server ----------------------------------------------------------------------------------

struct WEB_Options {
    WEB_Listen listen;
    bool control = false; // presses from the page reach the toolkit
    std::string token;
    // How long a request may take to arrive, and a write to a viewer to make progress.
    int request_deadline_ms = WEB_REQUEST_DEADLINE_S * 1000;
    int write_timeout_ms = WEB_WRITE_TIMEOUT_S * 1000;
};

// Binds and starts the server threads. False with `error` set when the address cannot be bound
// (nothing is left running then).
bool WEB_Start(const WEB_Options& options, std::string* error);
// The port bound (the one picked for port 0); 0 when not running.
int WEB_Port();
// Ends every viewer and the server threads; nothing happens when not running.
void WEB_Stop();
// Viewers now watching, and the pictures encoded since start (tests, benchmarks).
int WEB_ViewerCount();
int WEB_EncodedCount();
