#include "config/ini.h"

#include "tests/util/scratch.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <sys/time.h>

namespace {

using namespace std::string_literals;

class Ini : public ::testing::Test {
  protected:
    std::string Get(const char* section, const char* key, const char* fallback = "<none>") {
        char value[512];
        const int length =
            INI_GetString(section, key, fallback, value, sizeof value, path_.c_str());
        EXPECT_EQ(length, static_cast<int>(std::string(value).size()));
        return value;
    }
    void Put(const char* section, const char* key, const char* value) {
        ASSERT_EQ(INI_PutString(section, key, value, path_.c_str()), 1);
    }

    ScratchFolder folder_;
    std::string path_ = folder_.File("config.ini");
};

TEST_F(Ini, ReadsTheBareValueAroundBlanksCommentsAndSeparators) {
    WriteBytes(path_, "; leading comment\n"
                      "[S]\n"
                      "  # a comment = not a key\n"
                      "no separator here\n"
                      "key1  =  value one  ; trailing comment\n"
                      "key2:colon value # other comment\n"
                      "key3 = a:b=c\n"
                      "url: http=x\n"
                      "empty=\n"
                      "[T]\n"
                      "key1=other section\n");
    EXPECT_EQ(Get("S", "key1"), "value one");
    EXPECT_EQ(Get("S", "key2"), "colon value");
    EXPECT_EQ(Get("S", "key3"), "a:b=c");
    // With an "=" on the line the key ends there, even after a ":".
    EXPECT_EQ(Get("S", "url: http"), "x");
    EXPECT_EQ(Get("S", "empty"), "");
    EXPECT_EQ(Get("S", "# a comment"), "<none>");
    EXPECT_EQ(Get("S", "key"), "<none>"); // keys must have the requested length
    EXPECT_EQ(Get("T", "key1"), "other section");
    EXPECT_EQ(Get("U", "key1"), "<none>");
}

TEST_F(Ini, CrlfFilesReadLikeLfFiles) {
    WriteBytes(path_,
               "[GUI]\r\nLANGUAGE = 1 \r\nname=\"quoted\"\r\n[NETWORK]\r\nIPAdress=10.0.0.1\r\n");
    EXPECT_EQ(INI_GetLong("GUI", "LANGUAGE", 0, path_.c_str()), 1);
    EXPECT_EQ(Get("GUI", "name"), "quoted");
    EXPECT_EQ(Get("NETWORK", "IPAdress"), "10.0.0.1");
}

TEST_F(Ini, QuotedValuesRoundTripWithCommentSignsAndInnerQuotes) {
    Put("S", "a", "x;y");
    Put("S", "b", "say \"hi\"");
    Put("S", "c", "ends with space ");
    Put("S", "d", "#hash");
    Put("S", "e", "back\\slash");
    EXPECT_EQ(ReadBytes(path_), "[S]\n"
                                "a=\"x;y\"\n"
                                "b=\"say \\\"hi\\\"\"\n"
                                "c=\"ends with space \"\n"
                                "d=\"#hash\"\n"
                                "e=back\\slash\n");
    EXPECT_EQ(Get("S", "a"), "x;y");
    EXPECT_EQ(Get("S", "b"), "say \"hi\"");
    EXPECT_EQ(Get("S", "c"), "ends with space ");
    EXPECT_EQ(Get("S", "d"), "#hash");
    EXPECT_EQ(Get("S", "e"), "back\\slash");
}

TEST_F(Ini, ReadsEscapedQuotesWrittenByHand) {
    WriteBytes(path_, "[S]\n"
                      "doubled=\"a \"\"b\"\" ; c\" ; comment\n"
                      "unquoted=say \\\"x\\\" ; comment\n"
                      "half=\"open ; still inside\n"
                      "lone=\"\n");
    EXPECT_EQ(Get("S", "doubled"), "a \"b\" ; c");
    // Without outer quotes the escapes stay as written.
    EXPECT_EQ(Get("S", "unquoted"), "say \\\"x\\\"");
    EXPECT_EQ(Get("S", "half"), "\"open ; still inside");
    EXPECT_EQ(Get("S", "lone"), "\"");
}

TEST_F(Ini, HeaderWithBlanksInsideTheBracketsDoesNotMatch) {
    WriteBytes(path_, "[ GUI ]\nLANGUAGE=1\n[GUI ] tail\nLANGUAGE=2\n");
    EXPECT_EQ(INI_GetLong("GUI", "LANGUAGE", 7, path_.c_str()), 7);
    Put("GUI", "LANGUAGE", "3");
    EXPECT_EQ(ReadBytes(path_),
              "[ GUI ]\nLANGUAGE=1\n[GUI ] tail\nLANGUAGE=2\n[GUI]\nLANGUAGE=3\n");
    // Text after the "]" is ignored.
    WriteBytes(path_, "[GUI] trailing words\nLANGUAGE=4\n");
    EXPECT_EQ(INI_GetLong("GUI", "LANGUAGE", 7, path_.c_str()), 4);
}

TEST_F(Ini, OtherLetterCaseMatchesAndTheRewriteUsesTheCallersSpelling) {
    WriteBytes(path_, "[network]\nipadress = 1.2.3.4 ; old address\nother=1\n");
    EXPECT_EQ(Get("NETWORK", "IPAdress"), "1.2.3.4");
    Put("NETWORK", "IPAdress", "5.6.7.8");
    EXPECT_EQ(ReadBytes(path_), "[network]\nIPAdress=5.6.7.8\nother=1\n");
}

TEST_F(Ini, UnchangedValueLeavesBytesAndTimeStampAlone) {
    const std::string before = "[S]\nkey = same ; a comment kept\n";
    WriteBytes(path_, before);
    // An old time stamp: any rewrite would replace it with the present time.
    const struct timeval old_times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimes(path_.c_str(), old_times), 0);
    struct stat info {};
    ASSERT_EQ(::stat(path_.c_str(), &info), 0);
    const ino_t inode = info.st_ino;

