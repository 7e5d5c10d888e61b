#include "index/index_build.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "index/classify.h"
#include "index/file_entry.h"
#include "index/platform.h"
#include "index/utf8.h"
#include "search/search_driver.h"
#include "tests/index/captured_diagnostics.h"

namespace {

constexpr uint32_t RecordSize = 1024;
constexpr uint64_t RootRecord = 5;

// One file or folder of a fake volume.
struct FakeFile {
    uint64_t record;
    uint64_t parent;
    std::u16string name;
    bool isFolder;
    uint64_t size = 0;
    uint64_t created = 133000000000000000ull;
    uint64_t modified = 133000000000000000ull;
};

void Put16(std::vector<uint8_t>& bytes, std::size_t at, uint16_t value) {
    std::memcpy(bytes.data() + at, &value, sizeof value);
}
void Put32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) {
    std::memcpy(bytes.data() + at, &value, sizeof value);
}
void Put64(std::vector<uint8_t>& bytes, std::size_t at, uint64_t value) {
    std::memcpy(bytes.data() + at, &value, sizeof value);
}

// A file record as the driver hands it out (update sequence already applied): header,
// $STANDARD_INFORMATION, a $FILE_NAME in the Win32 namespace, an unnamed $DATA for files.
std::vector<uint8_t> MakeRecord(const FakeFile& file) {
    std::vector<uint8_t> record(RecordSize, 0);
    Put32(record, 0x00, 0x454C4946);  // "FILE"
    Put16(record, 0x04, 0x30);
    Put16(record, 0x06, 3);
    Put16(record, 0x10, 1);
    Put16(record, 0x12, 1);
    Put16(record, 0x14, 0x38);
    Put16(record, 0x16, file.isFolder ? 3 : 1);
    Put32(record, 0x1C, RecordSize);
    Put32(record, 0x2C, static_cast<uint32_t>(file.record));
    std::size_t at = 0x38;

    Put32(record, at, 0x10);
    Put32(record, at + 0x04, 0x60);
    Put32(record, at + 0x10, 0x48);
    Put16(record, at + 0x14, 0x18);
    Put64(record, at + 0x18, file.created);
    Put64(record, at + 0x20, file.modified);
    Put64(record, at + 0x28, file.modified);
    Put64(record, at + 0x30, file.modified);
    at += 0x60;

    uint32_t valueLength = 0x42 + 2 * static_cast<uint32_t>(file.name.size());
    uint32_t length = (0x18 + valueLength + 7) & ~7u;
    Put32(record, at, 0x30);
    Put32(record, at + 0x04, length);
    Put32(record, at + 0x10, valueLength);
    Put16(record, at + 0x14, 0x18);
    std::size_t value = at + 0x18;
    Put64(record, value, file.parent | (uint64_t{1} << 48));
    Put64(record, value + 0x08, file.created);
    Put64(record, value + 0x10, file.modified);
    Put64(record, value + 0x18, file.modified);
    Put64(record, value + 0x20, file.modified);
    Put64(record, value + 0x28, file.size);
    Put64(record, value + 0x30, file.size);
    Put32(record, value + 0x38, file.isFolder ? 0x10000000 : 0x20);
    record[value + 0x40] = static_cast<uint8_t>(file.name.size());
    record[value + 0x41] = 1;
    std::memcpy(record.data() + value + 0x42, file.name.data(), 2 * file.name.size());
    at += length;

    if (!file.isFolder) {
        // Non-resident, so that any size fits; the run list is empty.
        Put32(record, at, 0x80);
        Put32(record, at + 0x04, 0x48);
        record[at + 0x08] = 1;
        Put16(record, at + 0x20, 0x40);
        Put64(record, at + 0x28, (file.size + 4095) & ~uint64_t{4095});
        Put64(record, at + 0x30, file.size);
        Put64(record, at + 0x38, file.size);
        at += 0x48;
    }
    Put32(record, at, 0xFFFFFFFF);
    Put32(record, 0x18, static_cast<uint32_t>(at + 8));
    return record;
}

