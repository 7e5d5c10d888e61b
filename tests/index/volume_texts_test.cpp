#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>

#include "index/classify.h"
#include "index/derived_texts.h"
#include "index/folder_paths.h"
#include "index/time_texts.h"
#include "index/unit_bytes.h"
#include "index/utf8.h"

namespace {

constexpr uint64_t UnixEpochAsFiletime = 116444736000000000ull;

uint64_t FiletimeOf(int64_t unixSeconds, uint64_t extraTicks = 0) {
    return UnixEpochAsFiletime + static_cast<uint64_t>(unixSeconds) * 10000000ull + extraTicks;
}

// Sets TZ for one test and puts the old value back afterwards.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (old_)
            setenv("TZ", old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    std::optional<std::string> old_;
};

// The C library's own answer, the independent reference for the cached formatter.
std::u16string LibraryTimeText(int64_t unixSeconds) {
    std::time_t seconds = static_cast<std::time_t>(unixSeconds);
    std::tm parts{};
    if (!localtime_r(&seconds, &parts)) return u"";
    char text[26];
    std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &parts);
    return std::u16string(text, text + length);
}

// Expected texts were taken from GNU date, e.g. TZ=America/New_York date -d @1710054000.
TEST(TimeTextFor, LocalTimeInSeveralZones) {
    struct Case {
        const char* zone;
        uint64_t filetime;
        const char16_t* text;
    } cases[] = {
        {"UTC", FiletimeOf(0), u"1970-01-01 00:00"},
        {"UTC", FiletimeOf(59, 9999999), u"1970-01-01 00:00"},
        {"UTC", FiletimeOf(60), u"1970-01-01 00:01"},
        {"UTC", FiletimeOf(1680703620), u"2023-04-05 14:07"},
        {"UTC", FiletimeOf(951782400), u"2000-02-29 00:00"},
        {"UTC", FiletimeOf(32535215999), u"3000-12-31 23:59"},
        {"Asia/Shanghai", FiletimeOf(0), u"1970-01-01 08:00"},
        {"Asia/Shanghai", FiletimeOf(1680703620), u"2023-04-05 22:07"},
        {"Asia/Shanghai", FiletimeOf(1704038400), u"2024-01-01 00:00"},
        {"Asia/Kolkata", FiletimeOf(1680703620), u"2023-04-05 19:37"},
        {"Asia/Kathmandu", FiletimeOf(1680703620), u"2023-04-05 19:52"},
        // Before 1970 locally, but not in UTC: still converted.
        {"America/New_York", FiletimeOf(0), u"1969-12-31 19:00"},
        // Spring forward: 01:59 EST is followed by 03:00 EDT.
        {"America/New_York", FiletimeOf(1710053999), u"2024-03-10 01:59"},
        {"America/New_York", FiletimeOf(1710054000), u"2024-03-10 03:00"},
        // Fall back: 01:59 EDT is followed by 01:00 EST.
        {"America/New_York", FiletimeOf(1730613599), u"2024-11-03 01:59"},
        {"America/New_York", FiletimeOf(1730613600), u"2024-11-03 01:00"},
        // Lord Howe moves by half an hour; in October at 15:30 UTC, inside a UTC hour.
        {"Australia/Lord_Howe", FiletimeOf(1712415599), u"2024-04-07 01:59"},
        {"Australia/Lord_Howe", FiletimeOf(1712415600), u"2024-04-07 01:30"},
        {"Australia/Lord_Howe", FiletimeOf(1728142199), u"2024-10-06 01:59"},
        {"Australia/Lord_Howe", FiletimeOf(1728142200), u"2024-10-06 02:30"},
        // St. John's changes at 05:30 UTC, also inside a UTC hour.
        {"America/St_Johns", FiletimeOf(1710048599), u"2024-03-10 01:59"},
        {"America/St_Johns", FiletimeOf(1710048600), u"2024-03-10 03:00"},
    };
    for (const Case& c : cases) {
        ScopedTimeZone zone(c.zone);
        EXPECT_EQ(TimeTextFor(c.filetime), c.text) << c.zone << " " << c.filetime;
        // The cached formatter, warmed up on the hour before, must agree.
        TimeTextFormatter formatter;
        formatter.Text(c.filetime - 3600 * 10000000ull);
        EXPECT_EQ(TimeText(formatter.Text(c.filetime)).View(), c.text)
            << c.zone << " " << c.filetime;
    }
}

