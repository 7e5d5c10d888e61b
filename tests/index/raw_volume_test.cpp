#include "index/raw_volume.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>

#include "index/file_entry.h"
#include "index/mft_reader.h"
#include "index/utf8.h"
#include "tests/index/ntfs_builder.h"

using testntfs::Bytes;
using testntfs::ClusterRun;
using testntfs::RecordBuilder;
using testntfs::VolumeLayout;

namespace {

// A volume in memory that records every read and fails reads touching a bad 4096-byte block.
struct FakeDisk {
    Bytes image;
    std::set<uint64_t> badBlocks;
    std::vector<std::pair<uint64_t, uint64_t>> reads;
    // Reads into memory not aligned to 4096 bytes, which a volume handle may refuse.
    std::size_t unalignedBuffers = 0;
};

ReadAt ReaderOf(const std::shared_ptr<FakeDisk>& disk) {
    return [disk](uint64_t offset, std::span<uint8_t> buffer) {
        disk->reads.emplace_back(offset, buffer.size());
        if (reinterpret_cast<uintptr_t>(buffer.data()) % 4096 != 0) ++disk->unalignedBuffers;
        if (offset > disk->image.size() || buffer.size() > disk->image.size() - offset)
            return false;
        for (uint64_t block = offset / 4096; block * 4096 < offset + buffer.size(); ++block)
            if (disk->badBlocks.count(block)) return false;
        std::memcpy(buffer.data(), disk->image.data() + offset, buffer.size());
        return true;
    };
}

std::optional<VolumeSource> OpenImage(const Bytes& image,
                                      std::shared_ptr<FakeDisk>* keep = nullptr) {
    auto disk = std::make_shared<FakeDisk>();
    disk->image = image;
    if (keep) *keep = disk;
    return OpenRawVolume(ReaderOf(disk), nullptr);
}

// The highest member of `inUse` at or below n, the reference the reader is held against.
uint64_t ExpectedAtOrBelow(const std::set<uint64_t>& inUse, uint64_t n) {
    auto after = inUse.upper_bound(n);
    return after == inUse.begin() ? 0 : *std::prev(after);
}

}  // namespace

TEST(DataRuns, DecodesLengthsAndSignedClusterDeltas) {
    constexpr int64_t S = DataRun::Sparse;
    struct Case {
        const char* what;
        Bytes pairs;
        uint64_t lowestVcn;
        bool ok;
        std::vector<DataRun> runs;
    } cases[] = {
        {"one run, 2-byte offset", {0x21, 0x18, 0x34, 0x56, 0x00}, 0, true, {{0, 0x18, 0x5634}}},
        {"only the terminator", {0x00}, 0, true, {}},
        {"backwards delta",
         {0x11, 0x10, 0x40, 0x11, 0x08, 0xF0, 0x00},
         0,
         true,
         {{0, 16, 0x40}, {16, 8, 0x30}}},
        {"sparse run keeps the previous cluster as the base",
         {0x11, 0x04, 0x20, 0x01, 0x06, 0x11, 0x02, 0x10, 0x00},
         0,
         true,
         {{0, 4, 0x20}, {4, 6, S}, {10, 2, 0x30}}},
        {"extent starting at a later VCN", {0x11, 0x05, 0x0A, 0x00}, 100, true, {{100, 5, 10}}},
        {"3-byte negative delta",
         {0x31, 0x02, 0x00, 0x00, 0x01, 0x31, 0x01, 0x00, 0xFF, 0xFF, 0x00},
         0,
         true,
         {{0, 2, 0x10000}, {2, 1, 0xFF00}}},
        {"delta with the top bit clear in a wider field",
         {0x21, 0x01, 0x80, 0x00, 0x00},
         0,
         true,
         {{0, 1, 0x80}}},
        {"two-byte length", {0x12, 0x00, 0x01, 0x07, 0x00}, 0, true, {{0, 256, 7}}},
        {"empty span", {}, 0, false, {}},
        {"offset cut short", {0x21, 0x18, 0x34}, 0, false, {}},
        {"length cut short", {0x12, 0x18}, 0, false, {}},
        {"no terminator", {0x11, 0x01, 0x05}, 0, false, {{0, 1, 5}}},
        {"zero length", {0x11, 0x00, 0x05, 0x00}, 0, false, {}},
        {"missing length field", {0x10, 0x05, 0x00}, 0, false, {}},
        {"length field wider than 8 bytes", {0x19, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x00}, 0, false, {}},
        {"cluster number below zero",
         {0x11, 0x01, 0x05, 0x11, 0x01, 0xF0, 0x00},
         0,
         false,
         {{0, 1, 5}}},
        {"first delta negative", {0x11, 0x01, 0xFB, 0x00}, 0, false, {}},
    };
    for (const Case& c : cases) {
        std::vector<DataRun> runs;
        EXPECT_EQ(DecodeDataRuns(c.pairs, c.lowestVcn, runs), c.ok) << c.what;
        EXPECT_EQ(runs, c.runs) << c.what;
    }
}

TEST(DataRuns, RoundTripsTheTestEncoder) {
    std::vector<std::vector<ClusterRun>> cases = {
        {{16, 64}},
        {{400, 3}, {100, 5}, {300, 40}, {50, 200}},
        {{1000000, 70000}, {-1, 5}, {5, 1}, {0x7FFFFFFFFF, 2}},
        {{-1, 300}, {3, 1}},
    };
    for (const auto& runs : cases) {
        std::vector<DataRun> decoded;
        ASSERT_TRUE(DecodeDataRuns(testntfs::EncodeRuns(runs), 7, decoded));
        ASSERT_EQ(decoded.size(), runs.size());
        uint64_t vcn = 7;
        for (std::size_t i = 0; i < runs.size(); ++i) {
            EXPECT_EQ(decoded[i].vcn, vcn);
            EXPECT_EQ(decoded[i].length, runs[i].length);
            EXPECT_EQ(decoded[i].lcn, runs[i].lcn < 0 ? DataRun::Sparse : runs[i].lcn);
            vcn += runs[i].length;
        }
    }
}

