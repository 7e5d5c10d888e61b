// Builds NTFS file records and whole small volumes in memory for the reader's tests. The layouts
// are written byte by byte from offsets, independently of the structures the reader uses.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace testntfs {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& bytes, std::size_t offset, uint16_t value);
void Put32(Bytes& bytes, std::size_t offset, uint32_t value);
void Put64(Bytes& bytes, std::size_t offset, uint64_t value);

// One run of clusters; lcn -1 is a sparse run.
struct ClusterRun {
    int64_t lcn;
    uint64_t length;
};
// Mapping pairs with the smallest field widths and a terminating zero.
Bytes EncodeRuns(const std::vector<ClusterRun>& runs);

constexpr uint16_t InUse = 1;
constexpr uint16_t InUseFolder = 3;

class RecordBuilder {
  public:
    explicit RecordBuilder(uint32_t size = 1024, uint16_t flags = InUse, uint16_t sequence = 1);

    RecordBuilder& BaseRecord(uint64_t reference);
    // The record's own number in its header; MakeVolume fills it in where it is left 0.
    RecordBuilder& Number(uint32_t number);
    RecordBuilder& StandardInformation(uint64_t created, uint64_t modified);
    RecordBuilder& FileName(uint64_t parentReference, std::u16string_view name,
                            uint8_t nameSpace = 1, uint64_t created = 0, uint64_t modified = 0);
    RecordBuilder& ResidentData(uint32_t length, std::u16string_view stream = u"");
    RecordBuilder& NonResidentData(uint64_t dataSize, const Bytes& mappingPairs,
                                   uint64_t lowestVcn = 0, uint64_t highestVcn = 0,
                                   std::u16string_view stream = u"",
                                   uint64_t initializedSize = UINT64_MAX);
    RecordBuilder& Resident(uint32_t type, const Bytes& value, std::u16string_view name = u"");
    // Attribute bytes taken as they are, for damaged layouts.
    RecordBuilder& Raw(const Bytes& attribute);
    // Overrides the used size the header claims.
    RecordBuilder& BytesInUse(uint32_t value);

    // The record as the driver returns it, fix-up applied: the update-sequence array holds the
    // sequence number and the true last two bytes of every 512-byte stride.
    Bytes Plain(uint16_t sequenceNumber = 0x0042) const;
    // The record as it lies on disk: the last two bytes of every 512-byte stride saved in the
    // update-sequence array and replaced by the sequence number.
    Bytes Protected(uint16_t sequenceNumber = 0x0042) const;

  private:
    uint32_t size_;
    uint16_t flags_;
    uint16_t sequence_;
    uint64_t base_ = 0;
    uint32_t number_ = 0;
    std::optional<uint32_t> bytesInUse_;
    std::vector<Bytes> attributes_;
    uint16_t nextId_ = 0;
};

// Geometry and contents of a synthetic volume. Record 0 ($MFT) is made from `mftRuns`; when
// `extensionRecords` is not empty, the runs from `runsInBase` on are spread over those records
// (one run each) and listed in an $ATTRIBUTE_LIST of record 0.
struct VolumeLayout {
    uint16_t bytesPerSector = 512;
    uint8_t sectorsPerCluster = 8;
    int8_t clustersPerMftRecord = -10;
    uint64_t clusters = 512;
    std::vector<ClusterRun> mftRuns = {{16, 64}};
    std::size_t runsInBase = SIZE_MAX;
    std::vector<uint64_t> extensionRecords;
    bool reverseAttributeList = false;
    uint64_t mftInitializedSize = UINT64_MAX;  // default: the whole data size
    // The $MFT bitmap: resident in record 0, or non-resident at bitmapLcn.
    bool bitmapNonResident = false;
    uint64_t bitmapLcn = 8;
    // A record other than 0 that holds the $BITMAP attribute, named in the attribute list.
    uint64_t bitmapRecord = 0;
    // A split bitmap, as a grown $MFT has: non-resident over `bitmapRuns`, the first run's
    // extent in record 0 (or bitmapRecord) and each further run's extent in the matching
    // extension record, all named in the attribute list (in reverse when reverseAttributeList).
    std::vector<ClusterRun> bitmapRuns;
    std::vector<uint64_t> bitmapExtensionRecords;
    // The attribute list itself stored outside record 0, at attributeListLcn.
    bool attributeListNonResident = false;
    uint64_t attributeListLcn = 12;
    // Records besides 0 and the extension records, protected before being written.
    std::map<uint64_t, Bytes> records;
    // Bits set in the bitmap besides 0, the extension records and the keys of `records`.
    std::set<uint64_t> alsoInUse;
    std::set<uint64_t> notInUse;
    // Damage: mapping pairs of record 0's $DATA used as they are; no $BITMAP at all.
    Bytes mftPairsOverride;
    bool omitBitmap = false;
    // Claims beyond what is stored: a sparse run of this many clusters after record 0's $DATA
    // runs (the sizes claim it too, the bitmap does not), and a non-resident bitmap whose data
    // size is this many bytes, its clusters past the stored ones sparse.
    uint64_t mftSparseTail = 0;
    uint64_t bitmapClaimedSize = 0;

    uint32_t ClusterSize() const { return uint32_t(bytesPerSector) * sectorsPerCluster; }
    uint32_t RecordSize() const {
        return clustersPerMftRecord > 0 ? clustersPerMftRecord * ClusterSize()
                                        : 1u << -clustersPerMftRecord;
    }
};

struct Volume {
    Bytes image;
    Bytes bootSector;  // the first 512 bytes, to be edited and put back by damage tests
    uint64_t mftDataSize = 0;
    // Byte offset in the image of every byte range of a record: (record number) -> offsets of
    // its clusters' pieces, for tests that damage a record on disk.
    std::map<uint64_t, std::vector<std::pair<uint64_t, uint64_t>>> recordPieces;
};

Volume MakeVolume(const VolumeLayout& layout);

}  // namespace testntfs
