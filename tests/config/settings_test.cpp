#include "config/settings.h"

#include "base/datafolder.h"
#include "base/dbg.h"
#include "tests/util/scratch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string g_output;

void CaptureOutput(const char* text, int length) {
    g_output.append(text, length);
}

// A display unit whose registers 2 to 7 hold the given words.
ConfigIdentity Identity(uint16_t w2, uint16_t w3, uint16_t w4, uint16_t w5, uint16_t w6,
                        uint16_t w7) {
    return ConfigIdentity{{w2, w3, w4, w5, w6, w7}};
}

class Settings : public ::testing::Test {
  protected:
    void SetUp() override {
        UseAppData(folder_.Path());
        g_output.clear();
        DBG_SetSink(CaptureOutput);
    }
    void TearDown() override { DBG_SetSink(nullptr); }

    void UseAppData(const std::string& root) {
        ::setenv("APPDATA", root.c_str(), 1);
        DATA_CreateFolder();
        CONFIG_Init();
        data_ = root + "/Ovalo";
    }

    std::string SettingsFile() const { return data_ + "/config.ini"; }

    ScratchFolder folder_;
    std::string data_;
};

TEST_F(Settings, WithoutAFileTheDefaultsApply) {
    EXPECT_EQ(CONFIG_SettingsPath(), SettingsFile());
    char address[CONFIG_IP_ADDRESS_SIZE];
    EXPECT_EQ(CONFIG_GetIpAddress(address, sizeof address), 13);
    EXPECT_STREQ(address, "192.168.1.160");
    EXPECT_EQ(CONFIG_GetLanguage(), 0);
    EXPECT_EQ(CONFIG_GetLogFileNr(), 0);
    char name[CONFIG_NAME_SIZE] = "x";
    EXPECT_EQ(CONFIG_GetPageName(ConfigIdentity{}, "HOME", name, sizeof name), 0);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(CONFIG_GetDeviceName(ConfigIdentity{}, 3, name, sizeof name), 0);
    EXPECT_EQ(g_output, "");
    EXPECT_FALSE(Exists(SettingsFile()));
}

TEST_F(Settings, ValuesAreStoredInTheSettingsFileAndReadBack) {
    EXPECT_EQ(CONFIG_SetLanguage(1), 1);
    EXPECT_EQ(CONFIG_SetIpAddress("10.0.0.7"), 1);
    EXPECT_EQ(CONFIG_SetLogFileNr(9999), 1);
    EXPECT_EQ(CONFIG_SetLanguage(0), 1);
    EXPECT_EQ(ReadBytes(SettingsFile()),
              "[GUI]\nLANGUAGE=0\n[NETWORK]\nIPAdress=10.0.0.7\n[MODBUS]\nactLogFile=9999\n");
    EXPECT_EQ(CONFIG_SetLanguage(1), 1);
    EXPECT_EQ(CONFIG_GetLanguage(), 1);
    char address[CONFIG_IP_ADDRESS_SIZE];
    EXPECT_EQ(CONFIG_GetIpAddress(address, sizeof address), 8);
    EXPECT_STREQ(address, "10.0.0.7");
    EXPECT_EQ(CONFIG_GetLogFileNr(), 9999);
    EXPECT_EQ(g_output, "");
}

TEST_F(Settings, EmptyAddressAndNegativeLogNumberAreReadAsStored) {
    WriteBytes(SettingsFile(), "[NETWORK]\nIPAdress=\n[MODBUS]\nactLogFile=-3\n");
    char address[CONFIG_IP_ADDRESS_SIZE] = "x";
    EXPECT_EQ(CONFIG_GetIpAddress(address, sizeof address), 0);
    EXPECT_STREQ(address, "");
    EXPECT_EQ(g_output, "");
    EXPECT_EQ(CONFIG_GetLogFileNr(), -3);
    EXPECT_EQ(g_output, "Error reding LogFileNr\n");
}

TEST_F(Settings, TextsAreStoredWholeAndReadBackWithinTheirCapacity) {
    const ConfigIdentity unit = Identity(1, 0, 2, 0, 3, 0);
    const std::string long_name = "A name of thirty-five characters!!!";
    ASSERT_EQ(long_name.size(), 35u);
    EXPECT_EQ(CONFIG_SetPageName(unit, "AMPRX2", long_name.c_str()), 1);
    EXPECT_EQ(CONFIG_SetDeviceName(unit, 12, long_name.c_str()), 1);
    EXPECT_EQ(ReadBytes(CONFIG_NamesFilePath(unit)),
              "[CUSTOM_NAMES]\nAMPRX2=" + long_name + "\n[DEVICE_12]\nCNAME=" + long_name + "\n");

    // Even a larger buffer gets 29 characters.
    char name[64];
    EXPECT_EQ(CONFIG_GetPageName(unit, "AMPRX2", name, sizeof name), 29);
    EXPECT_EQ(std::string(name), long_name.substr(0, 29));
    EXPECT_EQ(CONFIG_GetDeviceName(unit, 12, name, sizeof name), 29);
    EXPECT_EQ(std::string(name), long_name.substr(0, 29));
    EXPECT_EQ(CONFIG_GetDeviceName(unit, 1, name, sizeof name), 0);

    const std::string long_address = "2001:db8::1234:5678:9abc";
    EXPECT_EQ(CONFIG_SetIpAddress(long_address.c_str()), 1);
    EXPECT_EQ(CONFIG_GetIpAddress(name, sizeof name), 19);
    EXPECT_EQ(std::string(name), long_address.substr(0, 19));
    // A smaller buffer than the capacity is respected too.
    EXPECT_EQ(CONFIG_GetIpAddress(name, 5), 4);
    EXPECT_STREQ(name, "2001");
}

