#include "index/mft_reader.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <tuple>

#include "index/distinct_names.h"
#include "index/platform.h"
#include "index/raw_volume.h"
#include "index/utf8.h"
#include "tests/index/ntfs_builder.h"

using testntfs::Bytes;
using testntfs::InUse;
using testntfs::InUseFolder;
using testntfs::RecordBuilder;

namespace {

constexpr uint64_t Root = 5;
constexpr uint64_t Sequence = uint64_t{3} << 48;

// A volume as the driver presents it: records by number, some of them refused.
struct FakeVolume {
    uint32_t recordSize = 1024;
    int64_t validLength = 0;
    bool volumeDataFails = false;
    std::map<uint64_t, Bytes> records;
    std::set<uint64_t> refused;
    std::vector<uint64_t> asked;

    VolumeSource Source() {
        VolumeSource source;
        source.volumeData = [this](NtfsVolumeData& data) {
            data.BytesPerFileRecordSegment = recordSize;
            data.MftValidDataLength = validLength;
            return !volumeDataFails;
        };
        source.recordAtOrBelow = [this](uint64_t n, uint64_t& number, std::span<uint8_t> record) {
            asked.push_back(n);
            std::fill(record.begin(), record.end(), 0);
            auto after = records.upper_bound(n);
            if (after == records.begin()) {
                number = 0;
                return true;
            }
            --after;
            number = after->first;
            if (refused.count(number)) return false;
            std::copy(after->second.begin(), after->second.end(), record.begin());
            return true;
        };
        return source;
    }
};

// An entry of a walked volume with its texts, as a test compares them.
struct ShownEntry {
    uint64_t record;
    uint64_t parent;
    std::u16string name;
    bool isFolder;
    std::u16string sizeText;
    std::u16string extension;
    uint64_t created;
    uint64_t modified;
    uint8_t category;
};

std::vector<ShownEntry> Shown(const VolumeEntries& volume) {
    TableColumns copy = volume.columns;
    copy.folderOf.assign(copy.entries.size(), 0);
    const FileTable table(std::move(copy), {});
    std::vector<ShownEntry> shown;
    for (uint32_t row = 0; row < table.Size(); ++row) {
        const FileEntry& entry = table[row];
        shown.push_back({entry.RecordNumber(), entry.ParentRecordNumber(), table.Name(row),
                         entry.isFolder, table.SizeText(row), table.Extension(row), entry.Created,
                         entry.Modified, table.Category(row)});
    }
    return shown;
}

// Entries written as comparable rows.
using Row = std::tuple<uint64_t, uint64_t, std::u16string, int, std::u16string, std::u16string,
                       uint64_t, uint64_t>;

std::vector<Row> Rows(const VolumeEntries& volume) {
    std::vector<Row> rows;
    for (const ShownEntry& e : Shown(volume))
        rows.push_back({e.record, e.parent, e.name, e.isFolder ? 1 : 0, e.sizeText, e.extension,
                        e.created, e.modified});
    return rows;
}

// The folder maps as the walk's folders give them: of a folder named twice, the later name.
std::map<uint64_t, std::u16string> FolderNames(const VolumeEntries& volume) {
    const std::vector<ShownEntry> shown = Shown(volume);
    std::map<uint64_t, std::u16string> names;
    for (const WalkedFolder& folder : volume.folders) names[folder.number] = shown[folder.row].name;
    return names;
}
std::map<uint64_t, uint64_t> FolderParents(const VolumeEntries& volume) {
    std::map<uint64_t, uint64_t> parents;
    for (const WalkedFolder& folder : volume.folders) parents[folder.number] = folder.parent;
    return parents;
}

VolumeEntries ReadAll(FakeVolume& fake) {
    std::optional<VolumeEntries> volume = ReadVolume(fake.Source());
    EXPECT_TRUE(volume);
    return volume ? std::move(*volume) : VolumeEntries{};
}

bool NonIncreasing(const VolumeEntries& volume) {
    const std::vector<FileEntry>& entries = volume.columns.entries;
    return std::is_sorted(
        entries.begin(), entries.end(),
        [](const FileEntry& a, const FileEntry& b) { return a.RecordNumber() > b.RecordNumber(); });
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

std::u16string Numbered(std::u16string prefix, uint64_t number, std::u16string_view suffix = u"") {
    prefix += FromUtf8(std::to_string(number));
    prefix += suffix;
    return prefix;
}

Bytes NamedFile(std::u16string_view name, uint64_t parent = Root) {
    return RecordBuilder().StandardInformation(100, 200).FileName(parent, name).Plain();
}

}  // namespace

TEST(RecordWalk, AsksFromTheTopDownToRecord36) {
    struct Case {
        const char* what;
        int64_t validLength;
        std::vector<uint64_t> present;
        std::vector<uint64_t> asked;
        std::vector<uint64_t> entries;
    } cases[] = {
        {"36 records: nothing is asked", 36 * 1024, {20, 30}, {}, {}},
        {"37 records: only 36 is asked", 37 * 1024, {20, 36}, {36}, {36}},
        {"37 records, 36 free: the record below 36 is parsed", 37 * 1024, {20, 30}, {36}, {30}},
        {"a partial last record does not count", 37 * 1024 + 1023, {36}, {36}, {36}},
        {"negative valid length", -1024, {40}, {}, {}},
        {"free records are jumped in one step",
         101 * 1024,
         {20, 36, 40, 41, 100},
         {100, 99, 40, 39},
         {100, 41, 40, 36}},
        {"records above the valid length are not asked",
         60 * 1024,
         {20, 50, 70},
         {59, 49},
         {50, 20}},
        {"no record at or below the top", 60 * 1024, {}, {59}, {}},
    };
    for (const Case& c : cases) {
        FakeVolume fake;
        fake.validLength = c.validLength;
        for (uint64_t number : c.present)
            fake.records[number] = NamedFile(Numbered(u"n", number, u".txt"));
        VolumeEntries volume = ReadAll(fake);
        EXPECT_EQ(fake.asked, c.asked) << c.what;
        std::vector<uint64_t> numbers;
        for (const ShownEntry& e : Shown(volume)) numbers.push_back(e.record);
        EXPECT_EQ(numbers, c.entries) << c.what;
    }
}

TEST(RecordWalk, RefusedVolumeDataWritesErrorAndYieldsNothing) {
    struct Case {
        const char* what;
        bool fails;
        uint32_t recordSize;
    } cases[] = {
        {"request refused", true, 1024},
        {"record size 0", false, 0},
    };
    for (const Case& c : cases) {
        DiagnosticCapture capture;
        FakeVolume fake;
        fake.volumeDataFails = c.fails;
        fake.recordSize = c.recordSize;
        fake.validLength = 100 * 1024;
        fake.records[50] = NamedFile(u"a.txt");
        EXPECT_FALSE(ReadVolume(fake.Source())) << c.what;
        EXPECT_EQ(capture.lines, std::vector<std::string>{"error"}) << c.what;
        EXPECT_TRUE(fake.asked.empty()) << c.what;
    }
    DiagnosticCapture capture;
    FakeVolume fake;
    fake.validLength = 100 * 1024;
    fake.records[50] = NamedFile(u"a.txt");
    EXPECT_TRUE(ReadVolume(fake.Source()));
    EXPECT_TRUE(capture.lines.empty());
}

TEST(RecordWalk, RefusedRecordCostsOnlyItself) {
    FakeVolume fake;
    fake.validLength = 50 * 1024;
    for (uint64_t number = 40; number <= 45; ++number)
        fake.records[number] = NamedFile(Numbered(u"r", number));
    fake.records[38] = NamedFile(u"r38");
    fake.refused = {43, 40};
    VolumeEntries volume = ReadAll(fake);
    std::vector<uint64_t> numbers;
    for (const ShownEntry& e : Shown(volume)) numbers.push_back(e.record);
    EXPECT_EQ(numbers, (std::vector<uint64_t>{45, 44, 42, 41, 38}));
    EXPECT_EQ(fake.asked, (std::vector<uint64_t>{49, 44, 43, 42, 41, 40, 39, 37}));
}

TEST(RecordParse, KindSizeNameAndTimes) {
    const Bytes oneRun = testntfs::EncodeRuns({{100, 1300}});
    struct Case {
        const char* what;
        Bytes record;
        std::vector<Row> rows;
    } cases[] = {
        {"small file with resident data: exact byte count",
         RecordBuilder()
             .StandardInformation(11, 22)
             .FileName(Root, u"notes.txt")
             .ResidentData(700)
             .Plain(),
         {{40, Root, u"notes.txt", 0, u"1 KB", u"TXT", 11, 22}}},
        {"empty resident data",
         RecordBuilder().FileName(Root, u"empty.log", 1, 3, 4).ResidentData(0).Plain(),
         {{40, Root, u"empty.log", 0, u"0 KB", u"LOG", 3, 4}}},
        {"large file: non-resident data size",
         RecordBuilder()
             .FileName(Root, u"movie.mkv")
             .NonResidentData(5000000, oneRun, 0, 1299)
             .Plain(),
         {{40, Root, u"movie.mkv", 0, u"4,883 KB", u"MKV", 0, 0}}},
        {"1025 bytes",
         RecordBuilder().FileName(Root, u"a.b.c.Doc").NonResidentData(1025, oneRun, 0, 0).Plain(),
         {{40, Root, u"a.b.c.Doc", 0, u"2 KB", u"DOC", 0, 0}}},
        {"named stream after the data changes nothing",
         RecordBuilder()
             .FileName(Root, u"photo.jpeg")
             .ResidentData(10)
             .NonResidentData(999999, oneRun, 0, 1299, u"Zone.Identifier")
             .Plain(),
         {{40, Root, u"photo.jpeg", 0, u"1 KB", u"JPEG", 0, 0}}},
        {"named stream before the data changes nothing",
         RecordBuilder()
             .FileName(Root, u"photo.jpeg")
             .ResidentData(300, u"thumb")
             .NonResidentData(2048, oneRun, 0, 0)
             .Plain(),
         {{40, Root, u"photo.jpeg", 0, u"2 KB", u"JPEG", 0, 0}}},
        {"only a named stream: size 0",
         RecordBuilder().FileName(Root, u"Makefile").ResidentData(500, u"s").Plain(),
         {{40, Root, u"Makefile", 0, u"0 KB", u"NOEXT", 0, 0}}},
        {"folder with a named stream stays a folder",
         RecordBuilder(1024, InUseFolder)
             .FileName(Root, u"Docs.old")
             .ResidentData(64, u"tag")
             .Plain(),
         {{40, Root, u"Docs.old", 1, u"", u"ISDIR", 0, 0}}},
        {"folder flags must be exactly 3",
         RecordBuilder(1024, InUseFolder | 8).FileName(Root, u"view").Plain(),
         {{40, Root, u"view", 0, u"0 KB", u"NOEXT", 0, 0}}},
        {"long name and 8.3 name: one entry with the long name",
         RecordBuilder()
             .FileName(Root, u"REPORT~1.PDF", 2)
             .FileName(Root, u"Report for 2024.PDF", 1)
             .ResidentData(5)
             .Plain(),
         {{40, Root, u"Report for 2024.PDF", 0, u"1 KB", u"PDF", 0, 0}}},
        {"only an 8.3 name: no entry", RecordBuilder().FileName(Root, u"SHORT.TXT", 2).Plain(), {}},
        {"a name valid in both namespaces",
         RecordBuilder().FileName(Root, u"x.", 3).Plain(),
         {{40, Root, u"x.", 0, u"0 KB", u"", 0, 0}}},
        {"no $FILE_NAME: no entry",
         RecordBuilder().StandardInformation(1, 2).ResidentData(9).Plain(),
         {}},
        {"empty name: no entry", RecordBuilder().FileName(Root, u"").Plain(), {}},
        {"times from $STANDARD_INFORMATION, wherever it lies",
         RecordBuilder()
             .FileName(Root, u"t.txt", 1, 500, 600)
             .StandardInformation(700, 800)
             .Plain(),
         {{40, Root, u"t.txt", 0, u"0 KB", u"TXT", 700, 800}}},
        {"times from $FILE_NAME without $STANDARD_INFORMATION",
         RecordBuilder().FileName(Root, u"t.txt", 1, 500, 600).Plain(),
         {{40, Root, u"t.txt", 0, u"0 KB", u"TXT", 500, 600}}},
        {"parent sequence number dropped",
         RecordBuilder().FileName(0x0005000000000123, u"deep.c").Plain(),
         {{40, 0x123, u"deep.c", 0, u"0 KB", u"C", 0, 0}}},
        {"name of 255 units",
         RecordBuilder().FileName(Root, std::u16string(251, u'n') + u".txt").Plain(),
         {{40, Root, std::u16string(251, u'n') + u".txt", 0, u"0 KB", u"TXT", 0, 0}}},
        {"not a file record", Bytes(1024, 0x41), {}},
    };
    for (const Case& c : cases) {
        FakeVolume fake;
        fake.validLength = 41 * 1024;
        fake.records[40] = c.record;
        VolumeEntries volume = ReadAll(fake);
        EXPECT_EQ(Rows(volume), c.rows) << c.what;
    }
}

TEST(RecordParse, HardLinksGiveOneEntryPerDistinctName) {
    struct Case {
        const char* what;
        std::vector<std::tuple<uint64_t, std::u16string, uint8_t>> names;  // parent, name, space
        std::vector<std::pair<uint64_t, std::u16string>> expected;
    } cases[] = {
        {"two names in one folder",
         {{Root, u"a.txt", 1}, {Root, u"b.txt", 1}},
         {{Root, u"a.txt"}, {Root, u"b.txt"}}},
        {"one name in two folders",
         {{Root, u"a.txt", 1}, {77, u"a.txt", 1}},
         {{Root, u"a.txt"}, {77, u"a.txt"}}},
        {"the same name twice", {{Root, u"a.txt", 0}, {Root, u"a.txt", 1}}, {{Root, u"a.txt"}}},
        {"names differing only in case are distinct",
         {{Root, u"A.txt", 0}, {Root, u"a.txt", 0}},
         {{Root, u"A.txt"}, {Root, u"a.txt"}}},
        {"8.3 names are not links",
         {{Root, u"LONGNA~1.TXT", 2}, {Root, u"long name.txt", 1}, {77, u"other.txt", 0}},
         {{Root, u"long name.txt"}, {77, u"other.txt"}}},
    };
    for (const Case& c : cases) {
        RecordBuilder builder;
        builder.StandardInformation(5, 6).NonResidentData(4096, testntfs::EncodeRuns({{9, 1}}), 0,
                                                          0);
        for (const auto& [parent, name, space] : c.names) builder.FileName(parent, name, space);
        FakeVolume fake;
        fake.validLength = 100 * 1024;
        fake.records[60] = builder.Plain();
        fake.records[50] = NamedFile(u"below.txt");
        fake.records[70] = NamedFile(u"above.txt");
        VolumeEntries volume = ReadAll(fake);
        std::set<std::pair<uint64_t, std::u16string>> got;
        std::size_t count = 0;
        for (const ShownEntry& e : Shown(volume)) {
            if (e.record != 60) continue;
            ++count;
            got.emplace(e.parent, std::u16string(e.name));
            EXPECT_EQ(e.sizeText, u"4 KB") << c.what;
            EXPECT_EQ(e.created, 5u) << c.what;
        }
        EXPECT_EQ(count, c.expected.size()) << c.what;
        EXPECT_EQ(got, (std::set<std::pair<uint64_t, std::u16string>>(c.expected.begin(),
                                                                      c.expected.end())))
            << c.what;
        EXPECT_EQ(volume.columns.Rows(), c.expected.size() + 2) << c.what;
        EXPECT_TRUE(NonIncreasing(volume)) << c.what;
    }
}

TEST(RecordParse, ExtensionRecordsBelongToTheirBase) {
    const Bytes runs = testntfs::EncodeRuns({{100, 1300}});
    auto extension = [](uint64_t base) { return RecordBuilder().BaseRecord(base | Sequence); };
    struct Case {
        const char* what;
        std::map<uint64_t, Bytes> records;
        std::vector<Row> rows;
        std::map<uint64_t, std::u16string> folderNames;
    } cases[] = {
        {"name and data in an extension above the base",
         {{100, RecordBuilder(1024, InUse, 3)
                    .StandardInformation(7, 8)
                    .FileName(Root, u"base.txt")
                    .Plain()},
          {120, extension(100)
                    .FileName(Root, u"link.txt")
                    .NonResidentData(5000000, runs, 0, 1299)
                    .Plain()}},
         {{100, Root, u"base.txt", 0, u"4,883 KB", u"TXT", 7, 8},
          {100, Root, u"link.txt", 0, u"4,883 KB", u"TXT", 7, 8}},
         {}},
        {"the same with the extension below the base",
         {{100, RecordBuilder(1024, InUse, 3)
                    .StandardInformation(7, 8)
                    .FileName(Root, u"base.txt")
                    .Plain()},
          {80, extension(100)
                   .FileName(Root, u"link.txt")
                   .NonResidentData(5000000, runs, 0, 1299)
                   .Plain()}},
         {{100, Root, u"base.txt", 0, u"4,883 KB", u"TXT", 7, 8},
          {100, Root, u"link.txt", 0, u"4,883 KB", u"TXT", 7, 8}},
         {}},
        {"the only name lies in the extension",
         {{100, RecordBuilder(1024, InUse, 3)
                    .StandardInformation(7, 8)
                    .ResidentData(300, u"ads")
                    .Plain()},
          {90, extension(100).FileName(Root, u"only.bin", 1, 1, 2).Plain()},
          {95, extension(100).NonResidentData(0, runs, 1300, 1400).Plain()}},
         {{100, Root, u"only.bin", 0, u"0 KB", u"BIN", 7, 8}},
         {}},
        {"later extents do not carry the size",
         {{100, RecordBuilder(1024, InUse, 3)
                    .FileName(Root, u"big.iso")
                    .NonResidentData(8192, runs, 0, 1)
                    .Plain()},
          {110, extension(100).NonResidentData(0, runs, 2, 1301).Plain()}},
         {{100, Root, u"big.iso", 0, u"8 KB", u"ISO", 0, 0}},
         {}},
        {"folder named in an extension is registered under the base",
         {{100, RecordBuilder(1024, InUseFolder, 3).StandardInformation(7, 8).Plain()},
          {130, extension(100).FileName(Root, u"Projects").Plain()},
          {140, RecordBuilder().FileName(100, u"plan.txt").Plain()}},
         {{140, 100, u"plan.txt", 0, u"0 KB", u"TXT", 0, 0},
          {100, Root, u"Projects", 1, u"", u"ISDIR", 7, 8}},
         {{100, u"Projects"}}},
        {"base record not in use: extension facts dropped",
         {{130, extension(100).FileName(Root, u"orphan.txt").Plain()}},
         {},
         {}},
        {"base record reused since: extension facts dropped",
         {{100, RecordBuilder(1024, InUse, 4).FileName(Root, u"new.txt").Plain()},
          {130, extension(100).FileName(Root, u"stale.txt").ResidentData(500).Plain()}},
         {{100, Root, u"new.txt", 0, u"0 KB", u"TXT", 0, 0}},
         {}},
        {"base below the walked range: dropped",
         {{30, RecordBuilder(1024, InUse, 3).FileName(Root, u"$Quota").Plain()},
          {36, RecordBuilder().FileName(Root, u"guard").Plain()},
          {50, extension(30).FileName(Root, u"quota-name").Plain()}},
         {{36, Root, u"guard", 0, u"0 KB", u"NOEXT", 0, 0}},
         {}},
    };
    for (const Case& c : cases) {
        FakeVolume fake;
        fake.validLength = 200 * 1024;
        fake.records = c.records;
        VolumeEntries volume = ReadAll(fake);
        EXPECT_EQ(Rows(volume), c.rows) << c.what;
        std::map<uint64_t, std::u16string> folderNames;
        for (const auto& [number, name] : FolderNames(volume)) folderNames[number] = name;
        EXPECT_EQ(folderNames, c.folderNames) << c.what;
        EXPECT_TRUE(NonIncreasing(volume)) << c.what;
    }
}

TEST(RecordParse, DamagedAttributesEndTheRecord) {
    auto attribute = [](uint32_t type, uint32_t length, std::size_t size) {
        Bytes bytes(size, 0);
        testntfs::Put32(bytes, 0, type);
        testntfs::Put32(bytes, 4, length);
        return bytes;
    };
    // A $FILE_NAME whose value offset or name length is wrong.
    auto brokenName = [](uint16_t valueOffset, uint8_t nameLength) {
        Bytes good = RecordBuilder().FileName(Root, u"bad.txt").Plain();
        std::size_t first = good[0x14];
        uint32_t length = good[first + 4] | good[first + 5] << 8;
        Bytes bytes(good.begin() + first, good.begin() + first + length);
        if (valueOffset) testntfs::Put16(bytes, 0x14, valueOffset);
        if (nameLength) bytes[0x18 + 0x40] = nameLength;
        return bytes;
    };
    const std::vector<Row> kept = {{40, Root, u"kept.txt", 0, u"1 KB", u"TXT", 0, 0}};
    const std::vector<Row> keptNoSize = {{40, Root, u"kept.txt", 0, u"0 KB", u"TXT", 0, 0}};
    struct Case {
        const char* what;
        Bytes record;
        std::vector<Row> rows;
    } cases[] = {
        {"length 0 after the name",
         RecordBuilder()
             .FileName(Root, u"kept.txt")
             .ResidentData(10)
             .Raw(attribute(0x80, 0, 16))
             .Plain(),
         kept},
        {"length 0 before the name",
         RecordBuilder().Raw(attribute(0x40, 0, 16)).FileName(Root, u"lost.txt").Plain(),
         {}},
        {"length shorter than a header",
         RecordBuilder().Raw(attribute(0x40, 8, 16)).FileName(Root, u"lost.txt").Plain(),
         {}},
        {"length past the used size",
         RecordBuilder()
             .FileName(Root, u"kept.txt")
             .ResidentData(10)
             .Raw(attribute(0x80, 0x400, 16))
             .Plain(),
         kept},
        {"used size ends inside an attribute",
         RecordBuilder().FileName(Root, u"kept.txt").ResidentData(700).BytesInUse(0x100).Plain(),
         keptNoSize},
        {"used size 0", RecordBuilder().FileName(Root, u"lost.txt").BytesInUse(0).Plain(), {}},
        {"used size beyond the record is held to the record",
         RecordBuilder().FileName(Root, u"kept.txt").ResidentData(10).BytesInUse(0xFFFF).Plain(),
         kept},
        {"value offset past the attribute",
         RecordBuilder().Raw(brokenName(0x3F0, 0)).FileName(Root, u"lost.txt").Plain(),
         {}},
        {"name longer than the value",
         RecordBuilder()
             .FileName(Root, u"kept.txt")
             .ResidentData(10)
             .Raw(brokenName(0, 200))
             .Plain(),
         kept},
        {"non-resident data attribute too short for its header",
         RecordBuilder()
             .FileName(Root, u"kept.txt")
             .Raw([&] {
                 Bytes bytes = attribute(0x80, 0x20, 0x20);
                 bytes[8] = 1;
                 return bytes;
             }())
             .Plain(),
         keptNoSize},
        {"resident data value past its attribute",
         RecordBuilder()
             .FileName(Root, u"kept.txt")
             .Raw([&] {
                 Bytes bytes = attribute(0x80, 0x20, 0x20);
                 testntfs::Put32(bytes, 0x10, 0x100);
                 testntfs::Put16(bytes, 0x14, 0x18);
                 return bytes;
             }())
             .Plain(),
         keptNoSize},
        {"no end marker before the used size",
         [&] {
             Bytes bytes = RecordBuilder().FileName(Root, u"kept.txt").ResidentData(10).Plain();
             std::size_t used = bytes[0x18] | bytes[0x19] << 8;
             testntfs::Put32(bytes, used - 8, 0x60);
             return bytes;
         }(),
         kept},
        {"first attribute offset beyond the record",
         [&] {
             Bytes bytes = RecordBuilder().FileName(Root, u"lost.txt").Plain();
             testntfs::Put16(bytes, 0x14, 0xFFF0);
             return bytes;
         }(),
         {}},
    };
    for (const Case& c : cases) {
        FakeVolume fake;
        fake.validLength = 41 * 1024;
        fake.records[40] = c.record;
        fake.records[38] = NamedFile(u"next.txt");
        VolumeEntries volume = ReadAll(fake);
        std::vector<Row> rows = Rows(volume);
        ASSERT_FALSE(rows.empty()) << c.what;
        EXPECT_EQ(std::get<0>(rows.back()), 38u) << c.what;
        rows.pop_back();
        EXPECT_EQ(rows, c.rows) << c.what;
    }
}

TEST(FolderMaps, FoldersByRecordNumberLastWriteWins) {
    FakeVolume fake;
    fake.validLength = 100 * 1024;
    fake.records[50] = RecordBuilder(1024, InUseFolder).FileName(Root | Sequence, u"docs").Plain();
    fake.records[60] = RecordBuilder(1024, InUseFolder).FileName(50 | Sequence, u"sub").Plain();
    fake.records[65] =
        RecordBuilder(1024, InUseFolder).FileName(50, u"first").FileName(60, u"second").Plain();
    fake.records[70] = RecordBuilder().FileName(60, u"file.txt").Plain();
    VolumeEntries volume = ReadAll(fake);
    std::map<uint64_t, std::u16string> names;
    for (const auto& [number, name] : FolderNames(volume)) names[number] = name;
    EXPECT_EQ(names,
              (std::map<uint64_t, std::u16string>{{50, u"docs"}, {60, u"sub"}, {65, u"second"}}));
    EXPECT_EQ(FolderParents(volume),
              (std::map<uint64_t, uint64_t>{{50, Root}, {60, 50}, {65, 60}}));
}

namespace {

// Makes a small NTFS image with mkntfs and fills it through an ntfs-3g mount. Exit status 77
// means the tools or the mount are not available here.
constexpr const char* MakeImageScript = R"(
set -e
command -v mkntfs >/dev/null && command -v ntfs-3g >/dev/null && command -v fls >/dev/null || exit 77
truncate -s 64M img
mkntfs -F -Q -s 512 -c 4096 img >/dev/null 2>&1
mkdir mnt
ntfs-3g -o streams_interface=windows img mnt 2>/dev/null || exit 77
trap 'umount mnt 2>/dev/null || true' EXIT
mkdir -p mnt/docs/sub "mnt/empty dir"
: > mnt/docs/a.txt
head -c 3000 /dev/zero > mnt/docs/a.txt:ads
printf 'x' > mnt/docs:tag
head -c 5000000 /dev/zero > mnt/big.bin
ln mnt/docs/a.txt mnt/docs/sub/a-link.txt
for i in $(seq 1 300); do head -c $i /dev/zero > mnt/docs/sub/f$i.txt; done
head -c 1025 /dev/zero > "mnt/中文名.txt"
# Forty long names for one file overflow its record into extension records.
mkdir mnt/links
head -c 7000 /dev/zero > mnt/links/target.bin
long=$(printf 'L%.0s' $(seq 1 100))
for i in $(seq 1 40); do ln mnt/links/target.bin "mnt/links/${long}_$i"; done
umount mnt
trap - EXIT
fls -r -p -u img > fls.txt
)";

struct ImageEntry {
    uint64_t record;
    uint64_t parent;
    std::string name;
    bool folder;
    auto operator<=>(const ImageEntry&) const = default;
};

// Entries as sleuthkit lists them: "d/d 64-144-2:<tab>docs/sub", named streams left out.
std::set<ImageEntry> ParseFileList(const std::string& path) {
    std::ifstream in(path);
    std::map<std::string, uint64_t> folders = {{"", Root}};
    std::vector<std::tuple<uint64_t, std::string, bool>> listed;
    for (std::string line; std::getline(in, line);) {
        std::size_t tab = line.find('\t');
        if (tab == std::string::npos || line[0] == 'V') continue;
        std::string file = line.substr(tab + 1);
        if (file.find(':') != std::string::npos) continue;
        uint64_t record = std::stoull(line.substr(4));
        bool folder = line[0] == 'd';
        if (folder) folders[file] = record;
        listed.emplace_back(record, file, folder);
    }
    std::set<ImageEntry> entries;
    for (const auto& [record, file, folder] : listed) {
        std::size_t slash = file.rfind('/');
        std::string dir = slash == std::string::npos ? "" : file.substr(0, slash);
        entries.insert({record, folders.at(dir), file.substr(slash + 1), folder});
    }
    return entries;
}

}  // namespace

