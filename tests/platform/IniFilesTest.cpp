#include "platform/IniFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/TestSupport.h"

namespace {

const char* const kHandWritten =
    "top=before any section\n"
    "; a comment\n"
    "[General]\r\n"
    "  Name  =   padded value   \r\n"
    "name=second occurrence\r\n"
    "Quoted=\"  keep blanks  \"\r\n"
    "Single='x'\r\n"
    "Lone=\"\r\n"
    "Mixed=\"a'\r\n"
    "Equals=a=b\r\n"
    "Bare line\r\n"
    "Empty=\r\n"
    "\r\n"
    "[ general ]\n"
    "Other=in the spaced section\n"
    "[GENERAL]\n"
    "Name=duplicate section\n"
    "Extra=only in the duplicate\n";

TEST(IniFileTest, ReadsAsTheProfileFunctionsDo) {
    TTempDir dir;
    TIniFile ini(dir.Write("a.ini", kHandWritten));
    EXPECT_EQ(ini.ReadString("general", "NAME", "d"), "padded value");
    EXPECT_EQ(ini.ReadString("General", "Quoted", "d"), "  keep blanks  ");
    EXPECT_EQ(ini.ReadString("General", "Single", "d"), "x");
    EXPECT_EQ(ini.ReadString("General", "Lone", "d"), "\"");
    EXPECT_EQ(ini.ReadString("General", "Mixed", "d"), "\"a'");
    EXPECT_EQ(ini.ReadString("General", "Equals", "d"), "a=b");
    EXPECT_EQ(ini.ReadString("General", "Bare line", "d"), "");
    EXPECT_EQ(ini.ReadString("General", "Empty", "d"), "");
    EXPECT_TRUE(ini.ValueExists("General", "Empty"));
    // Only the first section of a name is consulted; a blank inside the brackets is part of the name.
    EXPECT_EQ(ini.ReadString("General", "Extra", "d"), "d");
    EXPECT_EQ(ini.ReadString(" General ", "Other", "d"), "in the spaced section");
    EXPECT_EQ(ini.ReadString("", "top", "d"), "d");
    EXPECT_EQ(ini.ReadString("Missing", "Name", "d"), "d");
    EXPECT_FALSE(ini.SectionExists("Missing"));
    EXPECT_FALSE(ini.ValueExists("General", "; a comment"));
    TIniFile marked(dir.Write("bom.ini", "\xEF\xBB\xBF[A]\r\nB=c\r\n"));
    EXPECT_EQ(marked.ReadString("A", "B", "d"), "c");
}

TEST(IniFileTest, WritesInPlaceAndKeepsForeignContent) {
    TTempDir dir;
    std::string path = dir.Write("a.ini", "; head\n[One]\nA=1\nForeign=keep me\n\n; about Two\n[Two]\nB=2\n");
    TIniFile ini(path);
    ini.WriteInteger("one", "a", 10);
    ini.WriteString("One", "New", "n");
    ini.WriteString("Three", "C", "3");
    ini.UpdateFile();
    EXPECT_EQ(ReadWholeFile(path),
              "; head\r\n[One]\r\nA=10\r\nForeign=keep me\r\nNew=n\r\n\r\n; about Two\r\n[Two]\r\nB=2\r\n\r\n"
              "[Three]\r\nC=3\r\n");
}

TEST(IniFileTest, WrittenValuesReadBackUnchanged) {
    TTempDir dir;
    std::string path = dir.File("values.ini");
    const std::vector<std::string> values = {"",       " lead", "trail\t", "\"quoted\"",      "'q'",
                                             "\"",     "a = b", "[x]",     "; not a comment", "\xC0\xE9\xFF",
                                             "\"  \"", "x\"y\""};
    {
        TIniFile ini(path);
        for (size_t i = 0; i < values.size(); ++i) ini.WriteString("S", "K" + std::to_string(i), values[i]);
        ini.WriteString("S", "Lines", "first\r\nsecond");
        ini.WriteString("S", "Nul", std::string("ab\0cd", 5));
        ini.UpdateFile();
    }
    TIniFile ini(path);
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(ini.ReadString("S", "K" + std::to_string(i), "missing"), values[i]) << i;
    // A line break cannot live in a line: the rest is dropped rather than turned into new keys.
    EXPECT_EQ(ini.ReadString("S", "Lines", "missing"), "first");
    EXPECT_FALSE(ini.ValueExists("S", "second"));
    EXPECT_EQ(ini.ReadString("S", "Nul", "missing"), "ab");
}

TEST(IniFileTest, NumbersAndBooleans) {
    TTempDir dir;
    TIniFile ini(dir.Write("n.ini",
                           "[N]\nDec=-42\nPlus=+7\nHex=$1F\nHexC=0x10\nAllBits=$FFFFFFFF\nMax=2147483647\n"
                           "Min=-2147483648\nOver=2147483648\nHexOver=$100000000\nJunk=12abc\nEmpty=\n"
                           "Blank=  5  \nTrue=2\nFalse=0\nComma=0,001\nExp=1E-5\nDot=0.6\nNeg=-1.5e2\n"
                           "Two=1,2,3\nWord=abc\nInf=inf\n"));
    EXPECT_EQ(ini.ReadInteger("N", "Dec", 0), -42);
    EXPECT_EQ(ini.ReadInteger("N", "Plus", 0), 7);
    EXPECT_EQ(ini.ReadInteger("N", "Hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("N", "HexC", 0), 16);
    EXPECT_EQ(ini.ReadInteger("N", "AllBits", 0), -1);
    EXPECT_EQ(ini.ReadInteger("N", "Max", 0), 2147483647);
    EXPECT_EQ(ini.ReadInteger("N", "Min", 0), -2147483647 - 1);
    for (const char* key : {"Over", "HexOver", "Junk", "Empty", "Missing"})
        EXPECT_EQ(ini.ReadInteger("N", key, 99), 99) << key;
    EXPECT_EQ(ini.ReadInteger("N", "Blank", 0), 5);
    EXPECT_TRUE(ini.ReadBool("N", "True", false));
    EXPECT_FALSE(ini.ReadBool("N", "False", true));
    EXPECT_TRUE(ini.ReadBool("N", "Missing", true));
    EXPECT_FALSE(ini.ReadBool("N", "Junk", false));
    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "Comma", 9), 0.001);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "Exp", 9), 1e-5);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "Dot", 9), 0.6);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "Neg", 9), -150);
    for (const char* key : {"Two", "Word", "Inf", "Empty", "Missing"})
        EXPECT_EQ(ini.ReadFloat("N", key, 9), 9) << key;

    // Plain decimal text, never an exponent, and still the same double on reading.
    const std::pair<double, const char*> floats[] = {{0.0001, "0.0001"},
                                                     {1e-7, "0.0000001"},
                                                     {0.6, "0.6"},
                                                     {1e21, "1000000000000000000000"},
                                                     {-2.5, "-2.5"},
                                                     {0, "0"},
                                                     {1.0 / 3, "0.3333333333333333"}};
    for (const auto& [value, text] : floats) {
        ini.WriteFloat("N", "W", value);
        EXPECT_EQ(ini.ReadString("N", "W", ""), text);
        EXPECT_EQ(ini.ReadFloat("N", "W", 9), value) << text;
    }
    ini.WriteFloat("N", "Tiny", 4.9406564584124654e-324);
    EXPECT_EQ(ini.ReadString("N", "Tiny", "").find_first_of("eE"), std::string::npos);
    EXPECT_EQ(ini.ReadFloat("N", "Tiny", 9), 4.9406564584124654e-324);
    ini.WriteBool("N", "B", true);
    EXPECT_EQ(ini.ReadString("N", "B", ""), "1");
}

