#include "platform/ProfileFile.h"
#include "platform/FileIo.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using platform::ProfileFile;

namespace {

std::vector<uint8_t> Bytes(std::string_view s) {
    return {s.begin(), s.end()};
}

ProfileFile ParseText(std::string_view s) {
    const std::vector<uint8_t> bytes = Bytes(s);
    return ProfileFile::Parse(bytes);
}

std::string DataPath(const std::string& name) {
    const char* dir = std::getenv("TURBEX_TEST_DATA");
    if (dir != nullptr && *dir != '\0') {
        return std::string(dir) + "/profile/" + name;
    }
    // Run by hand: the data folder beside this source file's folder.
    std::string here = __FILE__;
    here = here.substr(0, here.rfind('/'));
    return here.substr(0, here.rfind('/')) + "/data/profile/" + name;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(platform::ReadWholeFile(path, bytes, 1 << 20, nullptr), platform::FileReadStatus::Ok)
        << path;
    return bytes;
}

// A private folder per test, removed with everything in it.
class ProfileFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/profileXXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override {
        for (const std::string& name : Entries()) {
            ::unlink((m_dir + "/" + name).c_str());
        }
        ::rmdir(m_dir.c_str());
    }
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        if (DIR* d = ::opendir(m_dir.c_str())) {
            while (dirent* e = ::readdir(d)) {
                const std::string name = e->d_name;
                if (name != "." && name != "..") {
                    names.push_back(name);
                }
            }
            ::closedir(d);
        }
        return names;
    }
    void WriteRaw(const std::string& path, std::string_view content) {
        ASSERT_TRUE(platform::ReplaceFileContents(path, Bytes(content), nullptr));
    }

    std::string m_dir;
};

} // namespace

struct Fixture {
    const char* file;
    ProfileFile::Encoding encoding;
};

TEST(ProfileFile, ReadsTheParameterFileInEveryEncoding) {
    const Fixture fixtures[] = {
        {"engine_cfg_utf16le.txt", ProfileFile::Encoding::Utf16Le},
        {"engine_cfg_utf8.txt", ProfileFile::Encoding::Utf8},
        {"engine_cfg_utf8bom.txt", ProfileFile::Encoding::Utf8Bom},
        {"engine_cfg_gbk.txt", ProfileFile::Encoding::Gbk},
    };
    for (const Fixture& f : fixtures) {
        SCOPED_TRACE(f.file);
        ProfileFile file;
        ASSERT_EQ(file.Load(DataPath(f.file)), ProfileFile::LoadResult::Loaded);
        EXPECT_EQ(file.SourceEncoding(), f.encoding);
        EXPECT_EQ(file.GetString("ENGINE", "温度单位", "0"), "1");
        EXPECT_EQ(file.GetString("ENGINE", "油泵模式", "0"), "2");
        EXPECT_EQ(file.GetString("ENGINE", "回传协议", "0"), "6");
        EXPECT_EQ(file.GetString("ENGINE", "遥控器--丢失保护", ""), "2.5");
        EXPECT_EQ(file.GetString("ENGINE", "保护--最高温度", ""), "900");
        EXPECT_EQ(file.GetString("ENGINE", "遥控器--回传停止位", "3"), "3");
        EXPECT_EQ(file.GetString("NOTES", "温度单位", ""), "9");
        EXPECT_EQ(file.Lines().size(), 11u);
    }
    // The GBK fixture really holds code page 936 bytes ("温度单位").
    const std::vector<uint8_t> gbk = ReadBytes(DataPath("engine_cfg_gbk.txt"));
    const std::string raw(gbk.begin(), gbk.end());
    EXPECT_NE(raw.find("\xCE\xC2\xB6\xC8\xB5\xA5\xCE\xBB"), std::string::npos);
}

TEST(ProfileFile, FirstSectionAndFirstKeyWin) {
    const ProfileFile file =
        ParseText("[ENGINE]\nA=1\na=2\nB=3\n[OTHER]\nA=9\n[engine]\nA=4\nC=5\n");
    EXPECT_EQ(file.GetString("ENGINE", "A", "-"), "1");
    EXPECT_EQ(file.GetString("ENGINE", "B", "-"), "3");
    // Only the first ENGINE section is read, as the Windows functions do.
    EXPECT_EQ(file.GetString("ENGINE", "C", "-"), "-");
    EXPECT_EQ(file.GetString("OTHER", "A", "-"), "9");
}

