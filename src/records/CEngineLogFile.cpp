#include "records/CEngineLogFile.h"

#include "foundation/CMMutex.h"
#include "records/CDeviceECUTracker.h"
#include "records/CEngineLogFormat.h"
#include "records/CEngineLogReader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string Failure(const char* step, const std::string& path, int error) {
    return std::string(step) + " " + path + ": " + std::strerror(error);
}

} // namespace

int CEngineLogFile::Save(const CDeviceECUTracker& tracker, const std::string& path) {
    m_lastError.clear();
    const std::string text = CEngineLogFormat::Serialize(tracker);
    const std::string temporary = path + ".tmp";
    std::FILE* raw = std::fopen(temporary.c_str(), "wb");
    if (raw == nullptr) {
        m_lastError = Failure("fopen", temporary, errno);
        return 0;
    }
    FilePtr file(raw);
    if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() ||
        std::fflush(file.get()) != 0) {
        m_lastError = Failure("fwrite", temporary, errno);
        file.reset();
        std::remove(temporary.c_str());
        return 0;
    }
    if (std::fclose(file.release()) != 0) {
        m_lastError = Failure("fclose", temporary, errno);
        std::remove(temporary.c_str());
        return 0;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        m_lastError = "rename " + temporary + " to " + path + ": " + error.message();
        std::remove(temporary.c_str());
        return 0;
    }
    return 1;
}

int CEngineLogFile::Load(CDeviceECUTracker& tracker, const std::string& path) {
    m_lastError.clear();
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (file == nullptr) {
        m_lastError = Failure("fopen", path, errno);
        return 0;
    }
    // Parsed without the lock, so the record thread is held up only for the
    // moment the finished log is swapped in.
    CDeviceECUTracker loaded;
    CEngineLogReader reader(loaded);
    std::vector<uint8_t> chunk(m_chunkSize);
    int result = 1;
    for (;;) {
        const size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get());
        reader.Feed(std::span(chunk.data(), got));
        if (got < chunk.size()) {
            if (std::ferror(file.get()) != 0) {
                m_lastError = Failure("fread", path, errno);
                result = 0;
            }
            break;
        }
    }
    reader.Finish();
    CMLockGuard guard(tracker.getLock());
    tracker.takeFrom(loaded);
    return result;
}
