// Dotted IPv4 addresses as the user types them (the gateway, the browser view's address).
#pragma once

#include <string>

// Four numbers 0 to 255 with dots between and nothing else; leading zeros are refused, since
// resolvers read them as octal.
bool IPV4_IsDotted(const std::string& text);