TEST(Fixup, RestoresEveryStrideAndRejectsMismatches) {
    struct Case {
        const char* what;
        uint32_t size;
        std::function<void(Bytes&)> damage;
        bool ok;
    } cases[] = {
        {"1024-byte record", 1024, nullptr, true},
        {"4096-byte record uses eight 512-byte strides", 4096, nullptr, true},
        {"first stride does not match", 1024, [](Bytes& r) { r[510] ^= 1; }, false},
        {"last stride of a 4096-byte record", 4096, [](Bytes& r) { r[4095] ^= 0x80; }, false},
        {"fifth stride of a 4096-byte record", 4096, [](Bytes& r) { r[5 * 512 - 2] ^= 4; }, false},
        {"count as if strides were sectors of 4096", 4096,
         [](Bytes& r) { testntfs::Put16(r, 0x06, 2); }, false},
        {"count one short", 1024, [](Bytes& r) { testntfs::Put16(r, 0x06, 2); }, false},
        {"array at an odd offset", 1024, [](Bytes& r) { testntfs::Put16(r, 0x04, 0x31); }, false},
        {"array past the first stride", 1024, [](Bytes& r) { testntfs::Put16(r, 0x04, 0x1FC); },
         false},
    };
    for (const Case& c : cases) {
        RecordBuilder builder(c.size);
        builder.StandardInformation(10, 20).FileName(5, u"fixup.txt").ResidentData(700);
        Bytes plain = builder.Plain(0x1234);
        Bytes record = builder.Protected(0x1234);
        if (c.damage) c.damage(record);
        EXPECT_EQ(ApplyFixup(record), c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(record, plain) << c.what;
        }
    }
}

namespace {

struct GeometryCase {
    const char* what;
    uint16_t bytesPerSector;
    uint8_t sectorsPerCluster;
    int8_t clustersPerMftRecord;
    uint64_t clusters;
    std::vector<ClusterRun> mftRuns;
    std::size_t runsInBase;
    std::vector<uint64_t> extensionRecords;
    bool reverseList;
    bool bitmapNonResident;
    uint64_t bitmapRecord = 0;
    bool listNonResident = false;
};

const GeometryCase GeometryCases[] = {
    {"4K clusters, 1K records, one run", 512, 8, -10, 512, {{16, 64}}, SIZE_MAX, {}, false, false},
    {"512-byte clusters, records straddling runs that jump backwards",
     512,
     1,
     -10,
     1024,
     {{400, 3}, {100, 5}, {300, 40}, {50, 200}},
     SIZE_MAX,
     {},
     false,
     true},
    {"4K sectors and 4K records", 4096, 1, -12, 400, {{10, 100}}, SIZE_MAX, {}, false, false},
    {"record size as a positive cluster count",
     512,
     2,
     1,
     512,
     {{32, 200}},
     SIZE_MAX,
     {},
     false,
     false},
    {"fragmented $MFT listed in an attribute list",
     512,
     8,
     -10,
     512,
     {{16, 8}, {200, 8}, {100, 16}, {300, 32}},
     1,
     {16, 17, 18},
     false,
     false},
    {"attribute list out of VCN order, non-resident bitmap",
     512,
     8,
     -10,
     512,
     {{16, 8}, {200, 8}, {100, 16}, {300, 32}},
     1,
     {18, 17, 16},
     true,
     true},
    {"extension record found through an extent read before it",
     512,
     8,
     -10,
     512,
     {{16, 8}, {200, 8}, {100, 16}},
     1,
     {16, 40},
     false,
     false},
    {"non-resident attribute list, bitmap in an extension record",
     512,
     8,
     -10,
     512,
     {{16, 8}, {200, 8}, {100, 16}},
     1,
     {16, 17},
     false,
     true,
     20,
     true},
    {"resident bitmap in an extension record of an unfragmented $MFT",
     512,
     8,
     -10,
     512,
     {{16, 64}},
     SIZE_MAX,
     {},
     false,
     false,
     21,
     false},
};

}  // namespace

TEST(RawVolume, ReturnsEveryInUseRecordThroughAnyRunLayout) {
    for (const GeometryCase& c : GeometryCases) {
        VolumeLayout layout;
        layout.bytesPerSector = c.bytesPerSector;
        layout.sectorsPerCluster = c.sectorsPerCluster;
        layout.clustersPerMftRecord = c.clustersPerMftRecord;
        layout.clusters = c.clusters;
        layout.mftRuns = c.mftRuns;
        layout.runsInBase = c.runsInBase;
        layout.extensionRecords = c.extensionRecords;
        layout.reverseAttributeList = c.reverseList;
        layout.bitmapNonResident = c.bitmapNonResident;
        layout.bitmapLcn = c.clusters - 8;
        layout.bitmapRecord = c.bitmapRecord;
        layout.attributeListNonResident = c.listNonResident;
        layout.attributeListLcn = c.clusters - 16;
        uint64_t mftClusters = 0;
        for (const ClusterRun& run : c.mftRuns) mftClusters += run.length;
        uint64_t recordCount = mftClusters * layout.ClusterSize() / layout.RecordSize();

        std::map<uint64_t, Bytes> plain;
        std::set<uint64_t> built = {36, 37, 39, 63, 64, 65, recordCount / 2, recordCount - 1};
        for (uint64_t number : built) {
            RecordBuilder builder(layout.RecordSize(),
                                  number % 2 ? testntfs::InUse : testntfs::InUseFolder);
            builder.Number(uint32_t(number));
            std::u16string name = u"r" + FromUtf8(std::to_string(number));
            builder.StandardInformation(number, number + 1)
                .FileName(5, name)
                .ResidentData(uint32_t(number % 300));
            plain[number] = builder.Plain(uint16_t(number + 1));
            layout.records[number] = builder.Protected(uint16_t(number + 1));
        }
        auto disk = std::make_shared<FakeDisk>();
        disk->image = testntfs::MakeVolume(layout).image;
        std::optional<VolumeSource> source = OpenRawVolume(ReaderOf(disk), nullptr);
        ASSERT_TRUE(source) << c.what;

        NtfsVolumeData data;
        ASSERT_TRUE(source->volumeData(data));
        EXPECT_EQ(data.BytesPerFileRecordSegment, layout.RecordSize()) << c.what;
        EXPECT_EQ(uint64_t(data.MftValidDataLength), mftClusters * layout.ClusterSize()) << c.what;

        std::set<uint64_t> inUse = built;
        inUse.insert(0);
        inUse.insert(c.extensionRecords.begin(), c.extensionRecords.end());
        if (c.bitmapRecord) inUse.insert(c.bitmapRecord);
        Bytes record(layout.RecordSize());
        for (uint64_t n = recordCount + 3; n + 1 > 0; --n) {
            uint64_t number = 999999;
            ASSERT_TRUE(source->recordAtOrBelow(n, number, record)) << c.what << " n=" << n;
            uint64_t expected = ExpectedAtOrBelow(inUse, n);
            ASSERT_EQ(number, expected) << c.what << " n=" << n;
            if (plain.count(number)) {
                ASSERT_EQ(record, plain[number]) << c.what << " n=" << n;
            }
            EXPECT_EQ(std::memcmp(record.data(), "FILE", 4), 0) << c.what;
        }
        for (const auto& [offset, length] : disk->reads) {
            EXPECT_EQ(offset % 4096, 0u) << c.what;
            EXPECT_EQ(length % 4096, 0u) << c.what;
        }
        EXPECT_EQ(disk->unalignedBuffers, 0u) << c.what;
    }
}