TEST(RealImage, RecordsAndNamesMatchAnIndependentReader) {
    char dir[] = "/tmp/mft-image-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string work = dir;
    std::ofstream(work + "/make.sh") << MakeImageScript;
    int status = std::system(("cd " + work + " && bash make.sh").c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) {
        std::system(("rm -rf " + work).c_str());
        GTEST_SKIP() << "mkntfs, ntfs-3g, a FUSE mount or fls is not available";
    }
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    std::optional<VolumeSource> source = OpenVolumeImage(work + "/img");
    ASSERT_TRUE(source);
    std::optional<VolumeEntries> volume = ReadVolume(*source);
    ASSERT_TRUE(volume);
    std::set<ImageEntry> expected;
    for (const ImageEntry& e : ParseFileList(work + "/fls.txt"))
        if (e.record > 36) expected.insert(e);
    std::set<ImageEntry> got;
    std::set<uint64_t> lowRecords;
    for (const ShownEntry& e : Shown(*volume)) {
        if (e.record > 36)
            got.insert({e.record, e.parent, ToUtf8(e.name), e.isFolder});
        else
            lowRecords.insert(e.record);
    }
    // f1.txt to f300.txt; docs, sub, empty dir, a.txt, a-link.txt, big.bin, 中文名.txt; links
    // and the 41 names of target.bin.
    EXPECT_EQ(got.size(), 300u + 7u + 1u + 41u);
    EXPECT_EQ(got, expected);
    // Only the record returned for the last request, at or below 36, can lie that low.
    EXPECT_LE(lowRecords.size(), 1u);
    EXPECT_TRUE(NonIncreasing(*volume));

    std::map<std::string, std::u16string> sizes = {
        {"big.bin", u"4,883 KB"}, {"a.txt", u"0 KB"},      {"a-link.txt", u"0 KB"},
        {"中文名.txt", u"2 KB"},  {"f300.txt", u"1 KB"},   {"docs", u""},
        {"empty dir", u""},       {"target.bin", u"7 KB"}, {std::string(100, 'L') + "_40", u"7 KB"},
    };
    std::size_t checked = 0;
    for (const ShownEntry& e : Shown(*volume)) {
        auto size = sizes.find(ToUtf8(e.name));
        if (size == sizes.end()) continue;
        EXPECT_EQ(e.sizeText, size->second) << size->first;
        ++checked;
    }
    EXPECT_EQ(checked, sizes.size());
    EXPECT_EQ(FolderNames(*volume).size(), 4u);

    // The image must really hold extension records for the check above to cover them.
    NtfsVolumeData data;
    ASSERT_TRUE(source->volumeData(data));
    std::vector<uint8_t> record(data.BytesPerFileRecordSegment);
    std::size_t extensions = 0;
    for (uint64_t n = data.MftValidDataLength / data.BytesPerFileRecordSegment, number = 0; n > 0;
         n = number) {
        uint64_t base = 0;
        if (source->recordAtOrBelow(n - 1, number, record)) std::memcpy(&base, &record[0x20], 6);
        if (base != 0) ++extensions;
    }
    EXPECT_GT(extensions, 0u);
    std::system(("rm -rf " + work).c_str());
}

