#include "records/CDeviceECUTracker.h"
#include "records/CEngineLogFile.h"
#include "records/CEngineLogFormat.h"
#include "records/CEngineLogReader.h"

#include "RecordBits.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::string text;
    if (std::FILE* file = std::fopen(path.string().c_str(), "rb")) {
        char buffer[65536];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0) {
            text.append(buffer, got);
        }
        std::fclose(file);
    }
    return text;
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// A fresh directory per test, removed afterwards.
class TempDir {
public:
    TempDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = fs::temp_directory_path() /
                 (std::string("turbex_records_") + info->name() + "_" + std::to_string(::getpid()));
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    [[nodiscard]] std::string file(const char* name) const { return (m_path / name).string(); }

private:
    fs::path m_path;
};

void Load(CDeviceECUTracker& tracker, const std::string& text) {
    CEngineLogReader reader(tracker);
    reader.Feed(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    reader.Finish();
}

std::string Line(std::initializer_list<long long> fields) {
    std::string line;
    for (long long v : fields) {
        if (!line.empty()) {
            line += ',';
        }
        line += std::to_string(v);
    }
    return line + "\r\n";
}

// n fields 1, 2, 3, ... so each column is recognisable.
std::string CountingLine(int n) {
    std::string line;
    for (int i = 1; i <= n; ++i) {
        line += std::to_string(i) + (i < n ? "," : "\r\n");
    }
    return line;
}

// The records of tests/data/engine_log_v4_golden.csv, oldest first, with the
// fields the file does not hold set as well (they must not appear in it).
void FillGoldenRecords(CDeviceECUTracker& tracker) {
    CDeviceECUTItem a;
    a.pump_temp = 99;
    a.starter_vol = 88;
    a.starter_rpm = 77;
    a.subtype = 2;
    tracker.addCopy(a);

    CDeviceECUTItem b;
    b.counter = 1;
    b.engine_state = 5;
    b.temperature = 650;
    b.engine_rpm = 85000;
    b.pump_vol = 2150;
    b.radio_vol = 502;
    b.engine_vol = 1180;
    b.pressure = 100800;
    b.rc_input1 = 1500;
    b.rc_input2 = 2000;
    b.pump_st = 2;
    b.pump_rpm = 4250;
    b.error_coe = 33;
    b.current = 123;
    b.tcu_temp = 41;
    b.ecu_temp = 38;
    b.thrust = 1234;
    b.fuel_temp = 24;
    b.fuel_press = 345;
    b.combustion_press = 180;
    tracker.addCopy(b);

    CDeviceECUTItem c;
    c.counter = 33554430;
    c.engine_state = 6;
    c.temperature = -60;
    c.rc_input1 = 1000;
    c.rc_input2 = 1000;
    c.speed = 398;
    c.pump_st = 3;
    c.error_coe = 2147483647;
    c.current = -2147483648;
    c.tcu_temp = -58;
    c.fuel_temp = -12;
    c.combustion_press = 2046;
    tracker.addCopy(c);
}

// The columns a version-4 file keeps.
void ExpectSameSavedColumns(const CDeviceECUTItem& a, const CDeviceECUTItem& b) {
    EXPECT_EQ(a.counter, b.counter);
    EXPECT_EQ(a.engine_state, b.engine_state);
    EXPECT_EQ(a.temperature, b.temperature);
    EXPECT_EQ(a.engine_rpm, b.engine_rpm);
    EXPECT_EQ(a.pump_vol, b.pump_vol);
    EXPECT_EQ(a.radio_vol, b.radio_vol);
    EXPECT_EQ(a.engine_vol, b.engine_vol);
    EXPECT_EQ(a.pressure, b.pressure);
    EXPECT_EQ(a.rc_input1, b.rc_input1);
    EXPECT_EQ(a.rc_input2, b.rc_input2);
    EXPECT_EQ(a.speed, b.speed);
    EXPECT_EQ(a.pump_st, b.pump_st);
    EXPECT_EQ(a.pump_rpm, b.pump_rpm);
    EXPECT_EQ(a.error_coe, b.error_coe);
    EXPECT_EQ(a.current, b.current);
    EXPECT_EQ(a.tcu_temp, b.tcu_temp);
    EXPECT_EQ(a.ecu_temp, b.ecu_temp);
    EXPECT_EQ(a.thrust, b.thrust);
    EXPECT_EQ(a.fuel_temp, b.fuel_temp);
    EXPECT_EQ(a.fuel_press, b.fuel_press);
    EXPECT_EQ(a.combustion_press, b.combustion_press);
}

} // namespace

