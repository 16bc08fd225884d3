#include "gui/toolkit/core/gui_report.h"
#include "gui/toolkit/lang/gui_lang.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> g_errors;

void CaptureReport(bool is_error, const char* text) {
    if (is_error) g_errors.emplace_back(text);
}

constexpr char kIllegal[] =
    "GUI_Lang:\nIllegal character during UTF-8 decoding in _GetCharBuffered()!";

class LangTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_errors.clear();
        GUI_SetReportHook(CaptureReport);
        GUI_Lang_SetCount(2);
        GUI_Lang_Select(0);
    }
    void TearDown() override { GUI_SetReportHook(nullptr); }

    // Loads the bytes as language 0 and returns all its texts.
    static std::vector<std::string> Texts(const std::string& bytes, int index = 0) {
        EXPECT_EQ(GUI_Lang_Load(bytes.data(), static_cast<int>(bytes.size()), index), 0);
        const int previous = GUI_Lang_Select(index);
        std::vector<std::string> texts;
        for (int n = 0; n < GUI_Lang_GetNumTexts(index); ++n)
            texts.emplace_back(GUI_Lang_GetText(n));
        GUI_Lang_Select(previous);
        return texts;
    }

    static std::string Lines(int count, const char* line_end) {
        std::string bytes;
        for (int n = 0; n < count; ++n)
            bytes += "text " + std::to_string(n) + line_end;
        return bytes;
    }
};

using Strings = std::vector<std::string>;

TEST_F(LangTest, EveryKindOfLineEndGivesTheSameTexts) {
    const Strings expected = {"first", "second  ", " third", "last"};
    EXPECT_EQ(Texts("first\nsecond  \n third\nlast\n"), expected);
    EXPECT_EQ(Texts("first\r\nsecond  \r\n third\r\nlast\r\n"), expected);
    EXPECT_EQ(Texts("first\rsecond  \r third\rlast"), expected);
    EXPECT_EQ(Texts("first\n\r\r\nsecond  \n\n third\r\r\rlast"), expected);
}

TEST_F(LangTest, BlankLinesShiftNothing) {
    EXPECT_EQ(Texts("\n\r\na\n\n\nb\r\n\r\n\r\nc\n\n"), (Strings{"a", "b", "c"}));
    // A line of blanks is a text: only line ends separate texts.
    EXPECT_EQ(Texts("a\n \n\tb"), (Strings{"a", " ", "\tb"}));
    EXPECT_EQ(Texts(""), Strings{});
    EXPECT_EQ(Texts("\r\n\n\r"), Strings{});
}

TEST_F(LangTest, TextsAreTheLinesUnchanged) {
    // No comment, quote or escape syntax.
    EXPECT_EQ(Texts("# not a comment\n\"quoted\"\nback\\nslash ; x = 1\n"),
              (Strings{"# not a comment", "\"quoted\"", "back\\nslash ; x = 1"}));
}

TEST_F(LangTest, NumbersBeyondTheLastTextGiveNoText) {
    const std::string bytes = Lines(194, "\r\n");
    ASSERT_EQ(GUI_Lang_Load(bytes.data(), static_cast<int>(bytes.size()), 0), 0);
    EXPECT_EQ(GUI_Lang_GetNumTexts(0), 194);
    EXPECT_STREQ(GUI_Lang_GetText(0), "text 0");
    EXPECT_STREQ(GUI_Lang_GetText(193), "text 193");
    EXPECT_EQ(GUI_Lang_GetText(194), nullptr);
    EXPECT_EQ(GUI_Lang_GetText(-1), nullptr);
}

TEST_F(LangTest, LastTextWithoutLineEndIsTerminated) {
    // The caller's bytes are copied, so a text that runs to the end of the data still gets its
    // terminating zero and the caller's buffer stays as it was.
    const std::string bytes = "one\ntwo";
    ASSERT_EQ(GUI_Lang_Load(bytes.data(), 7, 0), 0);
    EXPECT_STREQ(GUI_Lang_GetText(1), "two");
    EXPECT_EQ(bytes, "one\ntwo");
    // Only the given size counts.
    ASSERT_EQ(GUI_Lang_Load(bytes.data(), 5, 0), 0);
    EXPECT_STREQ(GUI_Lang_GetText(1), "t");
}

TEST_F(LangTest, SelectionKeepsTheLanguageOnAnInvalidIndex) {
    Texts("english\n", 0);
    Texts("deutsch\n", 1);
    EXPECT_EQ(GUI_Lang_Select(1), 0);
    EXPECT_STREQ(GUI_Lang_GetText(0), "deutsch");
    EXPECT_EQ(GUI_Lang_Select(2), 0);
    EXPECT_EQ(GUI_Lang_Select(-1), 0);
    EXPECT_EQ(GUI_Lang_GetSelected(), 1);
    EXPECT_STREQ(GUI_Lang_GetText(0), "deutsch");
    EXPECT_EQ(GUI_Lang_Select(0), 1);
    EXPECT_STREQ(GUI_Lang_GetText(0), "english");
}

