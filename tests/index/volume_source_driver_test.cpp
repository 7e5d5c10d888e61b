#include "index/volume_source_driver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>

#include "index/index_build.h"
#include "index/mft_reader.h"
#include "index/partition_table.h"
#include "index/platform.h"
#include "index/raw_volume.h"
#include "index/utf8.h"
#include "tests/index/driver_double.h"
#include "tests/index/ntfs_builder.h"

using testntfs::Bytes;
using testntfs::DriverDouble;
using testntfs::DriverSwitches;
using testntfs::RecordBuilder;
using testntfs::VolumeLayout;

namespace {

using Row =
    std::tuple<uint64_t, uint64_t, std::string, int, std::string, std::string, uint64_t, uint64_t>;

std::vector<Row> Rows(const VolumeEntries& volume) {
    std::vector<Row> rows;
    const std::vector<FileEntry>& entries = volume.columns.entries;
    for (std::size_t row = 0; row < entries.size(); ++row) {
        const FileEntry& e = entries[row];
        rows.emplace_back(e.RecordNumber(), e.ParentRecordNumber(),
                          ToUtf8(volume.columns.Name(row)), e.isFolder ? 1 : 0,
                          std::to_string(e.SizeKilobytes()),
                          std::to_string(volume.columns.category[row]), e.Created, e.Modified);
    }
    return rows;
}

// Captures the diagnostic lines for the duration of a test.
class DiagnosticCapture {
  public:
    DiagnosticCapture() : saved_(ThePlatform().diagnostic) {
        ThePlatform().diagnostic = [this](std::string_view line) { lines.emplace_back(line); };
    }
    ~DiagnosticCapture() { ThePlatform().diagnostic = saved_; }
    std::vector<std::string> lines;

  private:
    std::function<void(std::string_view)> saved_;
};

ReadAt ReaderOf(const Bytes& image) {
    auto bytes = std::make_shared<Bytes>(image);
    return [bytes](uint64_t offset, std::span<uint8_t> buffer) {
        if (offset > bytes->size() || buffer.size() > bytes->size() - offset) return false;
        std::copy_n(bytes->begin() + offset, buffer.size(), buffer.begin());
        return true;
    };
}

// The volume's entries as the raw reader reads them: what the driver path must give.
std::optional<VolumeEntries> ReadRaw(const ReadAt& read) {
    std::optional<VolumeSource> source = OpenRawVolume(read, nullptr);
    if (!source) return std::nullopt;
    return ReadVolume(*source);
}

// The volume's entries read through the driver double's replies.
std::optional<VolumeEntries> ReadThroughDriver(DriverDouble& driver) {
    VolumeSource source;
    if (OpenDriverVolume(u"\\\\.\\D:", driver.Requests(), source) != 0) return std::nullopt;
    return ReadVolume(source);
}

// 1 KiB records from 36 to 79 in use, each with a name long enough to cross the first 512-byte
// stride, so that a record without its fix-up reads differently; some folders, some sizes.
Bytes SyntheticVolume(uint32_t recordSize = 1024) {
    VolumeLayout layout;
    layout.clustersPerMftRecord = recordSize == 1024 ? -10 : -12;
    layout.mftRuns = {{16, recordSize / 32}};
    for (uint64_t number = 36; number < 80; ++number) {
        bool folder = number % 7 == 0;
        RecordBuilder builder(recordSize, folder ? testntfs::InUseFolder : testntfs::InUse);
        std::u16string name = u"file " + FromUtf8(std::to_string(number)) + u" " +
                              std::u16string(140, char16_t(u'a' + number % 26)) + u".txt";
        builder.StandardInformation(1000 + number, 2000 + number)
            .FileName(folder ? 5 : 42, name)
            .ResidentData(uint32_t(number * 3));
        layout.records[number] = builder.Protected(uint16_t(number * 11));
    }
    return testntfs::MakeVolume(layout).image;
}

// Unpacks the two smaller Windows-written sample images (the others are 1 GiB each) into `dir`.
std::vector<std::string> WindowsSampleImages(const std::string& dir) {
    std::vector<std::string> images;
    const std::string samples = SKIMLET_SOURCE_DIR "/tests/fixtures/windows-samples/";
    for (const char* name : {"ntfs-lastaccess.raw", "windows_volume.raw"}) {
        std::string image = dir + "/" + name;
        std::string command = "gzip -dc '" + samples + name + ".gz' > '" + image + "'";
        if (std::system(command.c_str()) == 0) images.push_back(image);
    }
    return images;
}

// Reads a volume that begins `offset` bytes into an image file.
ReadAt FileVolume(const std::string& path, uint64_t offset) {
    auto file = std::make_shared<std::ifstream>(path, std::ios::binary);
    return [file, offset](uint64_t at, std::span<uint8_t> buffer) {
        file->clear();
        file->seekg(std::streamoff(offset + at));
        file->read(reinterpret_cast<char*>(buffer.data()), std::streamsize(buffer.size()));
        return file->gcount() == std::streamsize(buffer.size());
    };
}

}  // namespace