    Put("S", "key", "same");
    ASSERT_EQ(::stat(path_.c_str(), &info), 0);
    EXPECT_EQ(ReadBytes(path_), before);
    EXPECT_EQ(info.st_mtime, 1000000000);
    EXPECT_EQ(info.st_ino, inode);

    // Values compare case-sensitively.
    Put("S", "key", "Same");
    EXPECT_EQ(ReadBytes(path_), "[S]\nkey=Same\n");
}

TEST_F(Ini, MissingSectionIsAppendedAfterALineEnd) {
    WriteBytes(path_, "[A]\nx=1");
    Put("B", "y", "2");
    EXPECT_EQ(ReadBytes(path_), "[A]\nx=1\n[B]\ny=2\n");
    Put("C", "z", "3");
    EXPECT_EQ(ReadBytes(path_), "[A]\nx=1\n[B]\ny=2\n[C]\nz=3\n");

    WriteBytes(path_, "");
    Put("A", "x", "1");
    EXPECT_EQ(ReadBytes(path_), "[A]\nx=1\n");
}

TEST_F(Ini, MissingKeyGoesAtTheEndOfItsSection) {
    WriteBytes(path_, "[A]\nx=1\n; note\n[B]\nz=3\n");
    Put("A", "y", "2");
    EXPECT_EQ(ReadBytes(path_), "[A]\nx=1\n; note\ny=2\n[B]\nz=3\n");
    Put("B", "w", "4");
    EXPECT_EQ(ReadBytes(path_), "[A]\nx=1\n; note\ny=2\n[B]\nz=3\nw=4\n");

    WriteBytes(path_, "[A]\r\nx=1");
    Put("A", "y", "2");
    EXPECT_EQ(ReadBytes(path_), "[A]\r\nx=1\ny=2\n");
}