TEST(RecordParse, AnyDamagedByteCostsAtMostItsOwnRecord) {
    Bytes good = RecordBuilder()
                     .StandardInformation(1, 2)
                     .FileName(Root, u"LONGNA~1.TXT", 2)
                     .FileName(Root, u"long name.txt", 1)
                     .NonResidentData(5000, testntfs::EncodeRuns({{9, 2}}), 0, 1)
                     .Plain();
    // Bytes past the used size are never looked at.
    std::size_t used = good[0x18] | good[0x19] << 8;
    for (std::size_t at = 0; at < used; ++at) {
        for (uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}}) {
            FakeVolume fake;
            fake.validLength = 41 * 1024;
            fake.records[40] = good;
            fake.records[40][at] = value;
            fake.records[39] = NamedFile(u"neighbour.txt");
            VolumeEntries volume = ReadAll(fake);
            ASSERT_FALSE(volume.columns.entries.empty()) << at;
            EXPECT_EQ(Shown(volume).back().record, 39u) << at;
            EXPECT_EQ(Shown(volume).back().name, u"neighbour.txt") << at;
            for (const ShownEntry& e : Shown(volume)) EXPECT_FALSE(e.name.empty()) << at;
            EXPECT_LE(volume.columns.Rows(), 3u) << at;
        }
    }
}