TEST(DriverPath, GivesTheRawReadersEntries) {
    char dir[] = "/tmp/driver-samples-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    std::vector<std::pair<std::string, ReadAt>> volumes;
    for (const std::string& image : WindowsSampleImages(dir))
        for (const VolumeExtent& extent : FindNtfsExtentsInFile(image))
            volumes.emplace_back(image, FileVolume(image, extent.offset));
    ASSERT_EQ(volumes.size(), 2u) << "the Windows sample images could not be unpacked";
    volumes.emplace_back("synthetic, 1 KiB records", ReaderOf(SyntheticVolume()));
    volumes.emplace_back("synthetic, 4 KiB records", ReaderOf(SyntheticVolume(4096)));
    for (const auto& [what, read] : volumes) {
        std::optional<VolumeEntries> raw = ReadRaw(read);
        ASSERT_TRUE(raw) << what;
        DriverDouble driver(read, {});
        ASSERT_TRUE(driver.Open()) << what;
        std::optional<VolumeEntries> driven = ReadThroughDriver(driver);
        ASSERT_TRUE(driven) << what;
        EXPECT_FALSE(raw->columns.entries.empty()) << what;
        EXPECT_EQ(Rows(*driven), Rows(*raw)) << what;
    }
    std::system(("rm -rf " + std::string(dir)).c_str());
}

// A driver that enforces the documented reply size, sizeof(NTFS_FILE_RECORD_OUTPUT_BUFFER) +
// record size - 1, answers every request.
TEST(DriverReplies, BufferHoldsTheDocumentedReply) {
    for (uint32_t recordSize : {1024u, 4096u}) {
        ReadAt read = ReaderOf(SyntheticVolume(recordSize));
        DriverSwitches switches;
        switches.insistOnDocumentedSize = true;
        DriverDouble driver(read, switches);
        ASSERT_TRUE(driver.Open());
        std::optional<VolumeEntries> driven = ReadThroughDriver(driver);
        ASSERT_TRUE(driven) << recordSize;
        EXPECT_EQ(Rows(*driven), Rows(*ReadRaw(read))) << recordSize;
        for (std::size_t size : driver.replySizes) EXPECT_GE(size, 16 + recordSize - 1);
    }
}

// A reply is taken only when it holds a whole record of the volume's record size; a cut one is
// refused like a damaged record, and the walk goes on below it.
TEST(DriverReplies, ShortReplyIsNotARecord) {
    const ReadAt read = ReaderOf(SyntheticVolume());
    std::vector<Row> expected;
    for (const Row& row : Rows(*ReadRaw(read)))
        if (std::get<0>(row) != 60) expected.push_back(row);
    for (uint32_t bytes : {0u, 512u, 1022u}) {
        DriverSwitches switches;
        switches.shortReplies = {60};
        switches.shortReplyBytes = bytes;
        DriverDouble driver(read, switches);
        ASSERT_TRUE(driver.Open());
        std::optional<VolumeEntries> driven = ReadThroughDriver(driver);
        ASSERT_TRUE(driven) << bytes;
        EXPECT_EQ(Rows(*driven), expected) << bytes;
    }
}