TEST(RawVolume, AnswersFromTheBitmapAsTheDriverDoes) {
    struct Case {
        const char* what;
        std::set<uint64_t> alsoInUse;
        bool nonResident;
    } cases[] = {
        {"sparse bits across word boundaries", {40, 41, 63, 64, 100, 127, 128, 200}, false},
        {"same bits, non-resident bitmap", {40, 41, 63, 64, 100, 127, 128, 200}, true},
        {"only the top record", {255}, false},
        {"every record", {}, false},
    };
    for (const Case& c : cases) {
        VolumeLayout layout;  // 256 records of 1 KiB
        layout.alsoInUse = c.alsoInUse;
        layout.bitmapNonResident = c.nonResident;
        if (c.alsoInUse.empty())
            for (uint64_t i = 1; i < 256; ++i) layout.alsoInUse.insert(i);
        for (uint64_t number : layout.alsoInUse)
            layout.records[number] = RecordBuilder().FileName(5, u"x").Protected();
        std::optional<VolumeSource> source = OpenImage(testntfs::MakeVolume(layout).image);
        ASSERT_TRUE(source) << c.what;
        std::set<uint64_t> inUse = layout.alsoInUse;
        inUse.insert(0);
        Bytes record(1024);
        for (uint64_t n :
             {0ull, 1ull, 39ull, 40ull, 41ull, 62ull, 63ull, 64ull, 65ull, 126ull, 127ull, 128ull,
              129ull, 199ull, 200ull, 254ull, 255ull, 256ull, 100000ull}) {
            uint64_t number = 77;
            EXPECT_TRUE(source->recordAtOrBelow(n, number, record)) << c.what << " n=" << n;
            EXPECT_EQ(number, ExpectedAtOrBelow(inUse, n)) << c.what << " n=" << n;
        }
    }
}

TEST(RawVolume, NoInUseRecordGivesNumberZeroAndAZeroedRecord) {
    VolumeLayout layout;
    layout.records[50] = RecordBuilder().FileName(5, u"only").Protected();
    layout.notInUse = {0};
    std::optional<VolumeSource> source = OpenImage(testntfs::MakeVolume(layout).image);
    ASSERT_TRUE(source);
    Bytes record(1024, 0xCC);
    uint64_t number = 77;
    EXPECT_TRUE(source->recordAtOrBelow(49, number, record));
    EXPECT_EQ(number, 0u);
    EXPECT_EQ(record, Bytes(1024, 0));
    EXPECT_TRUE(source->recordAtOrBelow(50, number, record));
    EXPECT_EQ(number, 50u);
}

TEST(RawVolume, ValidDataLengthBoundsTheRecords) {
    VolumeLayout layout;
    layout.mftInitializedSize = 100 * 1024;
    layout.alsoInUse = {99, 100, 150};
    for (uint64_t number : layout.alsoInUse)
        layout.records[number] = RecordBuilder().FileName(5, u"v").Protected();
    std::optional<VolumeSource> source = OpenImage(testntfs::MakeVolume(layout).image);
    ASSERT_TRUE(source);
    NtfsVolumeData data;
    ASSERT_TRUE(source->volumeData(data));
    EXPECT_EQ(data.MftValidDataLength, 100 * 1024);
    Bytes record(1024);
    uint64_t number = 0;
    EXPECT_TRUE(source->recordAtOrBelow(255, number, record));
    EXPECT_EQ(number, 99u);
}

TEST(RawVolume, ReadsLargeAlignedChunksWalkingDown) {
    VolumeLayout layout;
    layout.clusters = 1024;
    layout.mftRuns = {{16, 750}};  // 3000 records of 1 KiB, almost 3 MiB
    Bytes file = RecordBuilder().FileName(5, u"chunked").Protected();
    for (uint64_t i = 1; i < 3000; ++i) layout.records[i] = file;
    auto disk = std::make_shared<FakeDisk>();
    disk->image = testntfs::MakeVolume(layout).image;
    std::optional<VolumeSource> source = OpenRawVolume(ReaderOf(disk), nullptr);
    ASSERT_TRUE(source);
    std::size_t readsToOpen = disk->reads.size();
    Bytes record(1024);
    for (uint64_t n = 2999; n >= 36; --n) {
        uint64_t number = 0;
        ASSERT_TRUE(source->recordAtOrBelow(n, number, record));
        ASSERT_EQ(number, n);
    }
    std::size_t walkReads = disk->reads.size() - readsToOpen;
    // 2964 records lie in three 1 MiB chunks.
    EXPECT_EQ(walkReads, 3u);
    for (std::size_t i = readsToOpen; i < disk->reads.size(); ++i) {
        EXPECT_EQ(disk->reads[i].first % 4096, 0u);
        EXPECT_EQ(disk->reads[i].second % 4096, 0u);
        EXPECT_GE(disk->reads[i].second, 1u << 19);
    }
    EXPECT_EQ(disk->unalignedBuffers, 0u);
}

TEST(RawVolume, RefusesOnlyTheDamagedRecords) {
    struct Case {
        const char* what;
        std::function<void(testntfs::Volume&, FakeDisk&, VolumeLayout&)> damage;
        std::set<uint64_t> refused;
        std::vector<ClusterRun> runs;
    } cases[] = {
        {"fix-up of one record broken on disk",
         [](testntfs::Volume& v, FakeDisk& disk, VolumeLayout&) {
             uint64_t offset = v.recordPieces[45].front().first;
             disk.image[offset + 510] ^= 0xFF;
         },
         {45},
         {{16, 64}}},
        {"record that is not a file record",
         [](testntfs::Volume& v, FakeDisk& disk, VolumeLayout&) {
             std::memcpy(&disk.image[v.recordPieces[46].front().first], "BAAD", 4);
         },
         {46},
         {{16, 64}}},
        {"unreadable block holding records 48 to 51",
         [](testntfs::Volume& v, FakeDisk& disk, VolumeLayout&) {
             disk.badBlocks.insert(v.recordPieces[48].front().first / 4096);
         },
         {48, 49, 50, 51},
         {{16, 64}}},
        {"records in a sparse run of the $MFT",
         nullptr,
         {36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47},
         {{16, 8}, {-1, 4}, {40, 52}}},
    };
    for (const Case& c : cases) {
        VolumeLayout layout;
        layout.mftRuns = c.runs;
        for (uint64_t i = 36; i < 64; ++i) layout.alsoInUse.insert(i);
        for (uint64_t i = 36; i < 64; ++i)
            if (!(c.runs.size() > 1 && i >= 32 && i < 48))
                layout.records[i] = RecordBuilder().FileName(5, u"d").Protected();
        testntfs::Volume volume = testntfs::MakeVolume(layout);
        auto disk = std::make_shared<FakeDisk>();
        disk->image = volume.image;
        if (c.damage) c.damage(volume, *disk, layout);
        std::optional<VolumeSource> source = OpenRawVolume(ReaderOf(disk), nullptr);
        ASSERT_TRUE(source) << c.what;
        Bytes record(1024);
        for (uint64_t n = 63; n >= 36; --n) {
            uint64_t number = 0;
            bool delivered = source->recordAtOrBelow(n, number, record);
            EXPECT_EQ(number, n) << c.what;
            EXPECT_EQ(delivered, c.refused.count(n) == 0) << c.what << " n=" << n;
        }
    }
}

