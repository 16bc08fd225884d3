// The rewrite is interrupted at each of its steps, by a failing system call or by the end of
// the process there, and afterwards the file is found whole: the old one or the new one.
#include "config/ini.h"

#include "tests/util/scratch.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

constexpr int kCrashedExit = 42;
constexpr const char* kMissing = "<missing>";

struct Interruption {
    IniStep step = IniStep::CreateTemp;
    int nth = 1;        // which call of that step
    bool crash = false; // end the process instead of failing the call
};

Interruption g_interruption;
int g_calls = 0;
int g_writes_seen = 0;

bool InterruptHook(IniStep step) {
    if (step != g_interruption.step || ++g_calls != g_interruption.nth) return false;
    if (g_interruption.crash) ::_exit(kCrashedExit);
    return true;
}

bool CountWrites(IniStep step) {
    if (step == IniStep::Write) ++g_writes_seen;
    return false;
}

struct Scenario {
    const char* name;
    std::string before; // kMissing: no file
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

std::vector<Scenario> Scenarios() {
    return {
        {"replace", "[A]\nx=1\n[GUI]\nLANGUAGE=0 ; old\nz=2\n[B]\ny=3\n", "GUI", "LANGUAGE", "1",
         "[A]\nx=1\n[GUI]\nLANGUAGE=1\nz=2\n[B]\ny=3\n"},
        {"append", "[A]\nx=1", "NETWORK", "IPAdress", "10.1.1.1",
         "[A]\nx=1\n[NETWORK]\nIPAdress=10.1.1.1\n"},
        {"create", kMissing, "MODBUS", "actLogFile", "5", "[MODBUS]\nactLogFile=5\n"},
    };
}

class IniCrash : public ::testing::Test {
  protected:
    void TearDown() override { INI_SetFaultHook(nullptr); }

    void Prepare(const Scenario& scenario) {
        std::remove(path_.c_str());
        std::remove(temporary_.c_str());
        if (scenario.before != kMissing) WriteBytes(path_, scenario.before);
    }

    // Every interruption point of the scenario's rewrite, in the order they happen.
    std::vector<Interruption> Points(const Scenario& scenario) {
        Prepare(scenario);
        g_writes_seen = 0;
        INI_SetFaultHook(CountWrites);
        EXPECT_EQ(INI_PutString(scenario.section, scenario.key, scenario.value, path_.c_str()), 1);
        INI_SetFaultHook(nullptr);
        EXPECT_EQ(ReadBytes(path_), scenario.after) << scenario.name;
        EXPECT_GE(g_writes_seen, 2) << scenario.name;

        std::vector<Interruption> points{{IniStep::CreateTemp, 1, false}};
        for (int n = 1; n <= g_writes_seen; ++n)
            points.push_back({IniStep::Write, n, false});
        for (IniStep step : {IniStep::Flush, IniStep::Sync, IniStep::Close, IniStep::Rename})
            points.push_back({step, 1, false});
        return points;
    }

    ScratchFolder folder_;
    std::string path_ = folder_.File("config.ini");
    std::string temporary_ = folder_.File("config.in~");
};

TEST_F(IniCrash, FailureAtEveryStepLeavesTheOldFileAndNoTemporary) {
    for (const Scenario& scenario : Scenarios()) {
        for (const Interruption& point : Points(scenario)) {
            SCOPED_TRACE(std::string(scenario.name) + " step " +
                         std::to_string(static_cast<int>(point.step)) + " call " +
                         std::to_string(point.nth));
            Prepare(scenario);
            g_interruption = point;
            g_calls = 0;
            INI_SetFaultHook(InterruptHook);
            EXPECT_EQ(INI_PutString(scenario.section, scenario.key, scenario.value, path_.c_str()),
                      0);
            INI_SetFaultHook(nullptr);
            EXPECT_EQ(g_calls, point.nth);
            EXPECT_EQ(ReadBytes(path_), scenario.before);
            EXPECT_FALSE(Exists(temporary_));
            // The next write goes through as if nothing had happened.
            EXPECT_EQ(INI_PutString(scenario.section, scenario.key, scenario.value, path_.c_str()),
                      1);
            EXPECT_EQ(ReadBytes(path_), scenario.after);
        }
    }
}

TEST_F(IniCrash, ProcessEndingAtEveryStepLeavesTheOldOrTheNewFileWhole) {
    for (const Scenario& scenario : Scenarios()) {
        for (Interruption point : Points(scenario)) {
            SCOPED_TRACE(std::string(scenario.name) + " step " +
                         std::to_string(static_cast<int>(point.step)) + " call " +
                         std::to_string(point.nth));
            point.crash = true;
            Prepare(scenario);
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                g_interruption = point;
                g_calls = 0;
                INI_SetFaultHook(InterruptHook);
                INI_PutString(scenario.section, scenario.key, scenario.value, path_.c_str());
                ::_exit(0); // the interruption point was never reached
            }
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), kCrashedExit);

            const std::string found = ReadBytes(path_);
            EXPECT_TRUE(found == scenario.before || found == scenario.after) << found;
            // Everything before the rename leaves the old file in place.
            EXPECT_EQ(found, scenario.before);
            if (point.step == IniStep::Rename) {
                // Just before the rename the temporary file is complete and on disk.
                EXPECT_EQ(ReadBytes(temporary_), scenario.after);
            }
            // A stale temporary file from the crash does not disturb the next write.
            EXPECT_EQ(INI_PutString(scenario.section, scenario.key, scenario.value, path_.c_str()),
                      1);
            EXPECT_EQ(ReadBytes(path_), scenario.after);
            EXPECT_FALSE(Exists(temporary_));
        }
    }
}

TEST_F(IniCrash, ReadersNeverSeeAFileMissingWhileItIsReplaced) {
    // A reader in the middle of a rewrite, at the moment of the rename, still finds a value.
    static std::string s_path;
    static int s_seen_during_rename;
    s_path = path_;
    s_seen_during_rename = -1;
    WriteBytes(path_, "[GUI]\nLANGUAGE=0\n");
    INI_SetFaultHook([](IniStep step) {
        if (step == IniStep::Rename)
            s_seen_during_rename = INI_GetLong("GUI", "LANGUAGE", -1, s_path.c_str());
        return false;
    });
    ASSERT_EQ(INI_PutLong("GUI", "LANGUAGE", 1, path_.c_str()), 1);
    EXPECT_EQ(s_seen_during_rename, 0);
    EXPECT_EQ(INI_GetLong("GUI", "LANGUAGE", -1, path_.c_str()), 1);
}

} // namespace
