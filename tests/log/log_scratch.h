// A scratch data folder for the log tests: APPDATA points at a fresh temporary folder, which
// is removed with everything in it.
#pragma once

#include "base/datafolder.h"
#include "config/settings.h"
#include "tests/util/scratch.h"

#include <cstdlib>
#include <string>

class LogScratch {
  public:
    LogScratch() {
        ::setenv("APPDATA", root_.Path().c_str(), 1);
        DATA_CreateFolder();
        CONFIG_Init();
    }

    const std::string& Root() const { return root_.Path(); }
    std::string Data() const { return Root() + "/Ovalo"; }
    std::string DataFile(const std::string& name) const { return Data() + "/" + name; }

  private:
    ScratchFolder root_{"veltra-log"};
};