TEST(RecordParse, TensOfThousandsOfNamesOfOneRecordKeepTheFirstOfEach) {
    // One base record claimed by thousands of extension records of nine names each, many of
    // them repeated: one entry per distinct pair of parent and name, in the order first met.
    struct Case {
        const char* what;
        uint64_t extensions;
        uint64_t distinctNames;  // the names cycle through this many
    } cases[] = {
        {"every name repeated many times", 5000, 100},
        {"every name distinct", 5000, 45000},
        {"a few names", 20, 3},
    };
    for (const Case& c : cases) {
        FakeVolume fake;
        constexpr uint64_t Base = 40;
        fake.validLength = static_cast<int64_t>((Base + c.extensions + 2) * 1024);
        fake.records[Base] =
            RecordBuilder(1024, InUse, 3).StandardInformation(7, 8).FileName(Root, u"n0").Plain();
        uint64_t next = 1;
        for (uint64_t e = 0; e < c.extensions; ++e) {
            RecordBuilder extension;
            extension.BaseRecord(Base | Sequence);
            for (int k = 0; k < 9; ++k, ++next) {
                uint64_t id = next % c.distinctNames;
                extension.FileName(id % 2 ? 77 : Root, Numbered(u"n", id));
            }
            fake.records[Base + 1 + e] = extension.Plain();
        }
        VolumeEntries volume = ReadAll(fake);
        // The reference: the walk meets the base record's names first, then its extensions
        // from the lowest number up.
        std::vector<std::pair<uint64_t, std::u16string>> expected = {{Root, u"n0"}};
        std::set<std::pair<uint64_t, std::u16string>> seen(expected.begin(), expected.end());
        for (uint64_t id = 1; id < next; ++id) {
            std::pair<uint64_t, std::u16string> name{(id % c.distinctNames) % 2 ? 77 : Root,
                                                     Numbered(u"n", id % c.distinctNames)};
            if (seen.insert(name).second) expected.push_back(name);
        }
        std::vector<std::pair<uint64_t, std::u16string>> got;
        for (const ShownEntry& e : Shown(volume))
            if (e.record == Base) got.emplace_back(e.parent, e.name);
        EXPECT_EQ(got.size(), c.distinctNames) << c.what;
        EXPECT_EQ(got, expected) << c.what;
    }
}

