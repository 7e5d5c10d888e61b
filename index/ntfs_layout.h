// On-disk NTFS structures the record walk and the raw reader need, and bounds-checked loads of
// them from byte spans. Every structure is read by copying it out of its span, never through a
// cast pointer, so records of any alignment and any length are safe to read.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

static_assert(std::endian::native == std::endian::little,
              "the on-disk structures are read by copying little-endian bytes");

namespace ntfs {

inline constexpr uint32_t FileSignature = 0x454C4946;  // "FILE"
inline constexpr uint32_t AttributeEnd = 0xFFFFFFFF;
inline constexpr uint32_t StandardInformationType = 0x10;
inline constexpr uint32_t AttributeListType = 0x20;
inline constexpr uint32_t FileNameType = 0x30;
inline constexpr uint32_t DataType = 0x80;
inline constexpr uint32_t BitmapType = 0xB0;
inline constexpr uint8_t DosNamespace = 2;
inline constexpr uint16_t FolderRecordFlags = 0x0003;
// The update sequence protects the last two bytes of every 512-byte stride, whatever the sector
// size of the volume.
inline constexpr uint32_t FixupStride = 512;
inline constexpr uint64_t RecordNumberMask = 0x0000FFFFFFFFFFFF;

#pragma pack(push, 1)

struct BootSector {
    uint8_t jump[3];
    char oemId[8];
    uint16_t bytesPerSector;
    uint8_t sectorsPerCluster;
    uint8_t unused1[7];
    uint8_t mediaDescriptor;
    uint8_t unused2[18];
    uint64_t totalSectors;
    uint64_t mftLcn;
    uint64_t mftMirrorLcn;
    int8_t clustersPerMftRecord;
    uint8_t unused4[3];
    int8_t clustersPerIndexBuffer;
    uint8_t unused5[3];
    uint64_t serialNumber;
    uint32_t checksum;
};
static_assert(sizeof(BootSector) == 0x54);
static_assert(offsetof(BootSector, oemId) == 0x03);
static_assert(offsetof(BootSector, bytesPerSector) == 0x0B);
static_assert(offsetof(BootSector, sectorsPerCluster) == 0x0D);
static_assert(offsetof(BootSector, mediaDescriptor) == 0x15);
static_assert(offsetof(BootSector, totalSectors) == 0x28);
static_assert(offsetof(BootSector, mftLcn) == 0x30);
static_assert(offsetof(BootSector, mftMirrorLcn) == 0x38);
static_assert(offsetof(BootSector, clustersPerMftRecord) == 0x40);
static_assert(offsetof(BootSector, clustersPerIndexBuffer) == 0x44);
static_assert(offsetof(BootSector, serialNumber) == 0x48);
inline constexpr std::size_t BootSignatureOffset = 0x1FE;  // 0x55 0xAA

struct FileRecordHeader {
    uint32_t signature;
    uint16_t updateSequenceOffset;
    uint16_t updateSequenceCount;
    uint64_t logSequenceNumber;
    uint16_t sequenceNumber;
    uint16_t linkCount;
    uint16_t firstAttributeOffset;
    uint16_t flags;
    uint32_t bytesInUse;
    uint32_t bytesAllocated;
    uint64_t baseRecord;
    uint16_t nextAttributeId;
    uint16_t unused;
    uint32_t recordNumber;
};
static_assert(sizeof(FileRecordHeader) == 0x30);
static_assert(offsetof(FileRecordHeader, updateSequenceOffset) == 0x04);
static_assert(offsetof(FileRecordHeader, updateSequenceCount) == 0x06);
static_assert(offsetof(FileRecordHeader, sequenceNumber) == 0x10);
static_assert(offsetof(FileRecordHeader, firstAttributeOffset) == 0x14);
static_assert(offsetof(FileRecordHeader, flags) == 0x16);
static_assert(offsetof(FileRecordHeader, bytesInUse) == 0x18);
static_assert(offsetof(FileRecordHeader, bytesAllocated) == 0x1C);
static_assert(offsetof(FileRecordHeader, baseRecord) == 0x20);
static_assert(offsetof(FileRecordHeader, recordNumber) == 0x2C);

struct AttributeHeader {
    uint32_t type;
    uint32_t length;
    uint8_t nonResident;
    uint8_t nameLength;
    uint16_t nameOffset;
    uint16_t flags;
    uint16_t attributeId;
};
static_assert(sizeof(AttributeHeader) == 0x10);
static_assert(offsetof(AttributeHeader, length) == 0x04);
static_assert(offsetof(AttributeHeader, nonResident) == 0x08);
static_assert(offsetof(AttributeHeader, nameLength) == 0x09);
static_assert(offsetof(AttributeHeader, nameOffset) == 0x0A);

struct ResidentAttribute {
    AttributeHeader header;
    uint32_t valueLength;
    uint16_t valueOffset;
    uint8_t indexed;
    uint8_t unused;
};
static_assert(sizeof(ResidentAttribute) == 0x18);
static_assert(offsetof(ResidentAttribute, valueLength) == 0x10);
static_assert(offsetof(ResidentAttribute, valueOffset) == 0x14);

struct NonResidentAttribute {
    AttributeHeader header;
    uint64_t lowestVcn;
    uint64_t highestVcn;
    uint16_t mappingPairsOffset;
    uint8_t compressionUnit;
    uint8_t unused[5];
    uint64_t allocatedSize;
    uint64_t dataSize;
    uint64_t initializedSize;
};
static_assert(sizeof(NonResidentAttribute) == 0x40);
static_assert(offsetof(NonResidentAttribute, lowestVcn) == 0x10);
static_assert(offsetof(NonResidentAttribute, highestVcn) == 0x18);
static_assert(offsetof(NonResidentAttribute, mappingPairsOffset) == 0x20);
static_assert(offsetof(NonResidentAttribute, allocatedSize) == 0x28);
static_assert(offsetof(NonResidentAttribute, dataSize) == 0x30);
static_assert(offsetof(NonResidentAttribute, initializedSize) == 0x38);

struct StandardInformation {
    uint64_t creationTime;
    uint64_t modificationTime;
    uint64_t recordChangeTime;
    uint64_t accessTime;
};
static_assert(sizeof(StandardInformation) == 0x20);
static_assert(offsetof(StandardInformation, modificationTime) == 0x08);

struct FileNameValue {
    uint64_t parentReference;
    uint64_t creationTime;
    uint64_t modificationTime;
    uint64_t recordChangeTime;
    uint64_t accessTime;
    uint64_t allocatedSize;
    uint64_t dataSize;
    uint32_t fileAttributes;
    uint32_t reparseValue;
    uint8_t nameLength;
    uint8_t nameSpace;
};
static_assert(sizeof(FileNameValue) == 0x42);
static_assert(offsetof(FileNameValue, creationTime) == 0x08);
static_assert(offsetof(FileNameValue, modificationTime) == 0x10);
static_assert(offsetof(FileNameValue, nameLength) == 0x40);
static_assert(offsetof(FileNameValue, nameSpace) == 0x41);

struct AttributeListEntry {
    uint32_t type;
    uint16_t length;
    uint8_t nameLength;
    uint8_t nameOffset;
    uint64_t lowestVcn;
    uint64_t segmentReference;
    uint16_t attributeId;
};
static_assert(sizeof(AttributeListEntry) == 0x1A);
static_assert(offsetof(AttributeListEntry, length) == 0x04);
static_assert(offsetof(AttributeListEntry, nameLength) == 0x06);
static_assert(offsetof(AttributeListEntry, lowestVcn) == 0x08);
static_assert(offsetof(AttributeListEntry, segmentReference) == 0x10);

#pragma pack(pop)

// Copies a T out of bytes[offset, offset + sizeof(T)); false, leaving `out` alone, when the span
// is too short.
template <typename T>
bool Load(std::span<const uint8_t> bytes, std::size_t offset, T& out) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
    std::memcpy(&out, bytes.data() + offset, sizeof(T));
    return true;
}