// An in-memory volume: records keyed by number, answered as the driver answers them.
VolumeSource FakeVolume(const std::vector<FakeFile>& files, uint64_t recordCount) {
    auto records = std::make_shared<std::map<uint64_t, std::vector<uint8_t>>>();
    for (const FakeFile& file : files) (*records)[file.record] = MakeRecord(file);
    VolumeSource source;
    source.volumeData = [recordCount](NtfsVolumeData& data) {
        data.BytesPerFileRecordSegment = RecordSize;
        data.MftValidDataLength = static_cast<int64_t>(recordCount * RecordSize);
        return true;
    };
    source.recordAtOrBelow = [records](uint64_t n, uint64_t& number, std::span<uint8_t> out) {
        std::fill(out.begin(), out.end(), 0);
        auto found = records->upper_bound(n);
        if (found == records->begin()) {
            number = 0;
            return true;
        }
        --found;
        number = found->first;
        std::copy_n(found->second.begin(), std::min<std::size_t>(out.size(), RecordSize),
                    out.begin());
        return true;
    };
    source.owner = records;
    return source;
}

// A fake opener over named fake volumes; an unknown device path fails as a refused open does.
struct FakeMachine {
    std::map<std::u16string, std::vector<FakeFile>> volumes;
    std::atomic<int> opened{0};

    VolumeOpener Opener() {
        return [this](std::u16string_view devicePath) -> std::optional<VolumeSource> {
            ++opened;
            auto volume = volumes.find(std::u16string(devicePath));
            if (volume == volumes.end()) {
                ThePlatform().diagnostic("error");
                return std::nullopt;
            }
            uint64_t highest = 0;
            for (const FakeFile& file : volume->second) highest = std::max(highest, file.record);
            return FakeVolume(volume->second, std::max<uint64_t>(200, highest + 1));
        };
    }
};

std::vector<FakeFile> VolumeOfSize(int files, uint64_t firstRecord, const std::u16string& tag) {
    std::vector<FakeFile> volume;
    volume.push_back({firstRecord, RootRecord, u"Folder " + tag, true});
    for (int i = 1; i <= files; ++i)
        volume.push_back({firstRecord + i, firstRecord,
                          tag + u"-" + std::u16string(1, char16_t(u'a' + i)) + u".txt", false,
                          static_cast<uint64_t>(i * 1000)});
    return volume;
}

// The entries of one device's block.
std::vector<uint32_t> BlockOf(const FileTable& table, std::u16string_view drive) {
    std::vector<uint32_t> block;
    for (uint32_t row = 0; row < table.Size(); ++row)
        if (table.FolderPath(row).substr(0, 2) == drive) block.push_back(row);
    return block;
}

bool BlocksAreContiguousAndDescending(const FileTable& table) {
    std::set<std::u16string> finished;
    std::u16string current;
    uint64_t previous = UINT64_MAX;
    for (uint32_t row = 0; row < table.Size(); ++row) {
        std::u16string drive(table.FolderPath(row).substr(0, 2));
        if (drive != current) {
            if (finished.count(drive)) return false;
            if (!current.empty()) finished.insert(current);
            current = drive;
            previous = UINT64_MAX;
        }
        if (table[row].RecordNumber() >= previous) return false;
        previous = table[row].RecordNumber();
    }
    return true;
}

TEST(BuildIndex, TwoVolumesGiveTwoDescendingBlocks) {
    CapturedDiagnostics diagnostics;
    FakeMachine machine;
    machine.volumes[u"\\\\.\\C:"] = VolumeOfSize(5, 40, u"c");
    machine.volumes[u"\\\\.\\D:"] = VolumeOfSize(8, 60, u"d");
    const FileTable table = BuildIndex({u"\\\\.\\C:", u"\\\\.\\D:"}, machine.Opener());
    EXPECT_EQ(table.Size(), 6u + 9u);
    EXPECT_TRUE(BlocksAreContiguousAndDescending(table));
    struct Case {
        const char16_t* drive;
        std::size_t count;
        const char16_t* firstFullPath;
    } cases[] = {
        {u"C:", 6, u"C:\\Folder c\\c-f.txt"},
        {u"D:", 9, u"D:\\Folder d\\d-i.txt"},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> block = BlockOf(table, c.drive);
        ASSERT_EQ(block.size(), c.count) << ToUtf8(c.drive);
        EXPECT_EQ(table.FullPath(block.front()), c.firstFullPath);
        EXPECT_TRUE(table[block.back()].isFolder);
        EXPECT_EQ(table.Category(block.back()), 5);
        EXPECT_EQ(table.Category(block.front()), 3);
        EXPECT_EQ(table.CreatedText(block.front()).View().size(), 16u);
    }
    ASSERT_EQ(table.Volumes().size(), 2u);
    EXPECT_EQ(table.Volumes()[1].drive, u'D');
    EXPECT_EQ(table.Volumes()[1].firstRow, 6u);
    EXPECT_EQ(table.Volumes()[1].rows, 9u);
    EXPECT_TRUE(diagnostics.Lines().empty());
}