TEST(TimeTextFor, EmptyOutsideTheConvertibleRange) {
    ScopedTimeZone zone("UTC");
    const uint64_t cases[] = {
        0,
        1,
        UnixEpochAsFiletime - 1,
        FiletimeOf(32535216000),
        FiletimeOf(32535216000) + 123,
        UINT64_MAX,
    };
    for (uint64_t filetime : cases) EXPECT_EQ(TimeTextFor(filetime), u"") << filetime;
}

TEST(TimeTextFormatter, AgreesWithTheLibraryAcrossZonesAndChanges) {
    const char* zones[] = {"UTC",
                           "Asia/Shanghai",
                           "America/New_York",
                           "Europe/London",
                           "Australia/Lord_Howe",
                           "Asia/Kathmandu",
                           "America/St_Johns"};
    // Dense around the 2024 changes, sparse over the whole range.
    std::vector<int64_t> seconds;
    for (int64_t s = 1709000000; s < 1731000000; s += 7919) seconds.push_back(s);
    for (int64_t centre :
         {1710054000LL, 1730613600LL, 1711846800LL, 1712415600LL, 1728142200LL, 1710048600LL})
        for (int64_t s = centre - 7200; s <= centre + 7200; s += 61) seconds.push_back(s);
    std::mt19937_64 random(7);
    for (int i = 0; i < 3000; ++i) seconds.push_back(random() % 32535216000LL);
    for (const char* name : zones) {
        ScopedTimeZone zone(name);
        TimeTextFormatter formatter;
        for (int64_t s : seconds) {
            ASSERT_EQ(TimeText(formatter.Text(FiletimeOf(s, 4321))).View(), LibraryTimeText(s))
                << name << " " << s;
        }
    }
}

TEST(TimeTextFormatter, OneValuePerMinute) {
    ScopedTimeZone zone("Asia/Shanghai");
    TimeTextFormatter formatter;
    struct Case {
        int64_t first, second;
        bool shared;
    } cases[] = {
        {1680703620, 1680703620, true},
        {1680703620, 1680703679, true},
        {1680703620, 1680703680, false},
        {1680703620, 1680703620 + 86400, false},
    };
    for (const Case& c : cases) {
        const uint32_t first = formatter.Text(FiletimeOf(c.first));
        formatter.Text(FiletimeOf(c.first + 3 * 86400));  // something else in between
        const uint32_t second = formatter.Text(FiletimeOf(c.second));
        ASSERT_NE(first, TimeText::Empty);
        ASSERT_NE(second, TimeText::Empty);
        EXPECT_EQ(first == second, c.shared) << c.first << " " << c.second;
    }
    EXPECT_EQ(formatter.Text(UnixEpochAsFiletime - 1), TimeText::Empty);
}

// A volume built by hand: folders and files as the record walk would find them, each classified
// by its extension as the walk does.
struct VolumeBuilder {
    VolumeEntries volume;
    // What the walk found, for the reference walk below.
    std::map<uint64_t, std::u16string> folderNames;
    std::map<uint64_t, uint64_t> folderParents;
    FileTable table;

    void Add(uint64_t record, uint64_t parent, std::u16string_view name, bool isFolder,
             uint64_t created = FiletimeOf(1680703620),
             uint64_t modified = FiletimeOf(1680703620)) {
        FileEntry entry;
        entry.record = RecordNumber48(record);
        entry.parent = RecordNumber48(parent);
        entry.isFolder = isFolder;
        entry.Created = created;
        entry.Modified = modified;
        entry.Size = isFolder ? 0 : record;
        const Classification kind = Classify(ExtensionFor(name, isFolder));
        entry.iconKey = kind.iconKey;
        if (isFolder) {
            volume.folders.push_back(
                {record, parent, static_cast<uint32_t>(volume.columns.Rows())});
            folderNames[record] = std::u16string(name);
            folderParents[record] = parent;
        }
        ASSERT_TRUE(volume.columns.AddRow(entry, name, kind.category, 0));
    }