TEST(IniFileTest, EraseSectionAndStartEmpty) {
    TTempDir dir;
    std::string path = dir.Write("e.ini", "[Keep]\nA=1\n[Drop]\nB=2\n[drop]\nC=3\n");
    {
        TIniFile ini(path);
        ini.EraseSection("DROP");
        EXPECT_FALSE(ini.SectionExists("Drop"));
        EXPECT_EQ(ini.ReadString("Keep", "A", ""), "1");
        ini.WriteString("Drop", "D", "4");
        EXPECT_EQ(ini.ReadString("Drop", "C", "gone"), "gone");
        ini.UpdateFile();
    }
    EXPECT_EQ(ReadWholeFile(path), "[Keep]\r\nA=1\r\n\r\n[Drop]\r\nD=4\r\n");

    TIniFile fresh(path, TIniFile::TOpenMode::StartEmpty);
    EXPECT_FALSE(fresh.SectionExists("Keep"));
    fresh.WriteString("Only", "X", "y");
    fresh.UpdateFile();
    EXPECT_EQ(ReadWholeFile(path), "[Only]\r\nX=y\r\n");
}

TEST(IniFileTest, MissingAndUnreadableFiles) {
    TTempDir dir;
    TIniFile missing(dir.File("none.ini"));
    EXPECT_EQ(missing.ReadString("A", "B", "d"), "d");
    std::filesystem::create_directory(dir.File("folder.ini"));
    EXPECT_THROW(TIniFile(dir.File("folder.ini")), EIniFileError);
    TIniFile nowhere(dir.File("no/such/folder/x.ini"));
    nowhere.WriteString("A", "B", "c");
    EXPECT_THROW(nowhere.UpdateFile(), EIniFileError);
}