TEST_F(Settings, EachDisplayUnitHasItsOwnNamesFile) {
    // Each 32-bit number is formed low word first.
    const ConfigIdentity first = Identity(0x5678, 0x1234, 0xBEEF, 0xDEAD, 0x0001, 0x0000);
    const ConfigIdentity second = Identity(0x000A, 0x0000, 0x000B, 0x0000, 0x000C, 0xFFFF);
    char text[25];
    CONFIG_FormatIdentity(first, text);
    EXPECT_STREQ(text, "12345678DEADBEEF00000001");
    EXPECT_EQ(CONFIG_NamesFilePath(first), data_ + "/conf12345678DEADBEEF00000001.ini");
    EXPECT_EQ(CONFIG_NamesFilePath(ConfigIdentity{}),
              data_ + "/conf" + std::string(24, '0') + ".ini");

    EXPECT_EQ(CONFIG_SetPageName(first, "QUILL", "Boat"), 1);
    EXPECT_EQ(CONFIG_SetPageName(second, "QUILL", "Cabin"), 1);
    EXPECT_EQ(CONFIG_SetDeviceName(second, 0, "Solar \"roof\"; east"), 1);
    EXPECT_TRUE(Exists(data_ + "/conf12345678DEADBEEF00000001.ini"));
    EXPECT_TRUE(Exists(data_ + "/conf0000000A0000000BFFFF000C.ini"));

    char name[CONFIG_NAME_SIZE];
    EXPECT_EQ(CONFIG_GetPageName(first, "quill", name, sizeof name), 4);
    EXPECT_STREQ(name, "Boat");
    EXPECT_EQ(CONFIG_GetPageName(second, "QUILL", name, sizeof name), 5);
    EXPECT_STREQ(name, "Cabin");
    CONFIG_GetDeviceName(second, 0, name, sizeof name);
    EXPECT_STREQ(name, "Solar \"roof\"; east");
    EXPECT_EQ(CONFIG_GetDeviceName(first, 0, name, sizeof name), 0);
    EXPECT_FALSE(Exists(SettingsFile()));
}

TEST_F(Settings, DataFolderDeeperThanOneHundredCharactersWorks) {
    std::string root = folder_.Path();
    while (root.size() < 300)
        root += "/a-rather-long-folder-name";
    ASSERT_EQ(std::system(("mkdir -p '" + root + "'").c_str()), 0);
    UseAppData(root);
    EXPECT_GT(CONFIG_SettingsPath().size(), 300u);
    EXPECT_EQ(CONFIG_SetLanguage(1), 1);
    EXPECT_EQ(CONFIG_GetLanguage(), 1);
    const ConfigIdentity unit = Identity(0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF);
    EXPECT_EQ(CONFIG_SetDeviceName(unit, 69, "Far away"), 1);
    EXPECT_TRUE(Exists(root + "/Ovalo/conf" + std::string(24, 'F') + ".ini"));
    char name[CONFIG_NAME_SIZE];
    EXPECT_EQ(CONFIG_GetDeviceName(unit, 69, name, sizeof name), 8);
    EXPECT_EQ(g_output, "");
}

TEST_F(Settings, SettersReportAFolderThatCannotBeWrittenAndChangeNothing) {
    const ConfigIdentity unit = Identity(7, 0, 0, 0, 0, 0);
    const std::string before = "[GUI]\nLANGUAGE=0\n[NETWORK]\nIPAdress=1.1.1.1\n";
    const std::string names_before = "[CUSTOM_NAMES]\nHOME=Old\n";
    WriteBytes(SettingsFile(), before);
    WriteBytes(CONFIG_NamesFilePath(unit), names_before);
    // Readable for everyone, writable for nobody.
    ASSERT_EQ(::chmod(folder_.Path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(data_.c_str(), 0555), 0);

    // Root writes anywhere: the setters run in a child that has given that up.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(77);
        int failures = 0;
        failures += CONFIG_SetIpAddress("2.2.2.2") == 0;
        failures += CONFIG_SetLanguage(1) == 0;
        failures += CONFIG_SetLogFileNr(4) == 0;
        failures += CONFIG_SetPageName(unit, "HOME", "New") == 0;
        failures += CONFIG_SetDeviceName(unit, 2, "New") == 0;
        const bool messages = g_output == "Error writing IP adress to logfile\n"
                                          "Error writing language to ini\n"
                                          "Error writing LogFileNr\n"
                                          "Error writing custom name into INI-file\n"
                                          "Error write device custom name\n";
        // The values read are still the old ones.
        const bool unchanged = CONFIG_GetLanguage() == 0 && CONFIG_GetLogFileNr() == 0;
        ::_exit(failures == 5 && messages && unchanged ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::chmod(data_.c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot give up root rights here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadBytes(SettingsFile()), before);
    EXPECT_EQ(ReadBytes(CONFIG_NamesFilePath(unit)), names_before);
    EXPECT_FALSE(Exists(data_ + "/config.in~"));
}

TEST_F(Settings, MissingDataFolderGivesDefaultsAndMessages) {
    ::setenv("APPDATA", folder_.File("not-made").c_str(), 1);
    CONFIG_Init();
    EXPECT_EQ(CONFIG_GetLanguage(), 0);
    EXPECT_EQ(CONFIG_SetLanguage(1), 0);
    EXPECT_EQ(CONFIG_SetDeviceName(ConfigIdentity{}, 0, "x"), 0);
    EXPECT_EQ(g_output, "Error writing language to ini\nError write device custom name\n");
    EXPECT_FALSE(Exists(folder_.File("not-made")));
}

} // namespace
