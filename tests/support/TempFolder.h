#pragma once

// A private folder for one test, removed with everything below it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <ftw.h>
#include <unistd.h>

class TempFolder {
public:
    TempFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/turbexXXXXXX";
        EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
        m_path = pattern;
    }
    ~TempFolder() {
        ::nftw(
            m_path.c_str(),
            [](const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); },
            16,
            FTW_DEPTH | FTW_PHYS);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    [[nodiscard]] const std::string& Path() const { return m_path; }
    [[nodiscard]] std::string Path(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};