    void Resolve(std::u16string_view devicePath) {
        ASSERT_TRUE(ResolvePaths(volume, devicePath));
        table = FileTable(std::move(volume.columns), {});
    }

    uint32_t Find(uint64_t record) const {
        for (uint32_t row = 0; row < table.Size(); ++row)
            if (table[row].RecordNumber() == record) return row;
        throw std::runtime_error("no such record");
    }
    std::u16string FolderPath(uint64_t record) const { return table.FolderPath(Find(record)); }
};

TEST(ResolvePaths, FolderAndFullPaths) {
    VolumeBuilder builder;
    builder.Add(70, 5, u"notes.txt", false);  // directly in the root
    builder.Add(64, 63, u"deep.pdf", false);
    builder.Add(63, 62, u"C", true);
    builder.Add(62, 61, u"B", true);
    builder.Add(61, 5, u"A", true);
    builder.Add(58, 57, u"after gap.doc", false);
    builder.Add(57, 999, u"Orphan", true);  // its parent was never read
    builder.Add(56, 55, u"under unlinked", false);
    builder.Add(50, 61, u"搜索 ünï.txt", false);
    builder.Resolve(u"\\\\.\\D:");
    struct Case {
        uint64_t record;
        const char16_t* folderPath;
        const char16_t* fullPath;
    } cases[] = {
        {70, u"D:", u"D:\\notes.txt"},
        {61, u"D:", u"D:\\A"},
        {62, u"D:\\A", u"D:\\A\\B"},
        {63, u"D:\\A\\B", u"D:\\A\\B\\C"},
        {64, u"D:\\A\\B\\C", u"D:\\A\\B\\C\\deep.pdf"},
        {57, u"D:", u"D:\\Orphan"},
        {58, u"D:\\Orphan", u"D:\\Orphan\\after gap.doc"},
        {56, u"D:", u"D:\\under unlinked"},
        {50, u"D:\\A", u"D:\\A\\搜索 ünï.txt"},
    };
    for (const Case& c : cases) {
        const uint32_t row = builder.Find(c.record);
        EXPECT_EQ(builder.table.FolderPath(row), c.folderPath) << c.record;
        EXPECT_EQ(builder.table.FullPath(row), c.fullPath) << c.record;
    }
}

TEST(ResolvePaths, DriveIsTheLastTwoUnitsOfTheDevicePath) {
    struct Case {
        const char16_t* devicePath;
        const char16_t* folderPath;
    } cases[] = {
        {u"\\\\.\\C:", u"C:\\A"},
        {u"\\\\.\\Z:", u"Z:\\A"},
        {u"X:", u"X:\\A"},
    };
    for (const Case& c : cases) {
        VolumeBuilder builder;
        builder.Add(41, 40, u"file", false);
        builder.Add(40, 5, u"A", true);
        builder.Resolve(c.devicePath);
        EXPECT_EQ(builder.FolderPath(41), c.folderPath);
    }
}

TEST(ResolvePaths, CyclesEndTheWalk) {
    VolumeBuilder builder;
    builder.Add(90, 80, u"in cycle", false);
    builder.Add(81, 80, u"Q", true);
    builder.Add(80, 81, u"P", true);
    builder.Add(75, 70, u"in self loop", false);
    builder.Add(70, 70, u"S", true);
    builder.Add(66, 65, u"below cycle", false);
    builder.Add(65, 81, u"R", true);
    builder.Resolve(u"\\\\.\\C:");
    // The walk stops before it would visit a folder a second time: from 80 it meets 81, whose
    // parent 80 is already on the chain, so 81 is the top. Later walks reuse those texts.
    struct Case {
        uint64_t record;
        const char16_t* folderPath;
    } cases[] = {
        {90, u"C:\\Q\\P"}, {81, u"C:\\Q\\P"}, {80, u"C:\\Q"},
        {75, u"C:\\S"},    {70, u"C:\\S"},    {66, u"C:\\Q\\R"},
    };
    for (const Case& c : cases) EXPECT_EQ(builder.FolderPath(c.record), c.folderPath);
}