TEST(BuildIndex, EachVolumeAppendsItsOwnFortyNineIcons) {
    std::mutex mutex;
    std::vector<int> resources;
    auto saved = ThePlatform().appendIcon;
    ThePlatform().appendIcon = [&](int resourceId) {
        std::lock_guard<std::mutex> lock(mutex);
        resources.push_back(resourceId);
        return static_cast<int>(resources.size() - 1);
    };
    FakeMachine machine;
    machine.volumes[u"\\\\.\\C:"] = VolumeOfSize(3, 40, u"c");
    machine.volumes[u"\\\\.\\D:"] = VolumeOfSize(3, 40, u"d");
    const FileTable table = BuildIndex({u"\\\\.\\C:", u"\\\\.\\D:"}, machine.Opener());
    ThePlatform().appendIcon = saved;
    EXPECT_EQ(resources.size(), 98u);
    std::map<int, int> perResource;
    for (int id : resources) ++perResource[id];
    for (int id = 102; id <= 150; ++id) EXPECT_EQ(perResource[id], 2) << id;
    std::vector<uint32_t> c = BlockOf(table, u"C:"), d = BlockOf(table, u"D:");
    ASSERT_FALSE(c.empty());
    ASSERT_FALSE(d.empty());
    EXPECT_NE(table.IconIndex(c.front()), table.IconIndex(d.front()));
    EXPECT_EQ(resources[table.IconIndex(c.front())], resources[table.IconIndex(d.front())]);
    EXPECT_EQ(resources[table.IconIndex(c.front())], 143);  // the "txt" icon
}

TEST(BuildIndex, FailingVolumeLeavesTheOthersComplete) {
    CapturedDiagnostics diagnostics;
    FakeMachine machine;
    machine.volumes[u"\\\\.\\C:"] = VolumeOfSize(4, 40, u"c");
    machine.volumes[u"\\\\.\\E:"] = VolumeOfSize(7, 40, u"e");
    // One part per volume, so that every open is a volume's worker and not a further part.
    const FileTable table =
        BuildIndex({u"\\\\.\\C:", u"\\\\.\\D:", u"\\\\.\\E:"}, machine.Opener(), nullptr, 1);
    EXPECT_EQ(machine.opened.load(), 3);
    EXPECT_EQ(BlockOf(table, u"C:").size(), 5u);
    EXPECT_EQ(BlockOf(table, u"D:").size(), 0u);
    EXPECT_EQ(BlockOf(table, u"E:").size(), 8u);
    EXPECT_EQ(table.Size(), 13u);
    EXPECT_TRUE(BlocksAreContiguousAndDescending(table));
    EXPECT_EQ(diagnostics.Lines(), std::vector<std::string>{"error"});
}

TEST(BuildIndex, EmptyAndRepeatedBuilds) {
    CapturedDiagnostics diagnostics;
    FakeMachine machine;
    machine.volumes[u"\\\\.\\C:"] = VolumeOfSize(4, 40, u"c");
    struct Case {
        std::vector<std::u16string> volumes;
        std::size_t entries;
    } cases[] = {
        {{u"\\\\.\\C:"}, 5},
        {{}, 0},
        {{u"\\\\.\\C:"}, 5},
        {{u"\\\\.\\Q:"}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildIndex(c.volumes, machine.Opener()).Size(), c.entries);
    }
}

TEST(BuildIndex, EveryVolumeGetsAWorker) {
    CapturedDiagnostics diagnostics;
    FakeMachine machine;
    std::vector<std::u16string> volumes;
    // More volumes than the 20 a fixed worker table would allow.
    for (int i = 0; i < 24; ++i) {
        std::u16string path = u"\\\\.\\" + std::u16string(1, char16_t(u'C' + i)) + u":";
        machine.volumes[path] = VolumeOfSize(1, 40 + i, std::u16string(1, char16_t(u'a' + i)));
        volumes.push_back(path);
    }
    // One part per volume, so that every open is a volume's worker and not a further part.
    const FileTable table = BuildIndex(volumes, machine.Opener(), nullptr, 1);
    EXPECT_EQ(machine.opened.load(), 24);
    EXPECT_EQ(table.Size(), 48u);
    EXPECT_TRUE(BlocksAreContiguousAndDescending(table));
}

