#include "tests/gui/host/xvfb_session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

uint32_t BigEndian32(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

int MaskShift(uint32_t mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

} // namespace

bool XVFB_HaveProgram(const char* name) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (!folder.empty() && ::access((folder + "/" + name).c_str(), X_OK) == 0) return true;
    }
    return false;
}

std::string XVFB_Run(const std::string& command) {
    std::string output;
    // No helper may hang a test: each gets 10 s.
    FILE* pipe = ::popen(("timeout 10 " + command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[4096];
    size_t length;
    while ((length = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, length);
    ::pclose(pipe);
    return output;
}

XvfbSession::~XvfbSession() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
}

bool XvfbSession::Start(std::string* why_not, int width, int height) {
    char pattern[] = "/tmp/veltra-xvfb-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        *why_not = "no scratch folder";
        return false;
    }
    folder_ = pattern;
    int fds[2];
    if (::pipe(fds) != 0) {
        *why_not = "no pipe";
        return false;
    }
    // Xvfb picks a free display itself and writes its number to the pipe when it is ready.
    const std::string fd_text = std::to_string(fds[1]);
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const char* argv[] = {"Xvfb",      "-displayfd",   fd_text.c_str(), "-screen",
                          "0",         screen.c_str(), "-fbdir",        folder_.c_str(),
                          "-nolisten", "tcp",          "-noreset",      nullptr};
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        // The server goes with the test process, however that ends.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::close(fds[0]);
        ::execvp("Xvfb", const_cast<char* const*>(argv));
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid_ < 0) {
        ::close(fds[0]);
        *why_not = "Xvfb could not be started";
        return false;
    }
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos && ::poll(&ready, 1, 10000) > 0) {
        char buffer[16];
        const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
        if (got <= 0) break;
        number.append(buffer, static_cast<size_t>(got));
    }
    ::close(fds[0]);
    if (number.empty() || number.find('\n') == std::string::npos) {
        *why_not = "Xvfb did not report a display within 10 s";
        return false;
    }
    number.pop_back();
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
    return true;
}

bool XvfbSession::Screenshot(XvfbImage* image, std::string* why_not) const {
    std::ifstream in(folder_ + "/Xvfb_screen0", std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The XWD header: 25 big-endian 32-bit fields, then the window name.
    if (file.size() < 100) {
        *why_not = "no frame-buffer file";
        return false;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
    auto field = [bytes](int index) { return BigEndian32(bytes + 4 * index); };
    const uint32_t header_size = field(0), width = field(4), height = field(5);
    const uint32_t byte_order = field(7), bits_per_pixel = field(11), bytes_per_line = field(12);
    const uint32_t red_mask = field(14), green_mask = field(15), blue_mask = field(16);
    const uint32_t colours = field(19);
    const size_t offset = size_t(header_size) + size_t(colours) * 12;
    if (bits_per_pixel != 32 || offset + size_t(bytes_per_line) * height > file.size() ||
        bytes_per_line < width * 4) {
        *why_not = "unexpected frame-buffer format";
        return false;
    }
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    image->pixels.resize(size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const unsigned char* p = bytes + offset + size_t(y) * bytes_per_line + 4 * x;
            const uint32_t value =
                byte_order == 0 // LSBFirst
                    ? uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]
                    : BigEndian32(p);
            const uint32_t r = (value & red_mask) >> MaskShift(red_mask);
            const uint32_t g = (value & green_mask) >> MaskShift(green_mask);
            const uint32_t b = (value & blue_mask) >> MaskShift(blue_mask);
            image->pixels[size_t(y) * width + x] = r << 16 | g << 8 | b;
        }
    }
    return true;
}

bool XvfbSession::FindWindow(const char* title, XvfbWindow* window) const {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    const Window root = DefaultRootWindow(display);
    Window root_back = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    bool found = false;
    if (XQueryTree(display, root, &root_back, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i) {
            char* name = nullptr;
            XWindowAttributes attributes;
            if (!XFetchName(display, children[i], &name) || name == nullptr) continue;
            found = std::strcmp(name, title) == 0 &&
                    XGetWindowAttributes(display, children[i], &attributes) &&
                    attributes.map_state == IsViewable;
            XFree(name);
            if (!found) continue;
            Window child = 0;
            window->id = children[i];
            XTranslateCoordinates(display, children[i], root, 0, 0, &window->x, &window->y, &child);
            window->width = attributes.width;
            window->height = attributes.height;
            XSizeHints hints{};
            long supplied = 0;
            if (XGetWMNormalHints(display, children[i], &hints, &supplied)) {
                if (hints.flags & PMinSize)
                    window->min = std::make_pair(hints.min_width, hints.min_height);
                if (hints.flags & PMaxSize)
                    window->max = std::make_pair(hints.max_width, hints.max_height);
            }
        }
        if (children) XFree(children);
    }
    XCloseDisplay(display);
    return found;
}

bool XvfbSession::MovePointer(int x, int y) const {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, x, y);
    XSync(display, False);
    XCloseDisplay(display);
    return true;
}