TEST(ProfileFile, NamesAndValuesAreTrimmedQuotesDroppedCommentsSkipped) {
    struct Case {
        const char* text;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"[ENGINE]\n  key  =  value  \n", "key", "value"},
        {"[ENGINE]\r\n\tkey\t=\t12\t\r\n", "key", "12"},
        {"  [ ENGINE ]  \nkey=1\n", "key", "1"},
        {"[ENGINE] trailing text\nkey=1\n", "key", "1"},
        {"[ENGINE]\nkey=a=b=c\n", "key", "a=b=c"},
        {"[ENGINE]\nkey=\n", "key", ""},
        {"[ENGINE]\nkey=\"  quoted  \"\n", "key", "  quoted  "},
        {"[ENGINE]\nkey='x'\n", "key", "x"},
        {"[ENGINE]\nkey=\"x'\n", "key", "\"x'"},
        {"[ENGINE]\nkey=1 ; not a comment\n", "key", "1 ; not a comment"},
        {"[ENGINE]\n;key=1\nkey=2\n", "key", "2"},
        {"[ENGINE]\nkey\nkey=3\n", "key", "3"},
        {"[ENGINE]\n\n\nkey=4", "key", "4"},
        {"[ENGINE]\r\nkey=5\r\r\n", "key", "5"},
        {"[ENGINE]\n 温度单位 = 1 \n", " 温度单位 ", "1"},
    };
    for (const Case& c : cases) {
        const ProfileFile file = ParseText(c.text);
        EXPECT_EQ(file.GetString(" ENGINE ", c.key, "<default>"), c.expected) << c.text;
    }
}

TEST(ProfileFile, AsciiCaseIsIgnoredOtherLettersAreNot) {
    const ProfileFile file = ParseText("[Engine]\nMax_EGT=900\nÉtat=1\n");
    EXPECT_EQ(file.GetString("ENGINE", "max_egt", "-"), "900");
    EXPECT_EQ(file.GetString("engine", "MAX_EGT", "-"), "900");
    EXPECT_EQ(file.GetString("ENGINE", "État", "-"), "1");
    EXPECT_EQ(file.GetString("ENGINE", "état", "-"), "-");
}

TEST(ProfileFile, MissingSectionsKeysAndNamesGiveTheDefault) {
    const ProfileFile file = ParseText("orphan=1\n[ENGINE]\nkey=1\n[]\nempty=2\n[BROKEN\nx=3\n");
    EXPECT_EQ(file.GetString("NONE", "key", "d"), "d");
    EXPECT_EQ(file.GetString("ENGINE", "none", "d"), "d");
    EXPECT_EQ(file.GetString("", "orphan", "d"), "d");
    EXPECT_EQ(file.GetString("ENGINE", "", "d"), "d");
    EXPECT_EQ(file.GetString("", "empty", "d"), "d");
    // A line without its ']' starts no section: x stays in the "[]" section.
    EXPECT_EQ(file.GetString("BROKEN", "x", "d"), "d");
    EXPECT_FALSE(file.Find("ENGINE", "none").has_value());

    const ProfileFile empty = ParseText("");
    EXPECT_EQ(empty.SourceEncoding(), ProfileFile::Encoding::None);
    EXPECT_EQ(empty.GetString("ENGINE", "温度单位", "0"), "0");
}

TEST(ProfileFile, SetReplacesInPlaceAndKeepsEveryOtherLine) {
    ProfileFile file = ParseText("; top\n[ENGINE]\n  Max_EGT = 900 \nLow=10.0\n\n[OTHER]\nx=1\n");
    ASSERT_TRUE(file.SetString("engine", "MAX_EGT", "950"));
    EXPECT_EQ(file.Lines(),
              (std::vector<std::string>{
                  "; top", "[ENGINE]", "Max_EGT=950", "Low=10.0", "", "[OTHER]", "x=1"}));
    EXPECT_EQ(file.GetString("ENGINE", "max_egt", ""), "950");
}

TEST(ProfileFile, SetAppendsToTheSectionOrAddsTheSectionAtTheEnd) {
    ProfileFile file = ParseText("[ENGINE]\na=1\n; note\n\n[OTHER]\nx=1\n");
    ASSERT_TRUE(file.SetString("ENGINE", "油泵模式", "2"));
    ASSERT_TRUE(file.SetString("NEW", "k", "v"));
    ASSERT_TRUE(file.SetString("NEW", "k2", "v2"));
    EXPECT_EQ(file.Lines(),
              (std::vector<std::string>{"[ENGINE]",
                                        "a=1",
                                        "油泵模式=2",
                                        "; note",
                                        "",
                                        "[OTHER]",
                                        "x=1",
                                        "",
                                        "[NEW]",
                                        "k=v",
                                        "k2=v2"}));

    ProfileFile headerOnly = ParseText("[ENGINE]\n\n[OTHER]\n");
    ASSERT_TRUE(headerOnly.SetString("ENGINE", "a", "1"));
    EXPECT_EQ(headerOnly.Lines(), (std::vector<std::string>{"[ENGINE]", "a=1", "", "[OTHER]"}));

    ProfileFile empty;
    ASSERT_TRUE(empty.SetString("ENGINE", "温度单位", "0"));
    EXPECT_EQ(empty.Lines(), (std::vector<std::string>{"[ENGINE]", "温度单位=0"}));
}