// NTFS hands out its fixed-up copy of a record, but nothing guarantees it: a record whose every
// stride still ends in the update sequence number is fixed up here.
TEST(DriverReplies, RecordWithoutItsFixupIsFixedUp) {
    for (uint32_t recordSize : {1024u, 4096u}) {
        const ReadAt read = ReaderOf(SyntheticVolume(recordSize));
        DriverSwitches switches;
        switches.withoutFixup = true;
        DriverDouble driver(read, switches);
        ASSERT_TRUE(driver.Open());
        std::optional<VolumeEntries> driven = ReadThroughDriver(driver);
        ASSERT_TRUE(driven) << recordSize;
        EXPECT_EQ(Rows(*driven), Rows(*ReadRaw(read))) << recordSize;
    }
}

// One refusal of a record is asked again before the walk steps below it.
TEST(DriverReplies, TransientRefusalIsAskedAgain) {
    const ReadAt read = ReaderOf(SyntheticVolume());
    const std::vector<Row> expected = Rows(*ReadRaw(read));
    const std::map<uint64_t, int> cases[] = {
        {{60, 1}},
        {{79, 1}},
        {{36, 1}},
        {{50, 1}, {51, 1}, {52, 1}},
    };
    for (const auto& refusals : cases) {
        DriverSwitches switches;
        switches.transientRefusals = refusals;
        DriverDouble driver(read, switches);
        ASSERT_TRUE(driver.Open());
        std::optional<VolumeEntries> driven = ReadThroughDriver(driver);
        ASSERT_TRUE(driven) << refusals.begin()->first;
        EXPECT_EQ(Rows(*driven), expected) << refusals.begin()->first;
    }
}

// An error that is not about one record ends the walk at once and fails the volume, named with
// its reason in one diagnostic line; so does a run of refusals longer than any damaged stretch.
// A damaged stretch itself costs only its records.
TEST(DriverReplies, VolumeWideRefusalFailsTheVolume) {
    const ReadAt read = ReaderOf(SyntheticVolume());
    const std::vector<Row> all = Rows(*ReadRaw(read));
    std::map<uint64_t, int> stretch;
    for (uint64_t number = 40; number < 60; ++number) stretch[number] = 1000000;
    std::vector<Row> withoutStretch;
    for (const Row& row : all)
        if (std::get<0>(row) < 40 || std::get<0>(row) >= 60) withoutStretch.push_back(row);
    constexpr int64_t ManyRecords = 300000 * int64_t{1024};
    struct Case {
        const char* what;
        uint32_t error;
        std::map<uint64_t, int> refusals;
        bool denyReadOnly;
        std::optional<int64_t> validLength;
        std::size_t mostRequests;
        std::string reason;  // empty: the volume is read
        std::vector<Row> rows;
    } cases[] = {
        {"buffer refused (122)",
         driver_error::InsufficientBuffer,
         {},
         false,
         ManyRecords,
         1,
         "error 122",
         {}},
        {"access denied (5)", 0, {}, true, ManyRecords, 1, "error 5", {}},
        {"invalid handle (6)", driver_error::InvalidHandle, {}, false, {}, 1, "error 6", {}},
        {"device not ready (21)", driver_error::NotReady, {}, false, {}, 1, "error 21", {}},
        {"a run of refusals without end",
         1392,
         {},
         false,
         ManyRecords,
         2 * MaxRefusedRun + 2,
         "refused",
         {}},
        {"a damaged stretch", 0, stretch, false, {}, 200, "", withoutStretch},
    };
    for (const Case& c : cases) {
        DiagnosticCapture capture;
        DriverSwitches switches;
        switches.refuseEveryRecord = c.error;
        switches.transientRefusals = c.refusals;
        switches.deniedWithoutWriteAccess = c.denyReadOnly;
        switches.claimedValidLength = c.validLength;
        DriverDouble driver(read, switches);
        ASSERT_TRUE(driver.Open());
        std::optional<VolumeEntries> driven = ReadThroughDriver(driver);
        EXPECT_LE(driver.asked.size(), c.mostRequests) << c.what;
        if (c.reason.empty()) {
            ASSERT_TRUE(driven) << c.what;
            EXPECT_EQ(Rows(*driven), c.rows) << c.what;
            EXPECT_TRUE(capture.lines.empty()) << c.what;
            continue;
        }
        EXPECT_FALSE(driven) << c.what;
        ASSERT_EQ(capture.lines.size(), 1u) << c.what;
        EXPECT_EQ(capture.lines[0].rfind("error: \\\\.\\D: ", 0), 0u) << capture.lines[0];
        EXPECT_NE(capture.lines[0].find(c.reason), std::string::npos) << capture.lines[0];
    }
}

