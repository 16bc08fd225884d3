// The command line: what is accepted, what is refused with one line and exit code 2, and how the
// options reach the data folder, the settings, the gateway port and the window's scale.
#include "application/src/cmdline.h"
#include "base/datafolder.h"
#include "config/ini.h"
#include "config/settings.h"
#include "gui/host/host.h"
#include "gui/toolkit/core/gui_init.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The command line reaches the connect page, which brings in the toolkit; its configuration
// hooks come from the toolkit tests' helper library, named here so that the linker takes them.
[[gnu::used]] void (*const kToolkitHooks)() = GUI_ConfigureMemory;

CmdlineOptions Parse(std::initializer_list<const char*> arguments) {
    std::vector<const char*> argv{"veltra-desktop"};
    argv.insert(argv.end(), arguments);
    return CMDLINE_Parse(static_cast<int>(argv.size()), argv.data());
}

int Start(std::initializer_list<const char*> arguments) {
    std::vector<const char*> argv{"veltra-desktop"};
    argv.insert(argv.end(), arguments);
    return CMDLINE_Start(static_cast<int>(argv.size()), argv.data());
}

// A scratch data root; the data folder and the scale go back to their defaults afterwards.
class CmdlineApply : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("veltra-cmdline-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_);
        ::setenv("APPDATA", root_.c_str(), 1);
    }
    void TearDown() override {
        CONFIG_ProposeIpAddress(nullptr);
        DATA_SetFolder(nullptr);
        CONFIG_Init();
        HOST_SetScale(1);
        fs::remove_all(root_);
    }
    fs::path root_;
};

} // namespace

TEST(Cmdline, NoOptionsRunsAsAlways) {
    const CmdlineOptions options = Parse({});
    EXPECT_EQ(options.action, CMDLINE_RUN);
    EXPECT_TRUE(options.gateway_address.empty());
    EXPECT_TRUE(options.gateway_port.empty());
    EXPECT_TRUE(options.data_dir.empty());
    EXPECT_EQ(options.language, -1);
    EXPECT_EQ(options.scale, 0);
}

TEST(Cmdline, EveryOptionInBothFormsAndTheLastRepeatCounts) {
    const CmdlineOptions options = Parse({"--gateway", "10.0.0.7:1502", "--data-dir=/tmp/x",
                                          "--language", "de", "--scale=3", "--scale", "2"});
    ASSERT_EQ(options.action, CMDLINE_RUN) << options.error;
    EXPECT_EQ(options.gateway_address, "10.0.0.7");
    EXPECT_EQ(options.gateway_port, "1502");
    EXPECT_EQ(options.data_dir, "/tmp/x");
    EXPECT_EQ(options.language, 1);
    EXPECT_EQ(options.scale, 2);

    EXPECT_FALSE(options.auto_connect);
    EXPECT_FALSE(options.no_window);
    const CmdlineOptions flags = Parse({"--auto-connect", "--no-window"});
    EXPECT_TRUE(flags.auto_connect);
    EXPECT_TRUE(flags.no_window);

    EXPECT_EQ(options.mqtt_url, "");
    EXPECT_EQ(Parse({"--mqtt", "mqtts://broker:8884"}).mqtt_url, "mqtts://broker:8884");

    const CmdlineOptions plain = Parse({"--gateway=255.255.255.255", "--language=en"});
    EXPECT_EQ(plain.gateway_address, "255.255.255.255");
    EXPECT_EQ(plain.gateway_port, "");
    EXPECT_EQ(plain.language, 0);
}