TEST(ProfileFile, SerializeIsUtf16LeWithBomAndCrLf) {
    ProfileFile file;
    ASSERT_TRUE(file.SetString("E", "温", "1"));
    const std::vector<uint8_t> expected = {0xFF, 0xFE, '[', 0, 'E', 0, ']',  0, '\r', 0, '\n', 0,
                                           0x29, 0x6E, '=', 0, '1', 0, '\r', 0, '\n', 0};
    EXPECT_EQ(file.Serialize(), expected);
}

TEST(ProfileFile, WrittenValuesReadBackUnchanged) {
    const char* values[] = {"900",
                            "",
                            "  padded  ",
                            "\"quoted\"",
                            "'single'",
                            "\"",
                            "a=b",
                            "值 with 中文",
                            "\t",
                            "emoji \xF0\x9F\x9A\x80"};
    ProfileFile file = ParseText("[ENGINE]\r\nkeep=1\r\n");
    for (size_t i = 0; i < std::size(values); ++i) {
        ASSERT_TRUE(file.SetString("ENGINE", "k" + std::to_string(i), values[i]));
    }
    const std::vector<uint8_t> bytes = file.Serialize();
    const ProfileFile back = ProfileFile::Parse(bytes);
    EXPECT_EQ(back.SourceEncoding(), ProfileFile::Encoding::Utf16Le);
    for (size_t i = 0; i < std::size(values); ++i) {
        EXPECT_EQ(back.GetString("ENGINE", "k" + std::to_string(i), "<missing>"), values[i]);
    }
    EXPECT_EQ(back.Lines(), file.Lines());
    EXPECT_EQ(back.Serialize(), bytes);
}

TEST(ProfileFile, RefusesNamesAndValuesThatWouldBreakTheFile) {
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"", "k", "v"},
        {"  ", "k", "v"},
        {"E", "", "v"},
        {"E", "a=b", "v"},
        {"E", "[k", "v"},
        {"E", ";k", "v"},
        {"E", "k", "line\nbreak"},
        {"E", "k", "cr\rhere"},
        {"E\n", "k", "v"},
        {"E", "k\n", "v"},
        {"E", "k", "\xC3"},
        {"E", "\xFF", "v"},
    };
    for (const Case& c : cases) {
        ProfileFile file = ParseText("[E]\nk=old\n");
        const auto before = file.Lines();
        EXPECT_FALSE(file.SetString(c.section, c.key, c.value))
            << "[" << c.section << "] " << c.key << "=" << c.value;
        EXPECT_EQ(file.Lines(), before);
    }
}

TEST(ProfileFile, Utf16FilesDecodeSurrogatesAndMarkBrokenUnits) {
    // "[E]\nk=" then U+1F680 as a pair, a lone high surrogate, "x", odd byte.
    const std::vector<uint8_t> le = {0xFF, 0xFE, '[',  0,    'E', 0, ']',  0,
                                     '\n', 0,    'k',  0,    '=', 0, 0x3D, 0xD8,
                                     0x80, 0xDE, 0x00, 0xD8, 'x', 0, 'y'};
    const ProfileFile file = ProfileFile::Parse(le);
    EXPECT_EQ(file.GetString("E", "k", ""), "\xF0\x9F\x9A\x80\xEF\xBF\xBDx\xEF\xBF\xBD");

    const std::vector<uint8_t> be = {
        0xFE, 0xFF, 0, '[', 0, 'E', 0, ']', 0, '\n', 0, 'k', 0, '=', 0x6E, 0x29};
    const ProfileFile big = ProfileFile::Parse(be);
    EXPECT_EQ(big.SourceEncoding(), ProfileFile::Encoding::Utf16Be);
    EXPECT_EQ(big.GetString("E", "k", ""), "温");
}

