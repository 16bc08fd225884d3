#include "tests/util/logger.h"

#include <cstdlib>
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