TEST(RawVolume, DamagedVolumeStructuresFailTheVolume) {
    using Edit = std::function<void(Bytes & image, const testntfs::Volume& volume)>;
    auto boot = [](std::size_t offset, std::vector<uint8_t> bytes) -> Edit {
        return [offset, bytes](Bytes& image, const testntfs::Volume&) {
            std::copy(bytes.begin(), bytes.end(), image.begin() + offset);
        };
    };
    struct Case {
        const char* what;
        Edit edit;
        std::function<void(VolumeLayout&)> shape;
    } cases[] = {
        {"intact volume opens", nullptr, nullptr},
        {"OEM id", boot(3, {'N', 'T', 'F', 'X'}), nullptr},
        {"boot signature", boot(0x1FE, {0x55, 0x00}), nullptr},
        {"bytes per sector 0", boot(0x0B, {0, 0}), nullptr},
        {"bytes per sector 100", boot(0x0B, {100, 0}), nullptr},
        {"bytes per sector 8192", boot(0x0B, {0x00, 0x20}), nullptr},
        {"sectors per cluster 0", boot(0x0D, {0}), nullptr},
        {"sectors per cluster 3", boot(0x0D, {3}), nullptr},
        {"clusters per record 0", boot(0x40, {0}), nullptr},
        {"records of 256 bytes", boot(0x40, {uint8_t(-8)}), nullptr},
        {"records of 2^40 bytes", boot(0x40, {uint8_t(-40)}), nullptr},
        {"records of 64 clusters", boot(0x40, {64}), nullptr},
        {"total sectors 0", boot(0x28, {0, 0, 0, 0, 0, 0, 0, 0}), nullptr},
        {"$MFT beyond the volume", boot(0x30, {0, 0x10, 0, 0, 0, 0, 0, 0}), nullptr},
        {"$MFT runs beyond the volume (volume shrunk to 40 clusters)",
         boot(0x28, {0x3F, 0x01, 0, 0, 0, 0, 0, 0}), nullptr},
        {"record 0 fix-up broken",
         [](Bytes& image, const testntfs::Volume& v) {
             image[v.recordPieces.at(0).front().first + 1022] ^= 1;
         },
         nullptr},
        {"record 0 signature",
         [](Bytes& image, const testntfs::Volume& v) {
             image[v.recordPieces.at(0).front().first] = 'B';
         },
         nullptr},
        {"boot sector unreadable (image shorter than 4096 bytes)",
         [](Bytes& image, const testntfs::Volume&) { image.resize(4000); }, nullptr},
        {"$MFT runlist running off the attribute's end", nullptr,
         [](VolumeLayout& l) {
             l.mftPairsOverride = {0x11, 0x01, 0x10, 0x11, 0x01, 0x01, 0x11, 0x01};
         }},
        {"$MFT runs shorter than its highest VCN", nullptr,
         [](VolumeLayout& l) {
             l.mftPairsOverride = {0x11, 0x20, 0x10, 0x00};
         }},
        {"$MFT runlist with a zero length", nullptr,
         [](VolumeLayout& l) { l.mftPairsOverride = {0x11, 0x00, 0x10, 0x11, 0x40, 0x10, 0x00}; }},
        {"extension record of the $MFT with a broken fix-up",
         [](Bytes& image, const testntfs::Volume& v) {
             image[v.recordPieces.at(17).front().first + 510] ^= 1;
         },
         [](VolumeLayout& l) {
             l.mftRuns = {{16, 8}, {200, 8}, {100, 16}};
             l.runsInBase = 1;
             l.extensionRecords = {16, 17};
         }},
        {"extension record that lies beyond the runs known so far", nullptr,
         [](VolumeLayout& l) {
             l.mftRuns = {{16, 8}, {200, 8}, {100, 16}};
             l.runsInBase = 1;
             l.extensionRecords = {40, 16};
         }},
    };
    for (const Case& c : cases) {
        VolumeLayout layout;
        if (c.shape) c.shape(layout);
        testntfs::Volume volume = testntfs::MakeVolume(layout);
        if (c.edit) c.edit(volume.image, volume);
        bool intact = !c.edit && !c.shape;
        EXPECT_EQ(OpenImage(volume.image).has_value(), intact) << c.what;
    }
}

TEST(RawVolume, AnyDamagedByteOfRecordZeroFailsCleanlyOrStillAnswers) {
    VolumeLayout layout;
    layout.clusters = 96;
    layout.mftRuns = {{16, 8}, {40, 8}};
    layout.records[40] = RecordBuilder().FileName(5, u"kept").Protected();
    testntfs::Volume volume = testntfs::MakeVolume(layout);
    uint64_t recordZero = volume.recordPieces.at(0).front().first;
    std::size_t opened = 0, refused = 0;
    for (std::size_t at = 0; at < 1024; ++at) {
        for (uint8_t flip : {uint8_t{0x01}, uint8_t{0x80}, uint8_t{0xFF}}) {
            Bytes image = volume.image;
            image[recordZero + at] ^= flip;
            std::optional<VolumeSource> source = OpenImage(image);
            if (!source) {
                ++refused;
                continue;
            }
            ++opened;
            NtfsVolumeData data;
            ASSERT_TRUE(source->volumeData(data));
            Bytes record(data.BytesPerFileRecordSegment);
            for (uint64_t n : {uint64_t{0}, uint64_t{39}, uint64_t{40}, uint64_t{1000}}) {
                uint64_t number = 12345;
                source->recordAtOrBelow(n, number, record);
                EXPECT_LE(number, n) << at;
            }
        }
    }
    // Damage to the header, the runs or the bitmap refuses the volume; damage elsewhere does not.
    EXPECT_GT(opened, 0u);
    EXPECT_GT(refused, 0u);
}

