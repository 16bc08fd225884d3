// The shipped language files, and loading them from the Data_Media folder.
#include "application/src/lang.h"
#include "base/dbg.h"
#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/gui_font.h"
#include "gui/toolkit/lang/gui_lang.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> g_errors;
std::string g_diagnostics;

void CaptureReport(bool, const char* text) {
    g_errors.emplace_back(text);
}

void CaptureDiagnostics(const char* text, int length) {
    g_diagnostics.append(text, static_cast<size_t>(length));
}

// Every text number the program asks for.
constexpr int kUsedNumbers[] = {19,  163, 164, 165, 166, 167, 169, 171, 172, 173, 174, 175,
                                182, 183, 184, 185, 187, 188, 190, 191, 192, 193, 194,
                                195, 196, 197};

const std::string kMedia = std::string(VELTRA_SOURCE_DIR) + "/Data_Media/";

class LangFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_errors.clear();
        g_diagnostics.clear();
        GUI_SetReportHook(CaptureReport);
        DBG_SetSink(CaptureDiagnostics);
        GUI_Lang_SetCount(LANG_NUM_LANGUAGES);
        GUI_Lang_Select(LANG_ENGLISH);
    }
    void TearDown() override {
        GUI_SetReportHook(nullptr);
        DBG_SetSink(nullptr);
    }
};

// A scratch working folder, left and removed at the end.
class ScratchWorkingFolder {
  public:
    ScratchWorkingFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/veltra-lang-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
        previous_ = std::filesystem::current_path();
        std::filesystem::create_directory(path_ + "/Data_Media");
        std::filesystem::current_path(path_);
    }
    ~ScratchWorkingFolder() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchWorkingFolder(const ScratchWorkingFolder&) = delete;
    ScratchWorkingFolder& operator=(const ScratchWorkingFolder&) = delete;

    void Write(const char* name, const std::string& bytes) const {
        std::ofstream(path_ + "/Data_Media/" + name, std::ios::binary) << bytes;
    }

  private:
    std::string path_;
    std::filesystem::path previous_;
};

TEST_F(LangFilesTest, ShippedFilesHoldARealTextForEveryUsedNumber) {
    for (const auto& [file, index] :
         {std::pair{"l_en.txt", LANG_ENGLISH}, std::pair{"l_de.txt", LANG_GERMAN}}) {
        SCOPED_TRACE(file);
        ASSERT_EQ(LANG_LoadFile((kMedia + file).c_str(), index), 0);
        EXPECT_TRUE(g_errors.empty()) << "the file is not clean UTF-8";
        EXPECT_GE(GUI_Lang_GetNumTexts(index), 194);
        GUI_Lang_Select(index);
        for (int n = 0; n < GUI_Lang_GetNumTexts(index); ++n) {
            const char* text = GUI_Lang_GetText(n);
            ASSERT_NE(text, nullptr) << n;
            // Texts 163 and 164 are used as formats; no text may carry a conversion.
            EXPECT_EQ(std::strchr(text, '%'), nullptr) << n;
            // Every character is one the fonts can draw (none became "?").
            EXPECT_EQ(std::strchr(text, '?'), nullptr) << n;
        }
        for (const int n : kUsedNumbers) {
            const std::string text = GUI_Lang_GetText(n);
            EXPECT_FALSE(text.empty()) << n;
            EXPECT_NE(text.rfind("[text", 0), 0u) << n << ": " << text;
        }
        // The level sensors' names fit the 19 characters of a device name.
        for (int n = 190; n <= 193; ++n)
            EXPECT_LE(std::strlen(GUI_Lang_GetText(n)), 19u) << n;
    }
}

// Width in pixels of a Latin-1 text; -1 when the font lacks one of its characters.
int TextWidth(const GUI_FONTDEF& font, const char* text) {
    int width = 0;
    for (const char* s = text; *s != '\0'; ++s) {
        const GUI_CHARINFO* info = GUI_FontFindChar(&font, static_cast<unsigned char>(*s));
        if (info == nullptr) return -1;
        width += info->advance;
    }
    return width;
}