TEST(CEngineLogFormat, HeaderLineIs348Bytes) {
    const std::string header = CEngineLogFormat::HeaderLine();
    EXPECT_EQ(header.size(), 348u);
    EXPECT_EQ(header.substr(0, 15), "counter,\t\t\t\t\t\t\t");
    EXPECT_EQ(header.substr(header.size() - 18), "combustion_press\r\n");
}

TEST(CEngineLogFile, SavedVersion4FileMatchesGoldenBytes) {
    const char* data = std::getenv("TURBEX_TEST_DATA");
    ASSERT_NE(data, nullptr);
    const std::string golden = ReadFile(fs::path(data) / "engine_log_v4_golden.csv");
    ASSERT_FALSE(golden.empty());

    CDeviceECUTracker tracker;
    FillGoldenRecords(tracker);
    tracker.setRecordsPerSecond(8);
    TempDir dir;
    const std::string path = dir.file("engine_log.csv");
    ASSERT_EQ(tracker.save(path), 1);
    EXPECT_EQ(ReadFile(path), golden);
    EXPECT_FALSE(fs::exists(path + ".tmp"));
}

TEST(CEngineLogFile, SavedAndReloadedLogKeepsOrderFieldsAndRate) {
    // A downloaded log, newest first in memory.
    CDeviceECUTracker original;
    for (uint32_t counter = 1; counter <= 60; ++counter) {
        Format2Raw raw;
        raw.counter = counter * 3;
        raw.subtype = static_cast<uint8_t>(counter % 3);
        raw.rpm = counter * 20;
        raw.temperature = counter;
        raw.current = counter;
        raw.fuelPress = counter * 7;
        raw.radio = counter;
        ASSERT_EQ(original.decode(2, raw.bytes()), 1);
    }
    original.setRecordsPerSecond(16);
    TempDir dir;
    const std::string path = dir.file("engine_log.csv");
    ASSERT_EQ(original.save(path), 1);

    const std::string text = ReadFile(path);
    EXPECT_EQ(text.substr(0, 13), "version,4,16\r");
    // Oldest first in the file: the first record line is counter 3.
    const size_t firstRecord = text.find('\n', text.find('\n') + 1) + 1;
    EXPECT_EQ(text.substr(firstRecord, 2), "3,");

    CDeviceECUTracker loaded;
    ASSERT_EQ(loaded.load(path), 1);
    EXPECT_EQ(loaded.getRecordsPerSecond(), 16); // read back at the rate it was saved
    ASSERT_EQ(loaded.GetCount(), original.GetCount());
    for (int32_t i = 0; i < original.GetCount(); ++i) {
        SCOPED_TRACE(i);
        ExpectSameSavedColumns(*loaded.getItem(i), *original.getItem(i));
    }
}

TEST(CEngineLogFile, FailedSaveLeavesTheOldFile) {
    TempDir dir;
    const std::string path = dir.file("engine_log.csv");
    WriteFile(path, "old contents");
    fs::create_directory(path + ".tmp"); // the temporary file cannot be created
    CDeviceECUTracker tracker;
    FillGoldenRecords(tracker);
    std::string error;
    EXPECT_EQ(tracker.save(path, &error), 0);
    EXPECT_NE(error.find(".tmp"), std::string::npos) << error;
    EXPECT_EQ(ReadFile(path), "old contents");
}

TEST(CEngineLogFile, MissingFileLeavesTheLogAsItWas) {
    CDeviceECUTracker tracker;
    FillGoldenRecords(tracker);
    tracker.setRecordsPerSecond(8);
    std::string error;
    EXPECT_EQ(tracker.load("/nonexistent/engine_log.csv", &error), 0);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(tracker.GetCount(), 3);
    EXPECT_EQ(tracker.getRecordsPerSecond(), 8);
}