// With clusters below 4 KiB a volume need not end on a 4 KiB boundary; every byte of the $MFT or
// its bitmap in the last partial block is still there to be read.
TEST(RawVolume, ReadsTheLastPartialBlockOfAVolume) {
    struct Case {
        const char* what;
        uint64_t clusters;  // of 512 bytes
        std::vector<ClusterRun> mftRuns;
        bool bitmapNonResident;
        uint64_t bitmapLcn;
    } cases[] = {
        {"records in the last 2.5 KiB", 1021, {{16, 72}, {1016, 4}}, false, 0},
        {"bitmap in the last 2.5 KiB", 1021, {{16, 76}}, true, 1019},
        {"records ending with the volume's last sector", 1017, {{16, 72}, {1013, 4}}, false, 0},
    };
    for (const Case& c : cases) {
        VolumeLayout layout;
        layout.sectorsPerCluster = 1;
        layout.clusters = c.clusters;
        layout.mftRuns = c.mftRuns;
        layout.bitmapNonResident = c.bitmapNonResident;
        layout.bitmapLcn = c.bitmapLcn;
        // 38 records: the last two lie in the last run.
        for (uint64_t number : {uint64_t{36}, uint64_t{37}})
            layout.records[number] = RecordBuilder().FileName(5, u"end").Protected();
        std::shared_ptr<FakeDisk> disk;
        testntfs::Volume volume = testntfs::MakeVolume(layout);
        ASSERT_NE(volume.image.size() % 4096, 0u) << c.what;
        std::optional<VolumeSource> source = OpenImage(volume.image, &disk);
        ASSERT_TRUE(source) << c.what;
        Bytes record(1024);
        for (uint64_t n : {uint64_t{37}, uint64_t{36}}) {
            uint64_t number = 0;
            EXPECT_TRUE(source->recordAtOrBelow(n, number, record)) << c.what << " n=" << n;
            EXPECT_EQ(number, n) << c.what;
        }
        for (const auto& [offset, length] : disk->reads) {
            EXPECT_EQ(offset % 512, 0u) << c.what;
            EXPECT_EQ(length % 512, 0u) << c.what;
        }
        EXPECT_EQ(disk->unalignedBuffers, 0u) << c.what;
    }
}

// Runs that map two stretches of the $MFT onto the same clusters show the same records at two
// numbers; each record is taken at its own number only, so every file is listed once.
TEST(RawVolume, OverlappingRunsGiveEachRecordOnce) {
    struct Case {
        const char* what;
        std::vector<ClusterRun> mftRuns;
        std::set<uint64_t> aliases;  // in use, but holding the bytes of a record below
    } cases[] = {
        {"a later run over the clusters of an earlier one", {{16, 16}, {24, 8}}, {72, 73}},
        {"two runs over the same clusters", {{16, 16}, {16, 16}}, {104, 105}},
        {"no overlap", {{16, 16}, {100, 16}}, {}},
    };
    for (const Case& c : cases) {
        VolumeLayout layout;
        layout.mftRuns = c.mftRuns;
        layout.records[40] = RecordBuilder().FileName(5, u"forty.txt").Protected();
        layout.records[41] = RecordBuilder().FileName(5, u"forty-one.txt").Protected();
        layout.alsoInUse = c.aliases;
        std::optional<VolumeSource> source = OpenImage(testntfs::MakeVolume(layout).image);
        ASSERT_TRUE(source) << c.what;
        std::optional<VolumeEntries> volume = ReadVolume(*source);
        ASSERT_TRUE(volume) << c.what;
        std::vector<std::pair<uint64_t, std::string>> entries;
        for (std::size_t row = 0; row < volume->columns.Rows(); ++row)
            entries.emplace_back(volume->columns.entries[row].RecordNumber(),
                                 ToUtf8(volume->columns.Name(row)));
        EXPECT_EQ(entries, (std::vector<std::pair<uint64_t, std::string>>{
                               {41, "forty-one.txt"}, {40, "forty.txt"}, {0, "$MFT"}}))
            << c.what;
        Bytes record(1024);
        for (uint64_t alias : c.aliases) {
            uint64_t number = 0;
            EXPECT_FALSE(source->recordAtOrBelow(alias, number, record)) << c.what << " " << alias;
            EXPECT_EQ(number, alias) << c.what;
        }
    }
}