TEST(KeepFirstOfEach, KeepsTheFirstOfEachInOrderWithNLogNComparisons) {
    struct Case {
        const char* what;
        std::size_t count;
        std::size_t distinct;
    } cases[] = {
        {"45,000 items of 9 values", 45000, 9},
        {"180,000 items of 9 values", 180000, 9},
        {"45,000 distinct items", 45000, 45000},
        {"one item", 1, 1},
        {"no item", 0, 1},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<std::size_t, std::size_t>> items;  // value, position
        for (std::size_t i = 0; i < c.count; ++i) items.emplace_back((i * 7919) % c.distinct, i);
        std::vector<std::pair<std::size_t, std::size_t>> expected;
        std::set<std::size_t> seen;
        for (const auto& item : items)
            if (seen.insert(item.first).second) expected.push_back(item);
        uint64_t comparisons = 0;
        KeepFirstOfEach(items, [&](const auto& a, const auto& b) {
            ++comparisons;
            return a.first < b.first;
        });
        EXPECT_EQ(items, expected) << c.what;
        // Comparing every item with every item kept before it would take count * distinct / 2.
        double log2 = c.count > 1 ? std::log2(static_cast<double>(c.count)) : 1;
        EXPECT_LE(static_cast<double>(comparisons), 3 * static_cast<double>(c.count) * log2 + 8)
            << c.what;
    }
}