TEST(CEngineLogReader, VersionLineSetsVersionAndAcceptedRates) {
    struct Case {
        const char* line;
        int version;
        int recordsPerSecond;
    };
    const Case cases[] = {
        {"version,4,2\r\n", 4, 2},
        {"version,4,4\r\n", 4, 4},
        {"version,4,8\r\n", 4, 8},
        {"version,4,16\r\n", 4, 16}, // the tool writes 16, so it reads it too
        {"version,203,100\r\n", 203, 100},
        {"version,2,8\r\n", 2, 8},
        {"version,3,4\r\n", 3, 4},
        {"version,1,8\r\n", 1, 2}, // version 1 has no rate
        {"version,4,3\r\n", 4, 2},
        {"version,4,32\r\n", 4, 2},
        {"version,4\r\n", 4, 2},
        {"anything, 4, 8\r\n", 4, 8},
        {"version,4 ,8\r\n", 4, 2},
        {",4,8\r\n", 255, 2},
        {"version\r\n", 255, 2},
        {"version,x,8\r\n", 255, 2},
        {"version,99999999999,8\r\n", 255, 2},
        {"\r\n", 255, 2},
    };
    for (const Case& c : cases) {
        CDeviceECUTracker tracker;
        CEngineLogReader reader(tracker);
        const std::string text = c.line;
        reader.Feed(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
        reader.Finish();
        EXPECT_EQ(reader.Version(), c.version) << c.line;
        EXPECT_EQ(tracker.getRecordsPerSecond(), c.recordsPerSecond) << c.line;
    }
}

TEST(CEngineLogReader, EachVersionNeedsItsFieldCount) {
    struct Case {
        int version;
        int fields;
        bool accepted;
    };
    const Case cases[] = {
        {1, 13, true},
        {1, 12, false},
        {1, 14, true}, // fields after the last are ignored
        {2, 17, true},
        {2, 16, false},
        {3, 18, true},
        {3, 17, false},
        {4, 21, true},
        {4, 20, false},
        {4, 13, false},
        {203, 12, false},
        {203, 13, true},
        {203, 14, true},
        {203, 15, true},
        {203, 16, true},
        {5, 21, false},
        {0, 21, false},
    };
    for (const Case& c : cases) {
        CDeviceECUTracker tracker;
        Load(tracker, "version," + std::to_string(c.version) + ",2\r\n" + CountingLine(c.fields));
        EXPECT_EQ(tracker.GetCount(), c.accepted ? 1 : 0)
            << "version " << c.version << ", " << c.fields << " fields";
    }
}

TEST(CEngineLogReader, VersionColumnsGoToTheirFields) {
    CDeviceECUTracker v4;
    Load(v4, "version,4,2\r\n" + CountingLine(21));
    ASSERT_EQ(v4.GetCount(), 1);
    const CDeviceECUTItem& a = *v4.newest();
    EXPECT_EQ(a.counter, 1u);
    EXPECT_EQ(a.engine_state, 2);
    EXPECT_EQ(a.speed, 11);
    EXPECT_EQ(a.pump_rpm, 13);
    EXPECT_EQ(a.error_coe, 14);
    EXPECT_EQ(a.ecu_temp, 17);
    EXPECT_EQ(a.thrust, 18);
    EXPECT_EQ(a.combustion_press, 21);

    CDeviceECUTracker v1;
    Load(v1, "version,1\r\n" + CountingLine(13));
    ASSERT_EQ(v1.GetCount(), 1);
    EXPECT_EQ(v1.newest()->pump_rpm, 13);
    EXPECT_EQ(v1.newest()->error_coe, 0);
}

TEST(CEngineLogReader, Version203MapsColumnsAndDividesFuelPressure) {
    CDeviceECUTracker tracker;
    Load(tracker,
         "version,203,100\r\n" +
             Line({7, 5, 999, 60000, 700, 2100, 3000, 500, 1210, 85, 3, 4567, 22, 1500, 75, 9000}) +
             Line({8, 5, 999, 60000, 700, 2100, 3000, 500, 1210, 85, 3, -45, 22}));
    ASSERT_EQ(tracker.GetCount(), 2);
    const CDeviceECUTItem& full = *tracker.oldest();
    EXPECT_EQ(full.counter, 7u);
    EXPECT_EQ(full.engine_state, 5);
    EXPECT_EQ(full.engine_rpm, 60000);
    EXPECT_EQ(full.temperature, 700);
    EXPECT_EQ(full.pump_vol, 2100);
    EXPECT_EQ(full.pump_rpm, 3000);
    EXPECT_EQ(full.radio_vol, 500);
    EXPECT_EQ(full.engine_vol, 1210);
    EXPECT_EQ(full.current, 85);
    EXPECT_EQ(full.error_coe, 3);
    EXPECT_EQ(full.fuel_press, 456);
    EXPECT_EQ(full.fuel_temp, 22);
    EXPECT_EQ(full.thrust, 1500);
    EXPECT_EQ(full.starter_vol, 75);
    EXPECT_EQ(full.starter_rpm, 9000);
    const CDeviceECUTItem& shortest = *tracker.newest();
    EXPECT_EQ(shortest.fuel_press, -4); // divided as integers, towards zero
    EXPECT_EQ(shortest.thrust, 0);
    EXPECT_EQ(shortest.starter_rpm, 0);
    EXPECT_EQ(tracker.getRecordsPerSecond(), 100);
}

TEST(CEngineLogReader, SkipsBadLinesAndKeepsGoodOnes) {
    const std::string good = CountingLine(21);
    const std::string text = "version,4,2\r\n" + CEngineLogFormat::HeaderLine() + good +
                             std::string(10000, '7') + "\r\n" + // overlong
                             "1,2,3,99999999999,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21\r\n" +
                             std::string("\x01\xFE\x80garbage\0,,\r\n", 15) + // binary
                             "1,2,3\r\n" +                                    // too short
                             "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,x\r\n" + "\r\n" +
                             good + "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21";
    CDeviceECUTracker tracker;
    CEngineLogReader reader(tracker);
    reader.Feed(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    reader.Finish(); // the last line has no LF and still counts
    EXPECT_EQ(tracker.GetCount(), 3);
    EXPECT_EQ(reader.SkippedLines(), 7);
}

TEST(CEngineLogReader, LineCutBetweenChunksIsParsedWhole) {
    std::string text = "version,4,8\r\n" + CEngineLogFormat::HeaderLine();
    for (int i = 0; i < 4; ++i) {
        text += Line({100 + i, 5, -60 - i, 123456, 1,  2,  3,  4,  5,  6,     7,
                      8,       9, 10,      11,     12, 13, 14, 15, 16, 17 + i});
    }
    CDeviceECUTracker whole;
    Load(whole, text);
    ASSERT_EQ(whole.GetCount(), 4);
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        CDeviceECUTracker split;
        CEngineLogReader reader(split);
        const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
        reader.Feed(std::span(bytes, cut));
        reader.Feed(std::span(bytes + cut, text.size() - cut));
        reader.Finish();
        ASSERT_EQ(split.GetCount(), 4) << "cut at " << cut;
        EXPECT_EQ(split.getRecordsPerSecond(), 8) << "cut at " << cut;
        for (int32_t i = 0; i < 4; ++i) {
            ASSERT_TRUE(split.getItem(i)->sameFields(*whole.getItem(i))) << "cut at " << cut;
        }
    }
}

// A file of more than one read chunk and more lines than the log takes: no
// line at a chunk boundary is lost or altered, and adding stops at 32767.
TEST(CEngineLogFile, LargeFileLoadsAcrossChunksUpToTheLimit) {
    const int lines = CEngineLogReader::kMaxRecords + 500;
    std::string text = "version,4,4\r\n" + CEngineLogFormat::HeaderLine();
    for (int i = 0; i < lines; ++i) {
        text += Line({i,       i % 32, 400 + i % 700, i * 3,           1000 + i % 999,
                      500,     1200,   100000 + i,    1000 + i % 1000, 2000,
                      i % 511, i % 4,  i % 5000,      i % 1024,        i % 900,
                      i % 90,  i % 80, i % 2000,      i % 100 - 20,    i % 2047,
                      i % 1000});
    }
    ASSERT_GT(text.size(), CEngineLogFile::kChunkSize);
    TempDir dir;
    const std::string path = dir.file("large.csv");
    WriteFile(path, text);

    CDeviceECUTracker tracker;
    ASSERT_EQ(tracker.load(path), 1);
    ASSERT_EQ(tracker.GetCount(), CEngineLogReader::kMaxRecords);
    EXPECT_EQ(tracker.getRecordsPerSecond(), 4);
    // Pushed at the front line by line: the last accepted line is the newest.
    int32_t expected = CEngineLogReader::kMaxRecords - 1;
    for (CMNode* n = tracker.GetHead(); n != nullptr; n = n->next, --expected) {
        const auto& r = *static_cast<CDeviceECUTItem*>(n);
        ASSERT_EQ(static_cast<int32_t>(r.counter), expected);
        ASSERT_EQ(r.engine_rpm, expected * 3);
        ASSERT_EQ(r.pressure, 100000 + expected);
        ASSERT_EQ(r.combustion_press, expected % 1000);
    }
    EXPECT_EQ(expected, -1);

    // The same file read in small chunks gives the same log.
    CDeviceECUTracker small;
    CEngineLogFile file(4093);
    ASSERT_EQ(file.Load(small, path), 1);
    ASSERT_EQ(small.GetCount(), tracker.GetCount());
    for (CMNode *a = tracker.GetHead(), *b = small.GetHead(); a != nullptr;
         a = a->next, b = b->next) {
        ASSERT_TRUE(
            static_cast<CDeviceECUTItem*>(a)->sameFields(*static_cast<CDeviceECUTItem*>(b)));
    }
}