// The blocks, and the icon sets the volumes append, follow the order of the volume list,
// whichever worker ends first: here the first volume is by far the largest, so it ends last.
TEST(BuildIndex, BlocksAndIconSetsFollowTheVolumeOrder) {
    CapturedDiagnostics diagnostics;
    auto saved = ThePlatform().appendIcon;
    std::atomic<int> appended{0};
    ThePlatform().appendIcon = [&](int) { return appended++; };
    FakeMachine machine;
    machine.volumes[u"\\\\.\\E:"] = VolumeOfSize(150, 40, u"e");
    machine.volumes[u"\\\\.\\C:"] = VolumeOfSize(2, 40, u"c");
    machine.volumes[u"\\\\.\\D:"] = VolumeOfSize(3, 40, u"d");
    for (int round = 0; round < 3; ++round) {
        appended = 0;
        const FileTable table =
            BuildIndex({u"\\\\.\\E:", u"\\\\.\\Q:", u"\\\\.\\C:", u"\\\\.\\D:"}, machine.Opener());
        ASSERT_EQ(table.Size(), 151u + 3u + 4u);
        EXPECT_EQ(appended.load(), 3 * IconKeyCount);
        std::u16string drives;
        for (uint32_t row = 0; row < table.Size(); ++row) {
            const std::u16string path = table.FolderPath(row);
            std::u16string_view drive = std::u16string_view(path).substr(0, 2);
            if (drives.size() < 2 || std::u16string_view(drives).substr(drives.size() - 2) != drive)
                drives += drive;
            // The volume that cannot be opened appends no icons.
            const int set = drive == u"E:" ? 0 : drive == u"C:" ? 1 : 2;
            EXPECT_EQ(table.IconIndex(row) / IconKeyCount, set) << ToUtf8(drive);
        }
        EXPECT_EQ(ToUtf8(drives), "E:C:D:");
    }
    ThePlatform().appendIcon = saved;
}

}  // namespace

namespace {

// A tree of folders and files over a few thousand records, with names that repeat.
std::vector<FakeFile> TreeVolume(uint64_t records, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<FakeFile> volume;
    std::vector<uint64_t> folders = {RootRecord};
    const char16_t* names[] = {u"report", u"IMG_0001.JPG", u"报告.docx", u"a.b.c", u"song.mp3"};
    for (uint64_t record = 40; record < 40 + records; ++record) {
        const bool isFolder = random() % 6 == 0;
        const uint64_t parent = folders[random() % folders.size()];
        std::u16string name = names[random() % std::size(names)];
        name.push_back(u'_');
        name.push_back(static_cast<char16_t>(u'a' + random() % 26));
        volume.push_back({record, parent, name, isFolder, random() % 100000,
                          133000000000000000ull + random() % 1000000000000ull,
                          133000000000000000ull + random() % 1000000000000ull});
        if (isFolder) folders.push_back(record);
    }
    return volume;
}

// However many parts a build runs in, it makes the same table: the same rows, the same stores
// and columns, and, once published, the same sort orders.
TEST(BuildIndex, SameTableForEveryPartCount) {
    CapturedDiagnostics diagnostics;
    FakeMachine machine;
    machine.volumes[u"\\\\.\\C:"] = TreeVolume(3000, 1);
    machine.volumes[u"\\\\.\\D:"] = TreeVolume(700, 2);
    const std::vector<std::u16string> drives = {u"\\\\.\\C:", u"\\\\.\\D:"};
    auto build = [&](unsigned parts) {
        return Publish(BuildIndex(drives, machine.Opener(), nullptr, parts));
    };
    const std::shared_ptr<const PublishedTable> one = build(1);
    const FileTable& reference = one->Table();
    ASSERT_GT(reference.Size(), 3500u);
    for (unsigned parts : {2u, 3u, 7u, 64u}) {
        SCOPED_TRACE(parts);
        const std::shared_ptr<const PublishedTable> several = build(parts);
        const FileTable& table = several->Table();
        ASSERT_EQ(table.Size(), reference.Size());
        EXPECT_EQ(table.Names(), reference.Names());
        EXPECT_EQ(table.NameStarts(), reference.NameStarts());
        EXPECT_EQ(table.Folders(), reference.Folders());
        EXPECT_EQ(table.FolderOf(), reference.FolderOf());
        EXPECT_EQ(table.Categories(), reference.Categories());
        for (uint32_t row = 0; row < table.Size(); ++row) {
            ASSERT_EQ(std::memcmp(&table[row], &reference[row], sizeof(FileEntry)), 0) << row;
            ASSERT_EQ(table.IconIndex(row) % IconKeyCount, reference.IconIndex(row) % IconKeyCount);
        }
        for (int key = 0; key < SortKeyCount; ++key)
            EXPECT_EQ(several->Orders().byKey[key], one->Orders().byKey[key]) << key;
    }
    EXPECT_TRUE(diagnostics.Lines().empty());
}

}  // namespace