TEST(ResolvePaths, EntriesOfAFolderShareOneText) {
    VolumeBuilder builder;
    builder.Add(45, 41, u"b.txt", false);
    builder.Add(44, 40, u"sub2", true);
    builder.Add(43, 41, u"a.txt", false);
    builder.Add(42, 5, u"root1", false);
    builder.Add(41, 40, u"sub", true);
    builder.Add(40, 5, u"top", true);
    builder.Add(39, 5, u"root2", false);
    builder.Resolve(u"\\\\.\\C:");
    struct Case {
        uint64_t first, second;
        bool shared;
    } cases[] = {
        {45, 43, true},   // both in C:\top\sub
        {44, 41, true},   // both in C:\top
        {42, 39, true},   // both in the root
        {45, 44, false},  // different folders
    };
    for (const Case& c : cases)
        EXPECT_EQ(builder.table.FolderOf()[builder.Find(c.first)] ==
                      builder.table.FolderOf()[builder.Find(c.second)],
                  c.shared)
            << c.first << " " << c.second;
}

TEST(FileTable, TimeTextsAreWrittenOnRequestAndCategoriesKept) {
    ScopedTimeZone zone("UTC");
    VolumeBuilder builder;
    builder.Add(50, 5, u"song.MP3", false, FiletimeOf(0), FiletimeOf(1680703620));
    builder.Add(49, 5, u"old.txt", false, UnixEpochAsFiletime - 1, FiletimeOf(60));
    builder.Add(48, 5, u"Music", true, FiletimeOf(1680703620), FiletimeOf(1680703620));
    builder.Resolve(u"\\\\.\\C:");
    struct Case {
        uint64_t record;
        const char16_t* created;
        const char16_t* modified;
        int32_t category;
    } cases[] = {
        {50, u"1970-01-01 00:00", u"2023-04-05 14:07", Audio},
        {49, u"", u"1970-01-01 00:01", Document},
        {48, u"2023-04-05 14:07", u"2023-04-05 14:07", Folder},
    };
    for (const Case& c : cases) {
        const uint32_t row = builder.Find(c.record);
        EXPECT_EQ(builder.table.CreatedText(row).View(), c.created) << c.record;
        EXPECT_EQ(builder.table.ModifiedText(row).View(), c.modified) << c.record;
        EXPECT_EQ(builder.table.Category(row), c.category) << c.record;
    }
}

// The walk exactly as first described: prepend names while the parent is a known folder. It
// serves as the reference on random trees without cycles.
std::u16string WalkedFolderPath(const VolumeBuilder& builder, uint32_t row,
                                std::u16string_view drive) {
    std::u16string folderText;
    uint64_t p = builder.table[row].ParentRecordNumber();
    while (builder.folderNames.count(p)) {
        std::u16string_view name = builder.folderNames.at(p);
        auto parent = builder.folderParents.find(p);
        if (parent == builder.folderParents.end()) break;
        folderText = std::u16string(name) + u"\\" + folderText;
        p = parent->second;
    }
    std::u16string fullPath = std::u16string(drive) + u"\\" + folderText + builder.table.Name(row);
    return fullPath.substr(0, fullPath.rfind(u'\\'));
}