TEST(Cmdline, BadCommandLinesGiveOneLineNamingTheProblem) {
    struct Case {
        std::initializer_list<const char*> arguments;
        const char* in_error;
    };
    const Case cases[] = {
        {{"--fullscreen"}, "unknown option '--fullscreen'"},
        {{"-x"}, "unknown option '-x'"},
        {{"--help=1"}, "unknown option '--help=1'"},
        {{"--no-window=yes"}, "unknown option '--no-window=yes'"},
        {{"192.168.1.160"}, "unexpected argument '192.168.1.160'"},
        {{"--scale"}, "option '--scale' needs a value"},
        {{"--scale", "0"}, "invalid --scale '0'"},
        {{"--scale", "9"}, "invalid --scale '9'"},
        {{"--scale=2x"}, "invalid --scale '2x'"},
        {{"--scale=02"}, "invalid --scale '02'"},
        {{"--scale="}, "invalid --scale ''"},
        {{"--scale", "-1"}, "invalid --scale '-1'"},
        {{"--language", "fr"}, "invalid --language 'fr'"},
        {{"--data-dir="}, "--data-dir needs a folder"},
        {{"--gateway", "192.168.1"}, "invalid address"},
        {{"--gateway", "192.168.1.256"}, "invalid address"},
        {{"--gateway", "192.168.01.1"}, "invalid address"},
        {{"--gateway", "1.2.3.4.5"}, "invalid address"},
        {{"--gateway", "1..3.4"}, "invalid address"},
        {{"--gateway", "gateway.local"}, "invalid address"},
        {{"--gateway", "1.2.3.4:0"}, "invalid port"},
        {{"--gateway", "1.2.3.4:65536"}, "invalid port"},
        {{"--gateway", "1.2.3.4:"}, "invalid port"},
        {{"--gateway", "1.2.3.4:50x"}, "invalid port"},
        {{"--gateway", "1.2.3.4:5:6"}, "invalid port"},
        {{"--web"}, "option '--web' needs a value"},
        {{"--web", "80a"}, "--web: invalid port"},
        {{"--web", "65536"}, "--web: invalid port"},
        {{"--web", "1.2.3:80"}, "--web: invalid address"},
        {{"--web=host.local:80"}, "--web: invalid address"},
        {{"--web-url=1"}, "unknown option '--web-url=1'"},
        {{"--mqtt", "http://broker"}, "invalid --mqtt"},
        {{"--mqtt", "mqtt://broker:0"}, "invalid --mqtt"},
        // The first error is reported even after --help.
        {{"--help", "--bogus"}, "unknown option '--bogus'"},
    };
    for (const Case& c : cases) {
        const CmdlineOptions options = Parse(c.arguments);
        EXPECT_EQ(options.action, CMDLINE_BAD) << *c.arguments.begin();
        EXPECT_NE(options.error.find(c.in_error), std::string::npos)
            << "error: " << options.error << "\nexpected to contain: " << c.in_error;
        EXPECT_EQ(options.error.find('\n'), std::string::npos) << options.error;
    }
}

TEST(Cmdline, HelpListsEveryOptionAndStartEndsWithTheRightCodes) {
    EXPECT_EQ(Parse({"--version"}).action, CMDLINE_SHOW_VERSION);
    EXPECT_EQ(Parse({"--version", "-h"}).action, CMDLINE_SHOW_HELP);
    const std::string help = CMDLINE_HelpText();
    for (const char* option :
         {"--gateway ADDRESS[:PORT]", "--data-dir DIR", "--language en|de", "--scale N",
          "--auto-connect", "--no-window", "--web [ADDRESS:]PORT", "--web-url", "--mqtt URL",
          "--help", "--version", "VELTRA_HOST", "VELTRA_NO_MESSAGE_BOX", "VELTRA_GATEWAY_PORT",
          "APPDATA"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    EXPECT_EQ(CMDLINE_VersionText().rfind("veltra-desktop 1.", 0), 0u);

    testing::internal::CaptureStdout();
    EXPECT_EQ(Start({"--help"}), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), help);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Start({"--scale", "9"}), CMDLINE_EXIT_USAGE);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "veltra-desktop: invalid --scale '9': expected 1, 2, 3 or 4\n");
}