TEST(RecordWalk, PartsOnSeveralThreadsGiveTheSameEntries) {
    // Records across the part boundaries: extension records on the other side of their base,
    // refused records, hard links, gaps; each part reads through a source of its own.
    FakeVolume fake;
    fake.validLength = 3000 * 1024;
    for (uint64_t r = 40; r < 3000; r += (r % 7) + 1) {
        if (r % 11 == 0) {
            fake.records[r] = RecordBuilder(1024, InUseFolder, 3)
                                  .StandardInformation(r, r + 1)
                                  .FileName(Root, Numbered(u"folder", r))
                                  .Plain();
        } else if (r % 13 == 0 && r > 1500) {
            fake.records[r] = RecordBuilder()
                                  .BaseRecord((r - 1400) | Sequence)
                                  .FileName(77, Numbered(u"link", r, u".txt"))
                                  .NonResidentData(r * 1000, testntfs::EncodeRuns({{9, 1}}), 0, 0)
                                  .Plain();
        } else {
            fake.records[r] = RecordBuilder(1024, InUse, 3)
                                  .StandardInformation(r, r + 2)
                                  .FileName(r / 11 * 11, Numbered(u"file", r, u".dat"))
                                  .FileName(Root, Numbered(u"FILE", r, u".DAT"), 2)
                                  .ResidentData(static_cast<uint32_t>(r % 300))
                                  .Plain();
        }
        if (r % 17 == 0) fake.refused.insert(r);
    }
    auto read = [&](unsigned parts) {
        std::vector<std::unique_ptr<FakeVolume>> copies;
        VolumeReopener reopen = [&]() -> std::optional<VolumeSource> {
            copies.push_back(std::make_unique<FakeVolume>(fake));
            return copies.back()->Source();
        };
        FakeVolume first = fake;
        std::optional<VolumeEntries> volume = ReadVolume(first.Source(), parts, reopen);
        EXPECT_TRUE(volume);
        return volume ? std::move(*volume) : VolumeEntries{};
    };
    VolumeEntries one = read(1);
    ASSERT_GT(one.columns.Rows(), 500u);
    for (unsigned parts : {2u, 3u, 7u, 64u}) {
        VolumeEntries several = read(parts);
        EXPECT_EQ(Rows(several), Rows(one)) << parts;
        EXPECT_EQ(FolderParents(several), FolderParents(one)) << parts;
        EXPECT_EQ(FolderNames(several), FolderNames(one)) << parts;
    }
}

