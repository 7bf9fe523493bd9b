#include "platform/FileIo.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

std::string Read(const std::string& path) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(platform::ReadWholeFile(path, bytes, 1 << 20, nullptr), platform::FileReadStatus::Ok);
    return {bytes.begin(), bytes.end()};
}

TEST(FileIo, CreateNewFileNeverReplacesAFileAndLeavesNoTemporaryFile) {
    TempFolder dir;
    const std::string path = dir.Path("backup.txt");
    EXPECT_EQ(platform::CreateNewFile(path, Bytes("first"), nullptr),
              platform::NewFileStatus::Created);
    EXPECT_EQ(platform::CreateNewFile(path, Bytes("second"), nullptr),
              platform::NewFileStatus::Exists);
    EXPECT_EQ(Read(path), "first");
    EXPECT_EQ(platform::ListFolder(dir.Path()), std::vector<std::string>{"backup.txt"});
    std::string error;
    EXPECT_EQ(platform::CreateNewFile(dir.Path("missing/x.txt"), Bytes("x"), &error),
              platform::NewFileStatus::Failed);
    EXPECT_NE(error.find("open"), std::string::npos) << error;
}

TEST(FileIo, MakeFoldersCreatesEveryMissingParentAndListFolderSorts) {
    TempFolder dir;
    const std::string deep = dir.Path("a/b/c");
    ASSERT_TRUE(platform::MakeFolders(deep, nullptr));
    EXPECT_TRUE(platform::MakeFolders(deep, nullptr)); // already there
    ASSERT_TRUE(platform::ReplaceFileContents(deep + "/z", Bytes("1"), nullptr));
    ASSERT_TRUE(platform::ReplaceFileContents(deep + "/m", Bytes("1"), nullptr));
    EXPECT_EQ(platform::ListFolder(deep), (std::vector<std::string>{"m", "z"}));
    EXPECT_TRUE(platform::ListFolder(dir.Path("nothing")).empty());
    std::string error;
    EXPECT_FALSE(platform::MakeFolders(deep + "/z/under-a-file", &error));
    EXPECT_FALSE(error.empty());
}

TEST(FileIo, UserDataFolderFollowsXdgDataHomeThenHome) {
    const char* savedXdg = std::getenv("XDG_DATA_HOME");
    const char* savedHome = std::getenv("HOME");
    const std::string xdg = savedXdg != nullptr ? savedXdg : "";
    const std::string home = savedHome != nullptr ? savedHome : "";
    ::setenv("XDG_DATA_HOME", "/data/here", 1);
    ::setenv("HOME", "/home/tech", 1);
    EXPECT_EQ(platform::UserDataFolder(), "/data/here");
    ::setenv("XDG_DATA_HOME", "relative/ignored", 1);
    EXPECT_EQ(platform::UserDataFolder(), "/home/tech/.local/share");
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(platform::UserDataFolder(), "/home/tech/.local/share");
    ::unsetenv("HOME");
    EXPECT_EQ(platform::UserDataFolder(), "");
    savedXdg != nullptr ? ::setenv("XDG_DATA_HOME", xdg.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    savedHome != nullptr ? ::setenv("HOME", home.c_str(), 1) : ::unsetenv("HOME");
}

} // namespace
