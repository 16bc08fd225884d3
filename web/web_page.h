// The browser view's one page: HTML, style and script in one text, nothing from elsewhere.
#pragma once

#include <string>

// With `control` the page sends presses, drags and releases on the picture; without it, it says
// that it only shows the display.
std::string WEBPAGE_Html(bool control);