// A damaged or hostile volume is read for what it holds, or refused with its reason: each case
// names the entries that must come out (those of the sound volume when not given), and every case
// keeps its cost to what the image holds: a valid length within the image and no more bytes read
// than four times the image. Before the $MFT was bounded by the volume, the first case sized a
// 4 GiB bitmap and the second walked 2^35 records one by one.
TEST(RawVolume, HostileVolumesCostWhatTheyHold) {
    using Entries = std::vector<std::pair<uint64_t, std::string>>;
    using Edit = std::function<void(Bytes & image, const testntfs::Volume& volume)>;
    const Entries sound = {{47, "held47"}, {40, "held40"}, {37, "held37"}, {36, "held36"}};
    auto without = [&sound](uint64_t number) {
        Entries kept;
        for (const auto& entry : sound)
            if (entry.first != number) kept.push_back(entry);
        return kept;
    };
    // Three runs over the clusters the one run of the sound volume has, for the attribute lists.
    auto split = [](VolumeLayout& l) {
        l.mftRuns = {{16, 32}, {48, 32}, {80, 32}};
        l.runsInBase = 1;
        l.extensionRecords = {12, 13};
    };
    // The attribute list entry in record 0 that names record 12 for the $MFT's second extent,
    // pointed at record 0 itself.
    Edit listNamesRecordZero = [](Bytes& image, const testntfs::Volume& v) {
        const uint64_t at = v.recordPieces.at(0).front().first;
        const uint8_t entry[] = {0x80, 0, 0, 0};
        for (uint64_t i = at; i + 0x1A < at + 1024; ++i)
            if (std::memcmp(&image[i], entry, 4) == 0 && image[i + 8] == 32 &&
                image[i + 0x10] == 12)
                image[i + 0x10] = 0;
    };
    auto boot = [](std::size_t offset, std::vector<uint8_t> bytes) -> Edit {
        return [offset, bytes](Bytes& image, const testntfs::Volume&) {
            std::copy(bytes.begin(), bytes.end(), image.begin() + offset);
        };
    };
    auto inRecord = [](uint64_t number, std::size_t offset, std::vector<uint8_t> bytes) -> Edit {
        return [=](Bytes& image, const testntfs::Volume& v) {
            std::copy(bytes.begin(), bytes.end(),
                      image.begin() + v.recordPieces.at(number).front().first + offset);
        };
    };
    struct Case {
        const char* what;
        std::function<void(VolumeLayout&)> shape;
        Edit edit;
        std::optional<Entries> entries;  // nothing: those of the sound volume
        const char* refusal;             // why the volume is refused, or nullptr
    } cases[] = {
        {"sound volume", nullptr, nullptr, std::nullopt, nullptr},
        // Sparse runs larger than the volume, with the bitmap sized from them or absent.
        {"2^36 sparse $MFT clusters, sparse 4 GiB bitmap",
         [](VolumeLayout& l) {
             l.mftSparseTail = uint64_t{1} << 36;
             l.bitmapClaimedSize = uint64_t{4} << 30;
         },
         nullptr, std::nullopt, nullptr},
        {"2^36 sparse $MFT clusters, no bitmap",
         [](VolumeLayout& l) {
             l.mftSparseTail = uint64_t{1} << 36;
             l.omitBitmap = true;
         },
         nullptr, std::nullopt, nullptr},
        {"2^40 sparse $MFT clusters, resident bitmap",
         [](VolumeLayout& l) {
             l.mftSparseTail = uint64_t{1} << 40;
             l.bitmapNonResident = false;
         },
         nullptr, std::nullopt, nullptr},
        {"sparse 4 GiB bitmap alone",
         [](VolumeLayout& l) { l.bitmapClaimedSize = uint64_t{4} << 30; }, nullptr, std::nullopt,
         nullptr},
        {"bitmap claiming 2^62 bytes",
         [](VolumeLayout& l) { l.bitmapClaimedSize = uint64_t{1} << 62; }, nullptr, std::nullopt,
         nullptr},
        // Overlapping runs.
        {"eight overlapping runs, six times the volume",
         [](VolumeLayout& l) {
             l.mftRuns.assign(8, {16, 96});
         },
         nullptr, std::nullopt, nullptr},
        {"eight overlapping runs, no bitmap",
         [](VolumeLayout& l) {
             l.mftRuns.assign(8, {16, 96});
             l.omitBitmap = true;
         },
         nullptr, std::nullopt, nullptr},
        // Zero-length runs and runs past the end of the volume leave no sound $MFT.
        {"zero-length $MFT run",
         [](VolumeLayout& l) { l.mftPairsOverride = {0x11, 0x00, 0x10, 0x11, 0x60, 0x10, 0x00}; },
         nullptr, Entries{}, "the $MFT's runs are damaged"},
        {"$MFT run past the end of the volume",
         [](VolumeLayout& l) {
             l.mftPairsOverride = {0x21, 0x60, 0x70, 0x00, 0x00};
         },
         nullptr, Entries{}, "the $MFT's runs leave the volume"},
        // Attribute lists: out of order, non-resident, naming the $MFT record itself.
        {"attribute list out of order",
         [&split](VolumeLayout& l) {
             split(l);
             l.reverseAttributeList = true;
         },
         nullptr, std::nullopt, nullptr},
        {"non-resident attribute list",
         [&split](VolumeLayout& l) {
             split(l);
             l.attributeListNonResident = true;
             l.attributeListLcn = 124;
         },
         nullptr, std::nullopt, nullptr},
        {"attribute list naming record 0 for a later extent", split, listNamesRecordZero, Entries{},
         "an extent of the $MFT's runs is missing or damaged"},
        // Fix-ups and header offsets.
        {"2048-byte sectors, 2 KiB records",
         [](VolumeLayout& l) {
             l.bytesPerSector = 2048;
             l.clusters = 64;
             l.mftRuns = {{4, 48}};
             l.clustersPerMftRecord = 1;
             l.bitmapLcn = 60;
         },
         nullptr, std::nullopt, nullptr},
        {"4096-byte sectors, 4 KiB records",
         [](VolumeLayout& l) {
             l.bytesPerSector = 4096;
             l.clusters = 64;
             l.mftRuns = {{4, 48}};
             l.clustersPerMftRecord = 1;
             l.bitmapLcn = 60;
         },
         nullptr, std::nullopt, nullptr},
        {"first attribute past the bytes in use", nullptr, inRecord(40, 0x14, {0xF0, 0x03}),
         without(40), nullptr},
        {"update sequence past its stride", nullptr, inRecord(37, 0x04, {0xF8, 0x01}), without(37),
         nullptr},
        // Sizes and counts that overflow.
        {"2^40 sectors on a device of 128", nullptr, boot(0x28, {0, 0, 0, 0, 0, 1, 0, 0}),
         std::nullopt, nullptr},
        {"2^63 sectors", nullptr, boot(0x28, {0, 0, 0, 0, 0, 0, 0, 0x80}), Entries{},
         "the boot sector's sizes are out of range"},
        {"$MFT initialized beyond its data size",
         [](VolumeLayout& l) { l.mftInitializedSize = ~uint64_t{0} - 1; }, nullptr, Entries{},
         "the $MFT's sizes contradict its runs"},
        {"update sequence count of 65535", nullptr, inRecord(36, 0x06, {0xFF, 0xFF}), without(36),
         nullptr},
        // Parents that form a cycle: both folders and the file below them still come out.
        {"folders that are each other's parent",
         [](VolumeLayout& l) {
             l.records[36] =
                 RecordBuilder(1024, testntfs::InUseFolder).FileName(37, u"held36").Protected();
             l.records[37] =
                 RecordBuilder(1024, testntfs::InUseFolder).FileName(36, u"held37").Protected();
             l.records[40] = RecordBuilder().FileName(40, u"held40").Protected();
         },
         nullptr, std::nullopt, nullptr},
    };
    for (const Case& c : cases) {
        VolumeLayout layout;  // 1 KiB records in 512-byte clusters: 2^36 clusters, 2^35 records
        layout.sectorsPerCluster = 1;
        layout.clusters = 128;
        layout.mftRuns = {{16, 96}};
        layout.bitmapNonResident = true;
        layout.bitmapLcn = 120;
        if (c.shape) c.shape(layout);
        for (uint64_t number : {36, 37, 40, 47})
            if (!layout.records.count(number))
                layout.records[number] =
                    RecordBuilder(layout.RecordSize())
                        .FileName(5, u"held" + FromUtf8(std::to_string(number)))
                        .Protected();
        testntfs::Volume volume = testntfs::MakeVolume(layout);
        if (c.edit) c.edit(volume.image, volume);
        auto disk = std::make_shared<FakeDisk>();
        disk->image = volume.image;
        std::string refusal;
        std::optional<VolumeSource> source = OpenRawVolume(ReaderOf(disk), nullptr, &refusal);
        ASSERT_EQ(source.has_value(), c.refusal == nullptr) << c.what;
        EXPECT_EQ(refusal, c.refusal ? c.refusal : "") << c.what;
        if (source) {
            NtfsVolumeData data;
            ASSERT_TRUE(source->volumeData(data));
            EXPECT_LE(uint64_t(data.MftValidDataLength), volume.image.size()) << c.what;
            Entries entries;
            std::optional<VolumeEntries> read = ReadVolume(*source);
            ASSERT_TRUE(read) << c.what;
            for (std::size_t row = 0; row < read->columns.Rows(); ++row)
                entries.emplace_back(read->columns.entries[row].RecordNumber(),
                                     ToUtf8(read->columns.Name(row)));
            EXPECT_EQ(entries, c.entries.value_or(sound)) << c.what;
        }
        uint64_t bytesRead = 0;
        for (const auto& [offset, length] : disk->reads) bytesRead += length;
        EXPECT_LE(bytesRead, 4 * volume.image.size()) << c.what;
    }
}