TEST(RecordWalk, ASourceThatFailsTheVolumeInAnyPartFailsIt) {
    // Each part reads through a source of its own; whichever part's source gives up on the volume,
    // the volume is left out with that source's reason, as a walk in one part would.
    FakeVolume fake;
    fake.validLength = 4000 * 1024;
    for (uint64_t r = 40; r < 4000; ++r) fake.records[r] = NamedFile(Numbered(u"f", r, u".txt"));
    struct Case {
        uint64_t failingRecord;  // the record whose request fails the volume
        unsigned parts;
    } cases[] = {{3900, 1}, {3900, 4}, {100, 4}, {2100, 3}};
    for (const Case& c : cases) {
        DiagnosticCapture capture;
        std::vector<std::unique_ptr<FakeVolume>> copies;
        std::vector<std::unique_ptr<std::string>> reasons;
        auto failing = [&](FakeVolume& volume) {
            VolumeSource source = volume.Source();
            reasons.push_back(std::make_unique<std::string>());
            std::string* reason = reasons.back().get();
            auto ask = source.recordAtOrBelow;
            source.recordAtOrBelow = [ask, reason, c](uint64_t n, uint64_t& number,
                                                      std::span<uint8_t> record) {
                if (n == c.failingRecord || !reason->empty()) {
                    *reason = "device gone";
                    number = n;
                    return false;
                }
                return ask(n, number, record);
            };
            source.failure = [reason] { return *reason; };
            return source;
        };
        VolumeReopener reopen = [&]() -> std::optional<VolumeSource> {
            copies.push_back(std::make_unique<FakeVolume>(fake));
            return failing(*copies.back());
        };
        FakeVolume first = fake;
        std::optional<VolumeEntries> volume = ReadVolume(failing(first), c.parts, reopen);
        EXPECT_FALSE(volume) << c.failingRecord << " " << c.parts;
        EXPECT_EQ(capture.lines, std::vector<std::string>{"error: device gone"})
            << c.failingRecord << " " << c.parts;
    }
}