TEST_F(LangFilesTest, ConnectPageTextsFitTheirBoxes) {
    for (const auto& [file, index] :
         {std::pair{"l_en.txt", LANG_ENGLISH}, std::pair{"l_de.txt", LANG_GERMAN}}) {
        SCOPED_TRACE(file);
        ASSERT_EQ(LANG_LoadFile((kMedia + file).c_str(), index), 0);
        GUI_Lang_Select(index);
        // Every used text can be drawn, from the smallest font of a status line up.
        for (const int n : kUsedNumbers) {
            EXPECT_GE(TextWidth(FONT_13, GUI_Lang_GetText(n)), 0) << n;
            EXPECT_GE(TextWidth(FONT_24, GUI_Lang_GetText(n)), 0) << n;
        }
        // The caption is 320 pixels wide in FONT_24; the hint's 320 x 15 box takes a font of
        // 13 pixels.
        EXPECT_LE(TextWidth(FONT_24, GUI_Lang_GetText(19)), 320);
        EXPECT_LE(TextWidth(FONT_13, GUI_Lang_GetText(182)), 320);
    }
}

TEST_F(LangFilesTest, GermanTextsKeepTheirUmlautsAsLatin1) {
    ASSERT_EQ(LANG_LoadFile((kMedia + "l_de.txt").c_str(), LANG_GERMAN), 0);
    GUI_Lang_Select(LANG_GERMAN);
    EXPECT_STREQ(GUI_Lang_GetText(175), "Ger\xE4tesuche beendet");
    EXPECT_STREQ(GUI_Lang_GetText(190), "F\xFCllstandsensor 1");
}

TEST_F(LangFilesTest, EnglishFileDecidesTheResult) {
    ScratchWorkingFolder folder;
    folder.Write("l_de.txt", "Deutsch\n");
    EXPECT_EQ(LANG_LoadFiles(), 1);
    EXPECT_EQ(GUI_Lang_GetCount(), LANG_NUM_LANGUAGES);
    EXPECT_EQ(GUI_Lang_GetNumTexts(LANG_GERMAN), 1);
    EXPECT_NE(g_diagnostics.find("l_en.txt: cannot be opened"), std::string::npos) << g_diagnostics;

    folder.Write("l_en.txt", "English\r\n");
    std::filesystem::remove("Data_Media/l_de.txt");
    g_diagnostics.clear();
    EXPECT_EQ(LANG_LoadFiles(), 0);
    EXPECT_STREQ(GUI_Lang_GetText(0), "English");
    EXPECT_NE(g_diagnostics.find("l_de.txt: cannot be opened"), std::string::npos);
    EXPECT_EQ(GUI_Lang_GetNumTexts(LANG_GERMAN), 0) << "German texts of the earlier load stayed";
}

TEST_F(LangFilesTest, UnreadableFilesAreRefused) {
    ScratchWorkingFolder folder;
    EXPECT_EQ(LANG_LoadFile("Data_Media", LANG_ENGLISH), 1);
    EXPECT_NE(g_diagnostics.find("is not a regular file"), std::string::npos);
    folder.Write("big.txt", std::string(LANG_MAX_FILE_BYTES + 1, 'x'));
    EXPECT_EQ(LANG_LoadFile("Data_Media/big.txt", LANG_ENGLISH), 1);
    EXPECT_NE(g_diagnostics.find("is too large"), std::string::npos);
    EXPECT_EQ(GUI_Lang_GetNumTexts(LANG_ENGLISH), 0);
    // An empty file loads as a language without texts.
    folder.Write("empty.txt", "");
    EXPECT_EQ(LANG_LoadFile("Data_Media/empty.txt", LANG_ENGLISH), 0);
    EXPECT_EQ(GUI_Lang_GetText(0), nullptr);
}

} // namespace
