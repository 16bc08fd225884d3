// The real program as an unattended logger for tests: `veltra-desktop --no-window` against a
// gateway on 127.0.0.1, with its data folder "<folder>/data" and its output in
// "<folder>/output.txt", started from `folder`.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// The child's process id (-1 when fork failed); `extra` follows the gateway and data folder.
pid_t StartLogger(const std::string& folder, int gateway_port,
                  const std::vector<std::string>& extra = {});

// The GUI task's passes so far: each pass ends in a 1 ms sleep, one voluntary context switch
// of the thread named "gui-task" (waits for the toolkit lock add a few). -1 when not found.
long GuiPasses(pid_t pid);
