// The address to listen on, the page's address and the token that every request must carry.
#include "web/web.h"

#include "base/ipv4.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsDigits(const std::string& text) {
    if (text.empty() || text.size() > 5) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

bool IsToken(const std::string& text) {
    if (text.size() != WEB_TOKEN_HEX_DIGITS) return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

bool MakeToken(std::string* token) {
    uint8_t bytes[WEB_TOKEN_HEX_DIGITS / 2];
    size_t have = 0;
    while (have < sizeof bytes) {
        const ssize_t got = getrandom(bytes + have, sizeof bytes - have, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        have += static_cast<size_t>(got);
    }
    static const char kHex[] = "0123456789abcdef";
    token->clear();
    for (const uint8_t byte : bytes) {
        token->push_back(kHex[byte >> 4]);
        token->push_back(kHex[byte & 15]);
    }
    return true;
}

// Reads at most a little more than a token, so a huge file costs nothing.
std::string ReadSmallFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return "";
    char buffer[WEB_TOKEN_HEX_DIGITS + 8];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    if (got <= 0) return "";
    std::string text(buffer, static_cast<size_t>(got));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// Written to a temporary file made 0600 from the start and renamed over the old one, so the
// token is never readable by others, not even for a moment.
bool WriteToken(const std::string& path, const std::string& token, std::string* error) {
    const std::string temporary = path + ".tmp";
    ::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = "cannot write " + temporary + ": " + std::strerror(errno);
        return false;
    }
    const std::string line = token + "\n";
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    if (!written || !synced || ::rename(temporary.c_str(), path.c_str()) != 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

bool WEB_ParseListen(const std::string& text, WEB_Listen* listen, std::string* error) {
    const size_t colon = text.rfind(':');
    const std::string address = colon == std::string::npos ? "127.0.0.1" : text.substr(0, colon);
    const std::string port = colon == std::string::npos ? text : text.substr(colon + 1);
    if (!IsDigits(port) || (port.size() > 1 && port[0] == '0') || std::stoi(port) > 65535) {
        *error = "invalid port in '" + text + "': expected 0 to 65535";
        return false;
    }
    if (!IPV4_IsDotted(address)) {
        *error = "invalid address in '" + text + "': expected an IPv4 address such as 0.0.0.0";
        return false;
    }
    listen->address = address;
    listen->port = std::stoi(port);
    return true;
}

std::string WEB_FormatUrl(const WEB_Listen& listen, const std::string& token) {
    std::string host = listen.address;
    if (host == "0.0.0.0") {
        char name[256] = {};
        host = ::gethostname(name, sizeof name - 1) == 0 && name[0] ? name : "localhost";
    }
    return "http://" + host + ":" + std::to_string(listen.port) + "/?token=" + token;
}

bool WEB_LoadToken(const std::string& path, std::string* token, std::string* error) {
    const std::string stored = ReadSmallFile(path);
    if (IsToken(stored)) {
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0 && (info.st_mode & 077) != 0 &&
            ::chmod(path.c_str(), 0600) != 0) {
            *error = "cannot make " + path + " private: " + std::strerror(errno);
            return false;
        }
        *token = stored;
        return true;
    }
    std::string fresh;
    if (!MakeToken(&fresh)) {
        *error = std::string("no random numbers for the token: ") + std::strerror(errno);
        return false;
    }
    if (!WriteToken(path, fresh, error)) return false;
    *token = fresh;
    return true;
}

bool WEB_TokenMatches(const std::string& expected, const std::string& given) {
    if (expected.empty() || given.size() != expected.size()) return false;
    unsigned char difference = 0;
    for (size_t i = 0; i < expected.size(); ++i)
        difference |= static_cast<unsigned char>(expected[i] ^ given[i]);
    return difference == 0;
}