TEST_F(Ini, RewriteCopiesOtherLinesByteForByte) {
    const std::string head = "\xEF\xBB\xBF; \xC3\xA4 umlaut\r\n[A]\r\nodd line\r\nx = 1 ; c\r\n";
    const std::string tail = "nul\0byte=1\r\n[B]\r\n\tz=3"s;
    WriteBytes(path_, head + "key=old # gone\r\n" + tail);
    Put("A", "key", "new");
    EXPECT_EQ(ReadBytes(path_), head + "key=new\n" + tail);
    // Only the first section of a name counts.
    WriteBytes(path_, "[A]\nx=1\n[a]\nkey=2\n");
    Put("A", "key", "3");
    EXPECT_EQ(ReadBytes(path_), "[A]\nx=1\nkey=3\n[a]\nkey=2\n");
}

TEST_F(Ini, LongLinesAreReadInPiecesOf511Characters) {
    // "x=" and 509 letters fill one piece; the rest of the line is a line of its own.
    const std::string letters(509, 'a');
    WriteBytes(path_, "[S]\nx=" + letters + "key=tail\n");
    EXPECT_EQ(Get("S", "x"), letters);
    EXPECT_EQ(Get("S", "key"), "tail");

    // A piece that starts with "[" ends the section.
    WriteBytes(path_, "[S]\nlong=" + std::string(506, 'b') + "[T]\nkey=in T\n");
    EXPECT_EQ(Get("T", "key"), "in T");
    EXPECT_EQ(Get("S", "key"), "<none>");

    // The rewrite keeps the pieces as they were.
    WriteBytes(path_, "[S]\nx=" + letters + "key=tail\n");
    Put("S", "key", "new");
    EXPECT_EQ(ReadBytes(path_), "[S]\nx=" + letters + "key=new\n");
}

TEST_F(Ini, WrittenLinesAreCutToTheLineBuffer) {
    const std::string long_value(600, 'v');
    Put("S", std::string(600, 'k').c_str(), long_value.c_str());
    EXPECT_EQ(ReadBytes(path_), "[S]\n" + std::string(508, 'k') + "=\n");

    WriteBytes(path_, "");
    Put(std::string(600, 's').c_str(), "k", long_value.c_str());
    EXPECT_EQ(ReadBytes(path_),
              "[" + std::string(508, 's') + "]\nk=" + std::string(507, 'v') + "\n");
    EXPECT_EQ(Get(std::string(508, 's').c_str(), "k"), std::string(507, 'v'));
}

TEST_F(Ini, BytesOf128OrMoreAreLettersNotBlanks) {
    // Latin-1 names written and read back whole, first and last letter included.
    Put("S", "name", "Boot gro\xDF");
    Put("S", "cafe", "Caf\xE9");
    Put("S", "lead", "\xE4rger");
    EXPECT_EQ(Get("S", "name"), "Boot gro\xDF");
    EXPECT_EQ(Get("S", "cafe"), "Caf\xE9");
    EXPECT_EQ(Get("S", "lead"), "\xE4rger");
    EXPECT_EQ(ReadBytes(path_), "[S]\nname=Boot gro\xDF\ncafe=Caf\xE9\nlead=\xE4rger\n");

    // Trailing blanks, tabs and "\r" still go; a high byte before them stays.
    WriteBytes(path_, "[S]\nname=Caf\xE9 \t \r\nnbsp=\xA0 x\xA0\n\374ber = 1\n");
    EXPECT_EQ(Get("S", "name"), "Caf\xE9");
    EXPECT_EQ(Get("S", "nbsp"), "\xA0 x\xA0");
    EXPECT_EQ(Get("S", "\374ber"), "1");
    EXPECT_EQ(Get("S", "ber"), "<none>");
}

TEST_F(Ini, GetStringRespectsTheCallersBuffer) {
    WriteBytes(path_, "[S]\nkey=abcdef\n");
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(INI_GetString("S", "key", "dflt", buffer, 0, path_.c_str()), 0);
    EXPECT_STREQ(buffer, "xxxxxxx");
    EXPECT_EQ(INI_GetString("S", "key", "dflt", nullptr, 8, path_.c_str()), 0);
    EXPECT_EQ(INI_GetString("S", "key", "dflt", buffer, 4, path_.c_str()), 3);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(INI_GetString("S", "nokey", "default", buffer, 4, path_.c_str()), 3);
    EXPECT_STREQ(buffer, "def");
    EXPECT_EQ(INI_GetString("S", "key", "dflt", buffer, 1, path_.c_str()), 0);
    EXPECT_STREQ(buffer, "");
    const std::string missing = folder_.File("missing.ini");
    EXPECT_EQ(INI_GetString("S", "key", "dflt", buffer, 8, missing.c_str()), 4);
    EXPECT_STREQ(buffer, "dflt");
}

