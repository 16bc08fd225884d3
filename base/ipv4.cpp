#include "base/ipv4.h"

namespace {

// One to three digits, no leading zero, at most 255.
bool IsOctet(const std::string& part) {
    if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0')) return false;
    int value = 0;
    for (const char c : part) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value <= 255;
}

} // namespace

bool IPV4_IsDotted(const std::string& text) {
    int parts = 0;
    size_t start = 0;
    while (true) {
        const size_t dot = text.find('.', start);
        if (!IsOctet(text.substr(start, dot == std::string::npos ? dot : dot - start)))
            return false;
        ++parts;
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return parts == 4;
}