// The same for callers that have already checked the bounds; a short span yields zero.
template <typename T>
T LoadOr0(std::span<const uint8_t> bytes, std::size_t offset) {
    T value{};
    Load(bytes, offset, value);
    return value;
}

// bytes[offset, offset + length), or an empty span (and false) when that runs past the end.
inline bool Slice(std::span<const uint8_t> bytes, std::size_t offset, std::size_t length,
                  std::span<const uint8_t>& out) {
    if (offset > bytes.size() || bytes.size() - offset < length) return false;
    out = bytes.subspan(offset, length);
    return true;
}

// The attribute walk shared by the raw reader and the record parser. Calls
// visit(header, attribute) for every attribute inside the record's used size, where `attribute`
// spans exactly the attribute's total length; visit returns false to stop. The walk ends at the
// end marker, and also at an attribute whose length is 0, too short for its header or runs past
// the used size: such a record is damaged beyond that point. Returns false when it stopped on
// damage.
template <typename Visit>
bool ForEachAttribute(std::span<const uint8_t> record, Visit&& visit) {
    FileRecordHeader header;
    if (!Load(record, 0, header)) return false;
    std::size_t used = std::min<std::size_t>(header.bytesInUse, record.size());
    std::size_t position = header.firstAttributeOffset;
    for (;;) {
        uint32_t type;
        if (position >= used || !Load(record.first(used), position, type)) return false;
        if (type == AttributeEnd) return true;
        AttributeHeader attribute;
        if (!Load(record.first(used), position, attribute)) return false;
        if (attribute.length < sizeof(AttributeHeader) || attribute.length > used - position)
            return false;
        if (!visit(attribute, record.subspan(position, attribute.length))) return true;
        position += attribute.length;
    }
}

// The attribute's own name is empty (the unnamed $DATA, the unnamed $BITMAP).
inline bool IsUnnamed(const AttributeHeader& header) {
    return header.nameLength == 0;
}

// The value of a resident attribute, checked against the attribute's length.
inline bool ResidentValue(std::span<const uint8_t> attribute, std::span<const uint8_t>& value) {
    ResidentAttribute resident;
    if (!Load(attribute, 0, resident) || resident.header.nonResident != 0) return false;
    return Slice(attribute, resident.valueOffset, resident.valueLength, value);
}

// The header of a non-resident attribute and its mapping pairs, up to the attribute's end.
inline bool NonResidentForm(std::span<const uint8_t> attribute, NonResidentAttribute& form,
                            std::span<const uint8_t>& mappingPairs) {
    if (!Load(attribute, 0, form) || form.header.nonResident == 0) return false;
    if (form.mappingPairsOffset > attribute.size()) return false;
    mappingPairs = attribute.subspan(form.mappingPairsOffset);
    return true;
}

}  // namespace ntfs