TEST_F(LangTest, LanguageWithoutTextsGivesNoText) {
    Texts("english\n", 0);
    // German missing: with it selected every text is missing.
    GUI_Lang_Select(1);
    EXPECT_EQ(GUI_Lang_GetText(0), nullptr);
    // Setting the number again starts every language empty, also one loaded before.
    Texts("deutsch\n", 1);
    GUI_Lang_SetCount(2);
    EXPECT_EQ(GUI_Lang_GetNumTexts(0), 0);
    EXPECT_EQ(GUI_Lang_GetText(0), nullptr);
}

TEST_F(LangTest, IndexNotBelowTheCountIsRefusedAndLoadsNothing) {
    const std::string bytes = "x\n";
    EXPECT_EQ(GUI_Lang_Load(bytes.data(), 2, 2), 0);
    EXPECT_EQ(GUI_Lang_Load(bytes.data(), 2, -1), 0);
    EXPECT_EQ(GUI_Lang_GetNumTexts(2), 0);
    GUI_Lang_SetCount(3);
    EXPECT_EQ(GUI_Lang_GetNumTexts(2), 0);
    // Counts beyond the module's capacity are cut to it.
    GUI_Lang_SetCount(GUI_LANG_MAX_LANGUAGES + 5);
    EXPECT_EQ(GUI_Lang_GetCount(), GUI_LANG_MAX_LANGUAGES);
    EXPECT_EQ(GUI_Lang_Load(bytes.data(), 2, GUI_LANG_MAX_LANGUAGES), 0);
    EXPECT_EQ(GUI_Lang_GetNumTexts(GUI_LANG_MAX_LANGUAGES), 0);
    EXPECT_EQ(GUI_Lang_Select(GUI_LANG_MAX_LANGUAGES), 0);
}

TEST_F(LangTest, MissingDataIsRefused) {
    EXPECT_EQ(GUI_Lang_Load(nullptr, 10, 0), 1);
    EXPECT_EQ(GUI_Lang_Load("abc", -1, 0), 1);
    EXPECT_EQ(GUI_Lang_Load(nullptr, 0, 0), 0);
    EXPECT_EQ(GUI_Lang_GetNumTexts(0), 0);
}

TEST_F(LangTest, LoadingAgainReplacesTheTexts) {
    EXPECT_EQ(Texts("a\nb\nc\n"), (Strings{"a", "b", "c"}));
    EXPECT_EQ(Texts("z\n"), Strings{"z"});
    EXPECT_EQ(GUI_Lang_GetText(1), nullptr);
}

TEST_F(LangTest, IllegalBytesReportOnceAndCountAsOneCharacter) {
    EXPECT_EQ(Texts("A\xFF"
                    "B\nnext\n"),
              (Strings{"A\x01"
                       "B",
                       "next"}));
    EXPECT_EQ(g_errors, Strings{kIllegal});

    // A stray continuation byte, and a four-byte sequence: every byte is one illegal character.
    g_errors.clear();
    EXPECT_EQ(Texts("\x80x\n\xF0\x9F\x98\x80\n"), (Strings{"\x01x", "\x01\x01\x01\x01"}));
    EXPECT_EQ(g_errors.size(), 5u);

    // Byte 1 itself is an ordinary character.
    g_errors.clear();
    EXPECT_EQ(Texts("\x01\n"), Strings{"\x01"});
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(LangTest, BrokenSequenceNeverSwallowsALineEnd) {
    // A lead byte whose sequence is cut by a line end or the end of the data is illegal by
    // itself; the line end still separates the texts.
    EXPECT_EQ(Texts("a\xC3\nb\xE2\x82\r\nc\xE2"), (Strings{"a\x01", "b\x01\x01", "c\x01"}));
    EXPECT_EQ(g_errors.size(), 4u);
    // Overlong forms (of "/" and of a line feed) are illegal, not characters.
    g_errors.clear();
    EXPECT_EQ(Texts("\xC0\xAF|\xE0\x80\x8A|"), (Strings{"\x01\x01|\x01\x01\x01|"}));
    EXPECT_EQ(g_errors.size(), 5u);
}

TEST_F(LangTest, TextsLoadAsLatin1) {
    // German umlauts and sharp s become their Latin-1 bytes; characters beyond Latin-1 become
    // "?", so the numbering and the other characters stay in place.
    EXPECT_EQ(Texts("Gr\xC3\xB6\xC3\x9F"
                    "e \xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xBC\n"
                    "10 \xE2\x82\xAC \xC2\xB0"
                    "C\n"
                    "\xE2\x80\xA6\n"),
              (Strings{"Gr\xF6\xDF"
                       "e \xC4\xD6\xDC\xE4\xFC",
                       "10 ? \xB0"
                       "C",
                       "?"}));
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(LangTest, TextsStayWholeWhileTheLanguageChanges) {
    Texts("english text\n", 0);
    Texts("deutscher Text\n", 1);
    std::atomic<bool> stop{false};
    std::thread selector([&] {
        for (int i = 0; i < 2000; ++i)
            GUI_Lang_Select(i & 1);
        stop = true;
    });
    int bad = 0;
    while (!stop) {
        const char* text = GUI_Lang_GetText(0);
        if (text == nullptr ||
            (std::string(text) != "english text" && std::string(text) != "deutscher Text"))
            ++bad;
    }
    selector.join();
    EXPECT_EQ(bad, 0);
}

} // namespace
