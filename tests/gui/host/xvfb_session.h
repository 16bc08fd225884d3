// A private X server for tests of the real window: starts Xvfb on a free display, points
// DISPLAY at it, and reads its screen back from the frame-buffer file Xvfb keeps (an XWD
// image). Tests that need a real window (the host's, the end-to-end ones) build on this.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <sys/types.h>
#include <vector>

struct XvfbImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB, rows top to bottom
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

struct XvfbWindow {
    unsigned long id = 0;
    int x = 0; // absolute position on the screen
    int y = 0;
    int width = 0;
    int height = 0;
    std::pair<int, int> min{0, 0}; // the size hints (0, 0 when not given)
    std::pair<int, int> max{0, 0};
};

// True when the program is found in PATH.
bool XVFB_HaveProgram(const char* name);

// Runs a shell command (stopped after 10 s) and returns its standard output.
std::string XVFB_Run(const std::string& command);

class XvfbSession {
  public:
    XvfbSession() = default;
    ~XvfbSession(); // stops the server it started
    XvfbSession(const XvfbSession&) = delete;
    XvfbSession& operator=(const XvfbSession&) = delete;

    // Starts Xvfb with one screen of that size (24-bit colour) and sets DISPLAY; false with a
    // reason.
    bool Start(std::string* why_not, int width = 1024, int height = 768);
    // The current screen contents.
    bool Screenshot(XvfbImage* image, std::string* why_not) const;
    // Moves the pointer to a screen position (as a real mouse would, with motion events).
    bool MovePointer(int x, int y) const;
    // Finds a top-level window on show by its exact title.
    bool FindWindow(const char* title, XvfbWindow* window) const;

  private:
    pid_t pid_ = -1;
    std::string folder_; // holds the frame-buffer file
};
