#include "base/datafolder.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
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

// Creates every missing folder on the way to the path.
void MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        MakeFolder(path.substr(0, slash));
    MakeFolder(path);
}

std::string g_chosen_folder; // set before the tasks start, only read afterwards

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

std::string DATA_Folder() {
    if (!g_chosen_folder.empty()) return g_chosen_folder;
    return DATA_AppDataRoot() + "/Ovalo";
}

void DATA_SetFolder(const char* folder) {
    g_chosen_folder = folder ? folder : "";
    while (g_chosen_folder.size() > 1 && g_chosen_folder.back() == '/')
        g_chosen_folder.pop_back();
}

void DATA_CreateFolder() {
    if (!g_chosen_folder.empty()) return MakeFolders(g_chosen_folder);
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

std::string DATA_StampedName(const char* prefix, const char* suffix) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const int millis = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char name[128];
    std::snprintf(name, sizeof name, "%s_%04d%02d%02d_%02d%02d%02d_%03d%s",
                  prefix != nullptr ? prefix : "", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, millis,
                  suffix != nullptr ? suffix : "");
    return name;
}