TEST_F(Ini, NumbersReadInBaseTenOrSixteenAndWriteInDecimal) {
    WriteBytes(path_, "[N]\nhex=0x1F\nHEX=0X10\nneg=-7\nword=abc\nnone=\nplus=+12xyz\n"
                      "big=99999999999\nsmall=-99999999999\nbad=1x5\n");
    const char* p = path_.c_str();
    EXPECT_EQ(INI_GetLong("N", "hex", 5, p), 31);
    EXPECT_EQ(INI_GetLong("N", "neg", 5, p), -7);
    EXPECT_EQ(INI_GetLong("N", "word", 5, p), 0);
    EXPECT_EQ(INI_GetLong("N", "none", 5, p), 5);
    EXPECT_EQ(INI_GetLong("N", "missing", 5, p), 5);
    EXPECT_EQ(INI_GetLong("N", "plus", 5, p), 12);
    EXPECT_EQ(INI_GetLong("N", "big", 5, p), INT32_MAX);
    EXPECT_EQ(INI_GetLong("N", "small", 5, p), INT32_MIN);
    EXPECT_EQ(INI_GetLong("N", "bad", 5, p), 1);

    ASSERT_EQ(INI_PutLong("N", "hex", INT32_MIN, p), 1);
    ASSERT_EQ(INI_PutLong("M", "zero", 0, p), 1);
    EXPECT_EQ(INI_GetLong("N", "hex", 5, p), INT32_MIN);
    EXPECT_NE(ReadBytes(path_).find("\nhex=-2147483648\n"), std::string::npos);
    EXPECT_NE(ReadBytes(path_).find("\n[M]\nzero=0\n"), std::string::npos);
}

TEST_F(Ini, MissingFileIsCreatedWithOnlyTheSectionAndKey) {
    EXPECT_EQ(Get("GUI", "LANGUAGE", "dflt"), "dflt");
    Put("GUI", "LANGUAGE", "1");
    EXPECT_EQ(ReadBytes(path_), "[GUI]\nLANGUAGE=1\n");
    EXPECT_FALSE(Exists(folder_.File("config.in~")));
}

TEST_F(Ini, FilesThatCannotBeReadOrMadeAreRefused) {
    // A folder in the file's place cannot be read: nothing is written over it.
    const std::string folder_path = folder_.File("sub");
    ASSERT_EQ(::mkdir(folder_path.c_str(), 0755), 0);
    EXPECT_EQ(INI_PutString("S", "k", "v", folder_path.c_str()), 0);
    EXPECT_TRUE(std::filesystem::is_directory(folder_path));
    EXPECT_EQ(Get("S", "k", "dflt"), "dflt");

    const std::string no_folder = folder_.File("none/config.ini");
    EXPECT_EQ(INI_PutString("S", "k", "v", no_folder.c_str()), 0);
    EXPECT_FALSE(Exists(folder_.File("none")));

    // A path whose own last character is "~" has no temporary file of its own.
    const std::string tilde = folder_.File("config.in~");
    WriteBytes(tilde, "[S]\nk=old\n");
    EXPECT_EQ(INI_PutString("S", "k", "new", tilde.c_str()), 0);
    EXPECT_EQ(ReadBytes(tilde), "[S]\nk=old\n");
}

TEST_F(Ini, RewriteKeepsTheFilesPermissions) {
    WriteBytes(path_, "[S]\nk=1\n");
    ASSERT_EQ(::chmod(path_.c_str(), 0600), 0);
    Put("S", "k", "2");
    struct stat info {};
    ASSERT_EQ(::stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
}

} // namespace