namespace {

// Walks the volume from the top as the index build does (each answer's number minus one next)
// and lists the numbers answered, with whether each record was delivered.
std::vector<std::pair<uint64_t, bool>> WalkDown(const VolumeSource& source, uint64_t top,
                                                uint32_t recordSize) {
    std::vector<std::pair<uint64_t, bool>> answers;
    Bytes record(recordSize);
    for (uint64_t n = top;;) {
        uint64_t number = 0;
        bool delivered = source.recordAtOrBelow(n, number, record);
        if (number == 0 && !answers.empty() && answers.back().first == 0) break;
        answers.emplace_back(number, delivered);
        if (number == 0 || number > n) break;
        n = number - 1;
    }
    return answers;
}

}  // namespace

// A grown $MFT continues its bitmap in extension records named by its attribute list, as it does
// its data. A bitmap that cannot be read does not cost the volume: every record is a candidate
// and its header's in-use flag decides, so records free in the bitmap but in use in their header
// are answered then, and records free in their header never are.
TEST(RawVolume, FollowsASplitBitmapOrFallsBackToRecordHeaders) {
    using Damage = std::function<void(Bytes & image, const testntfs::Volume& volume)>;
    // Offset in the image of the first attribute's lowest VCN in a record, as laid out.
    auto shiftLowestVcn = [](uint64_t number) -> Damage {
        return [number](Bytes& image, const testntfs::Volume& v) {
            uint64_t at = v.recordPieces.at(number).front().first;
            std::size_t first = image[at + 0x14] | image[at + 0x15] << 8;
            image[at + first + 0x10] += 1;
        };
    };
    struct Case {
        const char* what;
        std::function<void(VolumeLayout&)> shape;
        Damage damage;
        bool fromBitmap;
        std::set<uint64_t> damaged;  // answered but not delivered
    } cases[] = {
        {"split bitmap: first extent in record 0, two more in extension records",
         nullptr,
         nullptr,
         true,
         {}},
        {"split bitmap listed out of VCN order",
         [](VolumeLayout& l) { l.reverseAttributeList = true; },
         nullptr,
         true,
         {}},
        {"split bitmap whose first extent is in an extension record too",
         [](VolumeLayout& l) { l.bitmapRecord = 29; },
         nullptr,
         true,
         {}},
        {"split bitmap of a fragmented $MFT",
         [](VolumeLayout& l) {
             l.mftRuns = {{64, 10240}, {10400, 10240}};
             l.runsInBase = 1;
             l.extensionRecords = {28};
         },
         nullptr,
         true,
         {}},
        {"bitmap continuation with a broken fix-up",
         nullptr,
         [](Bytes& image, const testntfs::Volume& v) {
             image[v.recordPieces.at(31).front().first + 510] ^= 1;
         },
         false,
         {31}},
        {"bitmap continuation at another VCN than listed", nullptr, shiftLowestVcn(30), false, {}},
        {"bitmap continuation named in the list but never written",
         [](VolumeLayout& l) {
             l.bitmapExtensionRecords = {30, 33};
             l.notInUse.insert(33);
         },
         [](Bytes& image, const testntfs::Volume& v) {
             for (const auto& [offset, length] : v.recordPieces.at(33))
                 std::fill(image.begin() + offset, image.begin() + offset + length, 0);
         },
         false,
         {}},
        {"no bitmap at all",
         [](VolumeLayout& l) {
             l.omitBitmap = true;
             l.bitmapRuns.clear();
             l.bitmapExtensionRecords.clear();
         },
         nullptr,
         false,
         {}},
    };
    for (const Case& c : cases) {
        // 512-byte clusters and 10240 records of 1 KiB: the 1280-byte bitmap spans three
        // one-cluster runs, each in its own extent.
        VolumeLayout layout;
        layout.sectorsPerCluster = 1;
        layout.clusters = 20900;
        layout.mftRuns = {{64, 20480}};
        layout.bitmapRuns = {{20600, 1}, {20700, 1}, {20800, 1}};
        layout.bitmapExtensionRecords = {30, 31};
        std::set<uint64_t> inBoth = {100, 4095, 4096, 5000, 8191, 8192, 9000, 10239};
        std::set<uint64_t> headerOnly = {7000};     // free in the bitmap, in use in the header
        std::set<uint64_t> bitmapOnly = {6000};     // set in the bitmap, free in the header
        std::set<uint64_t> neither = {4200, 9500};  // deleted records left behind
        for (uint64_t n : inBoth) layout.records[n] = RecordBuilder().FileName(5, u"b").Protected();
        for (uint64_t n : headerOnly)
            layout.records[n] = RecordBuilder().FileName(5, u"h").Protected();
        for (uint64_t n : bitmapOnly)
            layout.records[n] = RecordBuilder(1024, 0).FileName(5, u"o").Protected();
        for (uint64_t n : neither)
            layout.records[n] = RecordBuilder(1024, 0).FileName(5, u"n").Protected();
        for (uint64_t n : headerOnly) layout.notInUse.insert(n);
        for (uint64_t n : neither) layout.notInUse.insert(n);
        if (c.shape) c.shape(layout);
        testntfs::Volume volume = testntfs::MakeVolume(layout);
        if (c.damage) c.damage(volume.image, volume);
        std::optional<VolumeSource> source = OpenImage(volume.image);
        ASSERT_TRUE(source) << c.what;

        // Records written in use in their header; the builder marks all these in the bitmap.
        std::set<uint64_t> structural = {0};
        structural.insert(layout.extensionRecords.begin(), layout.extensionRecords.end());
        if (layout.bitmapRecord) structural.insert(layout.bitmapRecord);
        if (!layout.omitBitmap)
            for (uint64_t n : layout.bitmapExtensionRecords)
                if (!layout.notInUse.count(n)) structural.insert(n);
        std::set<uint64_t> expected = structural;
        expected.insert(inBoth.begin(), inBoth.end());
        if (c.fromBitmap)
            expected.insert(bitmapOnly.begin(), bitmapOnly.end());
        else
            expected.insert(headerOnly.begin(), headerOnly.end());
        std::vector<std::pair<uint64_t, bool>> wanted;
        for (auto it = expected.rbegin(); it != expected.rend(); ++it)
            wanted.emplace_back(*it, !c.damaged.count(*it));
        EXPECT_EQ(WalkDown(*source, 10240 + 5, 1024), wanted) << c.what;
    }

    // The unsplit layouts without a bitmap are read from their headers the same way.
    VolumeLayout plain;
    plain.omitBitmap = true;
    plain.records[40] = RecordBuilder().FileName(5, u"kept").Protected();
    plain.records[41] = RecordBuilder(1024, 0).FileName(5, u"gone").Protected();
    std::optional<VolumeSource> source = OpenImage(testntfs::MakeVolume(plain).image);
    ASSERT_TRUE(source);
    std::vector<std::pair<uint64_t, bool>> wanted = {{40, true}, {0, true}};
    EXPECT_EQ(WalkDown(*source, 300, 1024), wanted);
}