TEST_F(CmdlineApply, OptionsReachTheDataFolderSettingsAndWindow) {
    const fs::path chosen = root_ / "new" / "data";
    const std::string dir_option = "--data-dir=" + chosen.string();
    ASSERT_EQ(Start({dir_option.c_str(), "--language", "de", "--gateway", "10.1.2.3:1502",
                     "--scale", "3"}),
              -1);
    EXPECT_TRUE(fs::is_directory(chosen)) << "missing parents are created";
    EXPECT_EQ(DATA_Folder(), chosen.string());
    EXPECT_EQ(CONFIG_SettingsPath(), (chosen / "config.ini").string());
    EXPECT_EQ(CONFIG_GetLanguage(), 1);
    // The address is proposed until one connects; the settings file keeps the old one.
    char address[CONFIG_IP_ADDRESS_SIZE];
    CONFIG_GetIpAddress(address, sizeof address);
    EXPECT_STREQ(address, "10.1.2.3");
    EXPECT_STREQ(CMDLINE_GatewayAddress(), "10.1.2.3");
    const std::string settings = (chosen / "config.ini").string();
    char stored[CONFIG_IP_ADDRESS_SIZE];
    INI_GetString("NETWORK", "IPAdress", "none", stored, sizeof stored, settings.c_str());
    EXPECT_STREQ(stored, "none");
    CONFIG_SetIpAddress("10.9.9.9"); // the user connected to another one
    CONFIG_GetIpAddress(address, sizeof address);
    EXPECT_STREQ(address, "10.9.9.9");
    EXPECT_EQ(HOST_GetScale(), 3);
    EXPECT_FALSE(fs::exists(root_ / "Ovalo")) << "the usual folder is left alone";
}

TEST_F(CmdlineApply, ScaleComesFromTheSettingsWhenNotGivenAndABadOneIsIgnored) {
    const std::string settings = (root_ / "Ovalo" / "config.ini").string();
    fs::create_directories(root_ / "Ovalo");
    INI_PutLong("GUI", "SCALE", 2, settings.c_str());
    ASSERT_EQ(Start({}), -1);
    EXPECT_EQ(HOST_GetScale(), 2);
    ASSERT_EQ(Start({"--scale", "4"}), -1);
    EXPECT_EQ(HOST_GetScale(), 4);

    INI_PutLong("GUI", "SCALE", 7, settings.c_str());
    ASSERT_EQ(Start({}), -1);
    EXPECT_EQ(HOST_GetScale(), 1);
    // Nothing given: the settings file is only read, never written.
    EXPECT_EQ(INI_GetLong("GUI", "LANGUAGE", -5, settings.c_str()), -5);
}

TEST_F(CmdlineApply, WebUrlPrintsTheAddressWithTheKeptToken) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(Start({"--web-url"}), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("the browser view is off"),
              std::string::npos);

    const fs::path folder = root_ / "Ovalo";
    const std::string settings = (folder / "config.ini").string();
    fs::create_directories(folder);
    INI_PutString("WEB", "LISTEN", "8123", settings.c_str());
    testing::internal::CaptureStdout();
    EXPECT_EQ(Start({"--web-url"}), 0);
    const std::string first = testing::internal::GetCapturedStdout();
    ASSERT_EQ(first.rfind("http://127.0.0.1:8123/?token=", 0), 0u) << first;
    const std::string token = first.substr(first.find('=') + 1, 32);
    EXPECT_EQ(first.size(), std::string("http://127.0.0.1:8123/?token=\n").size() + 32);
    EXPECT_EQ(fs::status(folder / "webtoken").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    // --web comes before the settings; the token stays the same.
    testing::internal::CaptureStdout();
    EXPECT_EQ(Start({"--web", "10.0.0.1:9000", "--web-url"}), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "http://10.0.0.1:9000/?token=" + token + "\n");

    // A LISTEN that is not an address turns the browser view off rather than guessing.
    INI_PutString("WEB", "LISTEN", "everywhere", settings.c_str());
    testing::internal::CaptureStderr();
    EXPECT_EQ(Start({"--web-url"}), 1);
    testing::internal::GetCapturedStderr();
}

TEST_F(CmdlineApply, ADataFolderThatCannotBeCreatedIsABadCommandLine) {
    const fs::path file = root_ / "plain-file";
    {
        std::FILE* f = std::fopen(file.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    const std::string dir_option = "--data-dir=" + (file / "data").string();
    testing::internal::CaptureStderr();
    EXPECT_EQ(Start({dir_option.c_str()}), CMDLINE_EXIT_USAGE);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot create the data folder"),
              std::string::npos);
}