// The volume is counted as failed, not as read with no entries; the others are read whole.
TEST(DriverReplies, FailedVolumeIsCountedAsFailed) {
    DiagnosticCapture capture;
    const ReadAt read = ReaderOf(SyntheticVolume());
    DriverDouble good(read, {});
    DriverSwitches refusing;
    refusing.refuseEveryRecord = driver_error::InsufficientBuffer;
    DriverDouble bad(read, refusing);
    ASSERT_TRUE(good.Open() && bad.Open());
    VolumeOpener open = [&](std::u16string_view devicePath) -> std::optional<VolumeSource> {
        VolumeSource source;
        DriverDouble& driver = devicePath == u"\\\\.\\D:" ? bad : good;
        if (OpenDriverVolume(devicePath, driver.Requests(), source) != 0) return std::nullopt;
        return source;
    };
    std::vector<std::u16string> failed;
    FileTable table = BuildIndex({u"\\\\.\\C:", u"\\\\.\\D:", u"\\\\.\\E:"}, open, &failed);
    EXPECT_EQ(failed, std::vector<std::u16string>{u"\\\\.\\D:"});
    EXPECT_EQ(table.Size(), 2 * ReadRaw(read)->columns.Rows());
    ASSERT_EQ(capture.lines.size(), 1u);
    EXPECT_EQ(capture.lines[0].rfind("error: \\\\.\\D: ", 0), 0u) << capture.lines[0];
}

// The volume is opened for reading only. A driver that refuses a record for lack of access gets
// the volume opened again with write access too, once, and the walk goes on.
TEST(DriverReplies, AccessDeniedReopensWithWriteAccess) {
    const ReadAt read = ReaderOf(SyntheticVolume());
    const std::vector<Row> all = Rows(*ReadRaw(read));
    struct Case {
        const char* what;
        bool denyReadOnly;
        bool reopenWorks;
        int reopens;
        bool read;
    } cases[] = {
        {"read access is enough", false, true, 0, true},
        {"write access wanted", true, true, 1, true},
        {"write access wanted and not granted", true, false, 1, false},
    };
    for (const Case& c : cases) {
        DiagnosticCapture capture;
        DriverSwitches switches;
        switches.deniedWithoutWriteAccess = c.denyReadOnly;
        DriverDouble driver(read, switches);
        ASSERT_TRUE(driver.Open());
        int reopens = 0;
        DriverRequests requests = driver.Requests(false);
        requests.reopenWithWriteAccess = [&]() -> std::optional<DriverRequests> {
            ++reopens;
            if (!c.reopenWorks) return std::nullopt;
            return driver.Requests(true);
        };
        VolumeSource source;
        ASSERT_EQ(OpenDriverVolume(u"\\\\.\\D:", std::move(requests), source), 0u) << c.what;
        std::optional<VolumeEntries> driven = ReadVolume(source);
        EXPECT_EQ(reopens, c.reopens) << c.what;
        ASSERT_EQ(driven.has_value(), c.read) << c.what;
        if (driven) {
            EXPECT_EQ(Rows(*driven), all) << c.what;
        } else {
            ASSERT_EQ(capture.lines.size(), 1u) << c.what;
            EXPECT_NE(capture.lines[0].find("error 5"), std::string::npos) << capture.lines[0];
        }
    }
}
