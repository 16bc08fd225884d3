#include "base/datafolder.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string ExecutableFolder() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    path[length] = '\0';
    std::string folder(path);
    const auto slash = folder.rfind('/');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

void MakeFolder(const std::string& path) {
    if (!path.empty()) ::mkdir(path.c_str(), 0755);
}

} // namespace

std::string DATA_AppDataRoot() {
    const char* appdata = std::getenv("APPDATA");
    if (appdata && *appdata) return appdata;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg) return xdg;
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.local/share";
    return {};
}

std::string DATA_Folder() { return DATA_AppDataRoot() + "/Ovalo"; }

void DATA_CreateFolder() {
    const std::string root = DATA_AppDataRoot();
    if (root.empty()) return;
    // ~/.local/share may itself be missing on a fresh account.
    if (!std::getenv("APPDATA") || !*std::getenv("APPDATA")) {
        const auto slash = root.rfind('/');
        if (slash != std::string::npos && slash > 0) MakeFolder(root.substr(0, slash));
    }
    MakeFolder(root);
    MakeFolder(root + "/Ovalo");
}

std::string DATA_FilePath(const char* name) { return DATA_Folder() + "/" + name; }

std::string DATA_MediaPath(const char* name) {
    const std::string relative = std::string("Data_Media/") + name;
    if (IsFile(relative)) return relative;
    const std::string beside = ExecutableFolder();
    if (!beside.empty()) {
        if (IsFile(beside + "/" + relative)) return beside + "/" + relative;
        if (IsFile(beside + "/../share/veltra-desktop/" + relative))
            return beside + "/../share/veltra-desktop/" + relative;
    }
    return relative;
}