TEST(IniFileTest, FailedUpdateKeepsTheOldFile) {
    TTempDir dir;
    std::string path = dir.Write("keep.ini", "[Old]\nA=1\n");
    TIniFile ini(path);
    ini.WriteString("New", "Long", std::string(4096, 'x'));
    {
        TFileSizeLimit limit(1024);
        EXPECT_THROW(ini.UpdateFile(), EIniFileError);
    }
    EXPECT_EQ(ReadWholeFile(path), "[Old]\nA=1\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << "temporary file left";
    ini.UpdateFile();
    EXPECT_EQ(TIniFile(path).ReadString("New", "Long", "").size(), 4096u);
}

size_t FilesIn(const std::filesystem::path& Folder) {
    return size_t(std::distance(std::filesystem::directory_iterator(Folder), {}));
}

TEST(IniFileTest, AReadOnlyFileIsNotReplacedEvenByRoot) {
    namespace fs = std::filesystem;
    TTempDir dir;
    std::string path = dir.Write("ro.ini", "[Old]\nA=1\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(FileModeAllowsWriting(path));
    EXPECT_FALSE(ProbeReadWrite(path));
    EXPECT_THROW(ReplaceFileAtomically(path, "[New]\r\n"), EIniFileError);
    TIniFile ini(path);
    ini.WriteString("New", "B", "2");
    EXPECT_THROW(ini.UpdateFile(), EIniFileError);
    EXPECT_EQ(ReadWholeFile(path), "[Old]\nA=1\n");
    EXPECT_EQ(FilesIn(dir.Path()), 1u) << "temporary file left";

    // Any write bit makes it writable again, and the replacement keeps the mode.
    fs::permissions(path, fs::perms::group_write, fs::perm_options::add);
    EXPECT_TRUE(FileModeAllowsWriting(path));
    ini.UpdateFile();
    EXPECT_EQ(TIniFile(path).ReadString("New", "B", ""), "2");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::group_read |
                                                                   fs::perms::group_write |
                                                                   fs::perms::others_read);
    EXPECT_TRUE(FileModeAllowsWriting(dir.File("missing.ini")));
}

TEST(IniFileTest, ALinkKeepsPointingAtTheFileItsTargetIsReplacedBy) {
    namespace fs = std::filesystem;
    TTempDir links, targets;
    std::string real = targets.Write("real.ini", "[Old]\r\n");
    std::string absolute = links.File("absolute.ini");
    fs::create_symlink(real, absolute);
    fs::create_directory(links.File("sub"));
    targets.Write("second.ini", "");
    std::string relative = links.File("relative.ini");
    fs::create_symlink("sub/hop.ini", relative);  // a chain: relative -> sub/hop.ini -> second.ini
    fs::create_symlink(targets.File("second.ini"), links.File("sub/hop.ini"));

    ReplaceFileAtomically(absolute, "one");
    ReplaceFileAtomically(relative, "two");
    EXPECT_TRUE(fs::is_symlink(absolute));
    EXPECT_TRUE(fs::is_symlink(relative));
    EXPECT_TRUE(fs::is_symlink(links.File("sub/hop.ini")));
    EXPECT_EQ(ReadWholeFile(real), "one");
    EXPECT_EQ(ReadWholeFile(targets.File("second.ini")), "two");
    EXPECT_EQ(FilesIn(targets.Path()), 2u) << "temporary file left";
    EXPECT_EQ(FilesIn(links.Path()), 3u) << "temporary file left";

    // A link to a read-only file refuses like the file; a dangling link gets its file.
    fs::permissions(real, fs::perms::owner_read);
    EXPECT_THROW(ReplaceFileAtomically(absolute, "three"), EIniFileError);
    EXPECT_EQ(ReadWholeFile(real), "one");
    std::string dangling = links.File("dangling.ini");
    fs::create_symlink(targets.File("new.ini"), dangling);
    ReplaceFileAtomically(dangling, "four");
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(ReadWholeFile(targets.File("new.ini")), "four");

    std::string loop = links.File("loop.ini");
    fs::create_symlink(loop, loop);
    EXPECT_THROW(ReplaceFileAtomically(loop, "five"), EIniFileError);
}

TEST(IniFileTest, EveryLineEndAndANulEndALine) {
    TTempDir dir;
    // Lone CR (old Macintosh editors), LF, CR LF and LF CR all end lines; a NUL ends its line's text.
    TIniFile ini(dir.Write("ends.ini", std::string("[A]\rX=1\rY=2\r\n[B]\nZ=3\n\rW=a\0b=c\rV=\0\r", 34)));
    EXPECT_EQ(ini.ReadString("A", "X", ""), "1");
    EXPECT_EQ(ini.ReadString("A", "Y", ""), "2");
    EXPECT_EQ(ini.ReadString("B", "Z", ""), "3");
    EXPECT_EQ(ini.ReadString("B", "W", ""), "a");
    EXPECT_FALSE(ini.ValueExists("B", "b"));
    EXPECT_EQ(ini.ReadString("B", "V", "d"), "");
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"A", "B"}));
}