namespace {

using Lent = std::vector<std::pair<uint64_t, Bytes>>;

Lent ReadRange(const VolumeSource& source, uint64_t lo, uint64_t hi, bool below) {
    Lent records;
    ReadRecordRange(source, 1024, lo, hi, below,
                    [&](uint64_t number, std::span<const uint8_t> record) {
                        records.emplace_back(number, Bytes(record.begin(), record.end()));
                    });
    return records;
}

}  // namespace

// A range is read from records lent in place in the chunks, the chunk below read ahead while the
// one above is handed out; it must give what asking record by record gives, byte for byte.
TEST(RawVolume, ReadingARangeGivesWhatAskingRecordByRecordGives) {
    using Damage = std::function<void(const testntfs::Volume&, FakeDisk&)>;
    auto brokenFixup = [](std::set<uint64_t> numbers) -> Damage {
        return [numbers](const testntfs::Volume& v, FakeDisk& disk) {
            for (uint64_t n : numbers) disk.image[v.recordPieces.at(n).front().first + 510] ^= 1;
        };
    };
    struct Case {
        const char* what;
        std::function<void(VolumeLayout&)> shape;
        Damage damage;
        std::size_t readsOfWholeWalk;  // 0: not counted, the $MFT being in several runs
    } cases[] = {
        {"three chunks, each read once", nullptr, nullptr, 3},
        {"unreadable block at the top of the chunk read ahead", nullptr,
         [](const testntfs::Volume& v, FakeDisk& disk) {
             disk.badBlocks.insert(v.recordPieces.at(2046).front().first / 4096);
         },
         0},
        {"broken fix-ups on both sides of a chunk boundary", nullptr, brokenFixup({1023, 1024}), 3},
        {"no bitmap: headers decide across chunks", [](VolumeLayout& l) { l.omitBitmap = true; },
         brokenFixup({2048}), 3},
        {"chunks split over three runs",
         [](VolumeLayout& l) {
             l.mftRuns = {{16, 200}, {300, 250}, {700, 300}};
         },
         nullptr, 0},
        {"a volume smaller than one chunk",
         [](VolumeLayout& l) {
             l.mftRuns = {{16, 64}};
             for (auto it = l.records.begin(); it != l.records.end();)
                 it = it->first >= 256 ? l.records.erase(it) : std::next(it);
             for (auto it = l.notInUse.begin(); it != l.notInUse.end();)
                 it = *it >= 256 ? l.notInUse.erase(it) : std::next(it);
         },
         nullptr, 1},
    };
    for (const Case& c : cases) {
        VolumeLayout layout;
        layout.clusters = 1024;
        layout.mftRuns = {{16, 750}};  // 3000 records of 1 KiB in three 1 MiB chunks
        for (uint64_t n = 36; n < 3000; ++n) {
            // Every seventh record free in its header and the bitmap.
            bool free = n % 7 == 0;
            const std::string digits = std::to_string(n);
            std::u16string name(1 + digits.size(), u'r');
            std::copy(digits.begin(), digits.end(), name.begin() + 1);
            layout.records[n] =
                RecordBuilder(1024, free ? 0 : testntfs::InUse).FileName(5, name).Protected();
            if (free) layout.notInUse.insert(n);
        }
        if (c.shape) c.shape(layout);
        testntfs::Volume volume = testntfs::MakeVolume(layout);
        std::shared_ptr<FakeDisk> disk;
        std::optional<VolumeSource> source = OpenImage(volume.image, &disk);
        ASSERT_TRUE(source) << c.what;
        if (c.damage) c.damage(volume, *disk);
        ASSERT_TRUE(source->readRange) << c.what;
        VolumeSource byRecord = *source;
        byRecord.readRange = nullptr;
        const uint64_t top = volume.mftDataSize / 1024;

        std::size_t readsBefore = disk->reads.size();
        Lent whole = ReadRange(*source, 36, top, true);
        if (c.readsOfWholeWalk) {
            // Each chunk once, highest first: the one read ahead is the one the walk wants next.
            EXPECT_EQ(disk->reads.size() - readsBefore, c.readsOfWholeWalk) << c.what;
            for (std::size_t i = readsBefore + 1; i < disk->reads.size(); ++i)
                EXPECT_LT(disk->reads[i].first, disk->reads[i - 1].first) << c.what;
        }
        EXPECT_EQ(whole, ReadRange(byRecord, 36, top, true)) << c.what;
        EXPECT_GT(whole.size(), top / 2) << c.what;
        struct Range {
            uint64_t lo, hi;
            bool below;
        } ranges[] = {{1000, 2100, true}, {1000, 2100, false}, {1024, 2048, false},
                      {2047, 2049, true}, {1, 1025, true},     {2999, 3000, true}};
        for (const Range& r : ranges)
            EXPECT_EQ(ReadRange(*source, r.lo, r.hi, r.below),
                      ReadRange(byRecord, r.lo, r.hi, r.below))
                << c.what << " [" << r.lo << ", " << r.hi << ")";
        EXPECT_EQ(disk->unalignedBuffers, 0u) << c.what;
    }
}