TEST(ProfileFile, BytesThatAreNotUtf8AreReadAsGbk) {
    // "[E]\n温=1" in GBK, then a lead byte cut off at the end of the file.
    const ProfileFile file = ParseText("[E]\n\xCE\xC2=1\nk=\xB6");
    EXPECT_EQ(file.SourceEncoding(), ProfileFile::Encoding::Gbk);
    EXPECT_EQ(file.GetString("E", "温", ""), "1");
    EXPECT_EQ(file.GetString("E", "k", ""), "\xEF\xBF\xBD");
    // With a UTF-8 byte-order mark the text is UTF-8 even where it is broken.
    const ProfileFile marked = ParseText("\xEF\xBB\xBF[E]\nk=\xCE\xC2\n");
    EXPECT_EQ(marked.SourceEncoding(), ProfileFile::Encoding::Utf8Bom);
    EXPECT_EQ(marked.GetString("E", "k", ""), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST_F(ProfileFileOnDisk, MissingFileReadsAsDefaultsAndIsCreatedByAWrite) {
    const std::string path = Path("engine_cfg.txt");
    ProfileFile file;
    EXPECT_EQ(file.Load(path), ProfileFile::LoadResult::Missing);
    EXPECT_EQ(platform::ReadProfileKey("ENGINE", "温度单位", "0", path), "0");
    EXPECT_EQ(platform::ReadProfileKey("ENGINE", "k", "d", Path("no/such/folder.txt")), "d");

    ASSERT_TRUE(platform::WriteProfileKey("ENGINE", "温度单位", "1", path));
    ASSERT_TRUE(platform::WriteProfileKey("ENGINE", "油泵模式", "2", path));
    ASSERT_TRUE(platform::WriteProfileKey("ENGINE", "温度单位", "0", path));
    EXPECT_EQ(platform::ReadProfileKey("engine", "温度单位", "-", path), "0");
    EXPECT_EQ(platform::ReadProfileKey("ENGINE", "油泵模式", "-", path), "2");
    ASSERT_EQ(file.Load(path), ProfileFile::LoadResult::Loaded);
    EXPECT_EQ(file.SourceEncoding(), ProfileFile::Encoding::Utf16Le);
    EXPECT_EQ(file.Lines(), (std::vector<std::string>{"[ENGINE]", "温度单位=0", "油泵模式=2"}));
    EXPECT_EQ(Entries(), std::vector<std::string>{"engine_cfg.txt"});
}

TEST_F(ProfileFileOnDisk, WritingAGbkFileKeepsItsOtherLinesAndTurnsItIntoUtf16) {
    const std::string path = Path("engine_cfg.txt");
    const std::vector<uint8_t> gbk = ReadBytes(DataPath("engine_cfg_gbk.txt"));
    ASSERT_TRUE(platform::ReplaceFileContents(path, gbk, nullptr));
    ProfileFile original;
    ASSERT_EQ(original.Load(path), ProfileFile::LoadResult::Loaded);

    ASSERT_TRUE(platform::WriteProfileKey("ENGINE", "回传协议", "7", path));
    ProfileFile written;
    ASSERT_EQ(written.Load(path), ProfileFile::LoadResult::Loaded);
    EXPECT_EQ(written.SourceEncoding(), ProfileFile::Encoding::Utf16Le);
    std::vector<std::string> expected = original.Lines();
    ASSERT_EQ(expected.size(), 11u);
    ASSERT_EQ(expected[9], "回传协议=6");
    expected[9] = "回传协议=7";
    EXPECT_EQ(written.Lines(), expected);
    EXPECT_EQ(written.GetString("NOTES", "温度单位", ""), "9");
}

TEST_F(ProfileFileOnDisk, RefusedOrFailedWritesLeaveTheFileAsItWas) {
    const std::string path = Path("engine_cfg.txt");
    WriteRaw(path, "[ENGINE]\r\nkey=old\r\n");
    std::string error;
    EXPECT_FALSE(platform::WriteProfileKey("ENGINE", "key", "a\nb", path, &error));
    EXPECT_FALSE(error.empty());

    // A file size limit makes the write of the temporary file fail even for
    // a privileged user.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 8;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    error.clear();
    const bool written = platform::WriteProfileKey("ENGINE", "key", "new", path, &error);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    ::sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_FALSE(written);
    EXPECT_NE(error.find("write"), std::string::npos) << error;
    const std::vector<uint8_t> bytes = ReadBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "[ENGINE]\r\nkey=old\r\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"engine_cfg.txt"});
}

TEST_F(ProfileFileOnDisk, AnUnreadableFileIsNotReplaced) {
    // A folder where the file should be: it exists but cannot be read.
    const std::string path = Path("engine_cfg.txt");
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    ProfileFile file;
    std::string error;
    EXPECT_EQ(file.Load(path, &error), ProfileFile::LoadResult::Failed);
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(platform::WriteProfileKey("ENGINE", "k", "v", path));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    ::rmdir(path.c_str());
}

TEST_F(ProfileFileOnDisk, SaveKeepsPermissionsAndFollowsSymbolicLinks) {
    const std::string target = Path("real.txt");
    const std::string link = Path("engine_cfg.txt");
    WriteRaw(target, "[ENGINE]\nk=1\n");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);

    ASSERT_TRUE(platform::WriteProfileKey("ENGINE", "k", "2", link));
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(platform::ReadProfileKey("ENGINE", "k", "", target), "2");
}