TEST(ResolvePaths, MatchesTheSimpleWalkAndSingleTimesOnRandomTrees) {
    for (unsigned seed : {1u, 2u, 3u}) {
        std::mt19937 random(seed);
        VolumeBuilder builder;
        std::vector<uint64_t> folders = {5};
        // Records descend like the walk reads them; parents are folders made earlier in
        // creation order (higher numbers here), the root, or records that were never read.
        std::vector<std::pair<uint64_t, bool>> plan;
        for (uint64_t record = 3000; record >= 36; --record)
            plan.push_back({record, random() % 4 == 0});
        std::map<uint64_t, uint64_t> parentOf;
        for (auto& [record, isFolder] : plan) {
            uint64_t parent =
                random() % 20 == 0 ? 100000 + random() % 50 : folders[random() % folders.size()];
            parentOf[record] = parent;
            if (isFolder) folders.push_back(record);
        }
        for (auto& [record, isFolder] : plan) {
            std::string name = "n";
            name += std::to_string(record);
            if (!isFolder) name += ".txt";
            // Times repeat often (shared minutes), some fall before 1970.
            int64_t created = 1100000000 + static_cast<int64_t>(random() % 400) * 45;
            int64_t modified = static_cast<int64_t>(random() % 1800000000) - 100000000;
            builder.Add(record, parentOf[record], FromUtf8(name), isFolder,
                        created < 0 ? 0 : FiletimeOf(created),
                        modified < 0 ? UnixEpochAsFiletime - 1 : FiletimeOf(modified));
        }
        ScopedTimeZone zone("Europe/London");
        builder.Resolve(u"\\\\.\\E:");
        const FileTable& table = builder.table;
        for (uint32_t row = 0; row < table.Size(); ++row) {
            ASSERT_EQ(table.FolderPath(row), WalkedFolderPath(builder, row, u"E:"))
                << seed << " " << table[row].RecordNumber();
            ASSERT_EQ(table.CreatedText(row).View(), TimeTextFor(table[row].Created)) << row;
            ASSERT_EQ(table.ModifiedText(row).View(), TimeTextFor(table[row].Modified)) << row;
        }
    }
}

}  // namespace

TEST(ResolvePaths, PathsTooLongToOpenAreNotMade) {
    // A chain of 2,000 folders with 255-unit names, a file in every folder: a full path for
    // each would be 2,000 * 2,000 / 2 * 256 units. Paths up to the limit are made; a folder
    // whose path would pass it, and every folder below, shows "C:\…\" and its own name.
    constexpr uint64_t Depth = 2000;
    constexpr uint64_t FirstFolder = 100000;
    VolumeBuilder builder;
    std::vector<std::u16string> names;
    for (uint64_t level = 0; level < Depth; ++level) {
        std::u16string name = FromUtf8(std::to_string(level));
        name.resize(255, u'n');
        names.push_back(name);
    }
    // Reading order: highest record first.
    for (uint64_t level = Depth; level-- > 0;) {
        builder.Add(FirstFolder + Depth + level, FirstFolder + level, u"file.txt", false);
    }
    for (uint64_t level = Depth; level-- > 0;)
        builder.Add(FirstFolder + level, level == 0 ? 5 : FirstFolder + level - 1, names[level],
                    true);
    builder.Resolve(u"\\\\.\\C:");

    std::u16string expected = u"C:";  // the folder path of level 0's entries
    bool overlong = false;
    std::size_t ownTexts = 0;
    const FileTable& table = builder.table;
    for (uint64_t level = 0; level < Depth; ++level) {
        const uint32_t folder = builder.Find(FirstFolder + level);
        const uint32_t file = builder.Find(FirstFolder + Depth + level);
        EXPECT_EQ(table.FolderPath(folder), expected) << level;
        // The folder's own path, which its file shows.
        if (!overlong && expected.size() + 1 + names[level].size() > MaxPathUnits) overlong = true;
        if (overlong) expected = u"C:\\…";
        expected.append(u"\\").append(names[level]);
        EXPECT_EQ(table.FolderPath(file), expected) << level;
        EXPECT_EQ(table.FullPath(file), std::u16string(expected).append(u"\\file.txt")) << level;
        EXPECT_LE(table.FolderPath(file).size(), MaxPathUnits) << level;
        ownTexts += table.Name(folder).size() + table.Name(file).size();
    }
    EXPECT_TRUE(overlong);
    // The folder texts together: the paths below the limit (about 128 levels of 256 units)
    // and one name per level beyond it; far below the square of the depth.
    std::size_t stored = 0;
    for (std::size_t f = 0; f < table.FolderCount(); ++f)
        stored += UnitsOf(table.FolderBytes(f)).size();
    constexpr std::size_t LevelsBelowLimit = MaxPathUnits / 256 + 1;
    EXPECT_LE(stored, LevelsBelowLimit * MaxPathUnits + Depth * 260);
    EXPECT_LE(stored, 6 * ownTexts);
}