// What a person or the program writes is well-formed, however odd; the bytes of another kind of file and a
// section header without its "]" are not.
TEST(IniFileTest, WellFormedTellsSettingsFromOtherBytes) {
    TTempDir dir;
    EXPECT_TRUE(TIniFile(dir.Write("hand.ini", kHandWritten)).WellFormed());
    EXPECT_TRUE(TIniFile(dir.Write("odd.ini", "\xEF\xBB\xBF[A]\tx\r\nB=\xE9\xFF\f\r\n=\n[]\n[[x]]\n\x1A"))
                    .WellFormed());
    EXPECT_TRUE(TIniFile(dir.Write("empty.ini", "")).WellFormed());
    EXPECT_TRUE(TIniFile(dir.File("missing.ini")).WellFormed());
    EXPECT_FALSE(
        TIniFile(dir.Write("header.ini", "[A]\nX=1\n[Tag Settings\nWatchedNames0=div\n")).WellFormed());
    EXPECT_FALSE(TIniFile(dir.Write("nul.ini", std::string("[A]\nX=1\0\n", 9))).WellFormed());
    EXPECT_FALSE(TIniFile(dir.Write("control.ini", "[A]\nX=\x01\n")).WellFormed());
    EXPECT_FALSE(TIniFile(dir.Write("delete.ini", "[A]\nX=\x7F\n")).WellFormed());
    TIniFile written(dir.File("written.ini"), TIniFile::TOpenMode::StartEmpty);
    written.WriteString("A", "X", "a\tb");
    written.WriteString("B C", "Y", " padded ");
    written.UpdateFile();
    EXPECT_TRUE(TIniFile(dir.File("written.ini")).WellFormed());
}

TEST(IniFileTest, SectionsAreListedOnceAndCopiedAsTheyStand) {
    TTempDir dir;
    TIniFile from(
        dir.Write("from.ini", "[One]\n; note\nA=1\n\n[two]\nB=2\n[ONE]\nC=3\n[Three]\nD=\"  x  \"\n"));
    EXPECT_EQ(from.ReadSections(), (std::vector<std::string>{"One", "two", "Three"}));
    TIniFile to(dir.Write("to.ini", "[one]\nOld=1\n[Keep]\nK=k\n[one]\nOlder=2\n"));
    to.CopySection(from, "one");
    to.CopySection(from, "Three");
    to.CopySection(from, "Missing");
    EXPECT_FALSE(to.ValueExists("One", "Old"));
    EXPECT_FALSE(to.ValueExists("One", "Older"));
    EXPECT_EQ(to.ReadString("One", "A", ""), "1");
    EXPECT_EQ(to.ReadString("One", "C", "not copied"), "not copied");
    EXPECT_EQ(to.ReadString("Three", "D", ""), "  x  ");
    EXPECT_EQ(to.ReadString("Keep", "K", ""), "k");
    EXPECT_EQ(to.Content(), "[Keep]\r\nK=k\r\n\r\n[One]\r\n; note\r\nA=1\r\n\r\n[Three]\r\nD=\"  x  \"\r\n");
}

TEST(IniFileTest, FifosAndDevicesAreNeitherReadNorReplaced) {
    TTempDir dir;
    ::alarm(20);  // a blocking open would end the test here
    const std::string fifo = dir.File("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(TIniFile{fifo}, EIniFileError);
    EXPECT_THROW(TIniFile{"/dev/zero"}, EIniFileError);
    EXPECT_FALSE(ProbeReadWrite(fifo));
    EXPECT_FALSE(ProbeReadWrite("/dev/null"));
    EXPECT_THROW(ReplaceFileAtomically(fifo, "[A]\r\n"), EIniFileError);
    ::alarm(0);
    struct stat info {};
    ASSERT_EQ(::stat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(FilesIn(dir.Path()), 1u) << "temporary file left";
    try {
        TIniFile{fifo};
    } catch (const EIniFileError& e) {
        EXPECT_EQ(std::string(e.what()), fifo + " is not a regular file.");
    }
}

TEST(IniFileTest, ProbeCreatesTheFile) {
    TTempDir dir;
    EXPECT_TRUE(ProbeReadWrite(dir.File("p.ini")));
    EXPECT_TRUE(std::filesystem::exists(dir.File("p.ini")));
    EXPECT_FALSE(ProbeReadWrite(dir.File("no/such/p.ini")));
    EXPECT_TRUE(ProbeFolderWritable(dir.Path().string() + "/"));
    EXPECT_FALSE(ProbeFolderWritable(dir.File("no/such/")));
}

}  // namespace
