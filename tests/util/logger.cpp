#include "tests/util/logger.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <fcntl.h>
#include <unistd.h>

pid_t StartLogger(const std::string& folder, int gateway_port,
                  const std::vector<std::string>& extra) {
    const std::string gateway = "127.0.0.1:" + std::to_string(gateway_port);
    const std::string data = folder + "/data";
    const std::string output = folder + "/output.txt";
    const std::string program = std::string(VELTRA_BINARY_DIR) + "/application/veltra-desktop";
    std::vector<std::string> words = {"veltra-desktop", "--no-window", "--gateway", gateway,
                                      "--data-dir", data};
    words.insert(words.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        unsetenv("DISPLAY");
        unsetenv("VELTRA_HOST");
        setenv("VELTRA_NO_MESSAGE_BOX", "1", 1);
        if (chdir(folder.c_str()) != 0) _exit(126);
        const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

long GuiPasses(pid_t pid) {
    std::error_code error;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        if (name != "gui-task") continue;
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::stol(line.substr(24));
    }
    return -1;
}
