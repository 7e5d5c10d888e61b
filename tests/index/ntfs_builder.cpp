#include "tests/index/ntfs_builder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace testntfs {

void Put16(Bytes& bytes, std::size_t offset, uint16_t value) {
    for (int i = 0; i < 2; ++i) bytes.at(offset + i) = uint8_t(value >> (8 * i));
}
void Put32(Bytes& bytes, std::size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.at(offset + i) = uint8_t(value >> (8 * i));
}
void Put64(Bytes& bytes, std::size_t offset, uint64_t value) {
    for (int i = 0; i < 8; ++i) bytes.at(offset + i) = uint8_t(value >> (8 * i));
}

namespace {

std::size_t Align8(std::size_t value) {
    return (value + 7) & ~std::size_t{7};
}

// Bytes needed to hold `value` as a two's complement (signed) or plain (unsigned) number.
unsigned Width(int64_t value, bool isSigned) {
    for (unsigned width = 1; width < 8; ++width) {
        if (isSigned) {
            int64_t limit = int64_t{1} << (8 * width - 1);
            if (value >= -limit && value < limit) return width;
        } else if (uint64_t(value) < (uint64_t{1} << (8 * width))) {
            return width;
        }
    }
    return 8;
}

void PutName(Bytes& bytes, std::size_t offset, std::u16string_view name) {
    for (std::size_t i = 0; i < name.size(); ++i) Put16(bytes, offset + 2 * i, name[i]);
}

}  // namespace

Bytes EncodeRuns(const std::vector<ClusterRun>& runs) {
    Bytes out;
    int64_t previous = 0;
    for (const ClusterRun& run : runs) {
        unsigned lengthWidth = Width(int64_t(run.length), false);
        unsigned offsetWidth = 0;
        int64_t delta = 0;
        if (run.lcn >= 0) {
            delta = run.lcn - previous;
            offsetWidth = Width(delta, true);
            previous = run.lcn;
        }
        out.push_back(uint8_t(offsetWidth << 4 | lengthWidth));
        for (unsigned i = 0; i < lengthWidth; ++i) out.push_back(uint8_t(run.length >> (8 * i)));
        for (unsigned i = 0; i < offsetWidth; ++i)
            out.push_back(uint8_t(uint64_t(delta) >> (8 * i)));
    }
    out.push_back(0);
    return out;
}

RecordBuilder::RecordBuilder(uint32_t size, uint16_t flags, uint16_t sequence)
    : size_(size), flags_(flags), sequence_(sequence) {}

RecordBuilder& RecordBuilder::BaseRecord(uint64_t reference) {
    base_ = reference;
    return *this;
}

RecordBuilder& RecordBuilder::Number(uint32_t number) {
    number_ = number;
    return *this;
}

RecordBuilder& RecordBuilder::BytesInUse(uint32_t value) {
    bytesInUse_ = value;
    return *this;
}

RecordBuilder& RecordBuilder::Resident(uint32_t type, const Bytes& value,
                                       std::u16string_view name) {
    std::size_t valueOffset = Align8(0x18 + 2 * name.size());
    Bytes attribute(Align8(valueOffset + value.size()), 0);
    Put32(attribute, 0x00, type);
    Put32(attribute, 0x04, uint32_t(attribute.size()));
    attribute[0x09] = uint8_t(name.size());
    Put16(attribute, 0x0A, 0x18);
    Put16(attribute, 0x0E, nextId_++);
    Put32(attribute, 0x10, uint32_t(value.size()));
    Put16(attribute, 0x14, uint16_t(valueOffset));
    attribute[0x16] = type == 0x30 ? 1 : 0;
    PutName(attribute, 0x18, name);
    std::copy(value.begin(), value.end(), attribute.begin() + valueOffset);
    attributes_.push_back(attribute);
    return *this;
}

RecordBuilder& RecordBuilder::StandardInformation(uint64_t created, uint64_t modified) {
    Bytes value(0x48, 0);
    Put64(value, 0x00, created);
    Put64(value, 0x08, modified);
    Put64(value, 0x10, modified + 1);
    Put64(value, 0x18, modified + 2);
    return Resident(0x10, value);
}

RecordBuilder& RecordBuilder::FileName(uint64_t parentReference, std::u16string_view name,
                                       uint8_t nameSpace, uint64_t created, uint64_t modified) {
    Bytes value(0x42 + 2 * name.size(), 0);
    Put64(value, 0x00, parentReference);
    Put64(value, 0x08, created);
    Put64(value, 0x10, modified);
    Put64(value, 0x18, modified + 3);
    Put64(value, 0x20, modified + 4);
    value[0x40] = uint8_t(name.size());
    value[0x41] = nameSpace;
    PutName(value, 0x42, name);
    return Resident(0x30, value);
}

RecordBuilder& RecordBuilder::ResidentData(uint32_t length, std::u16string_view stream) {
    Bytes value(length);
    for (uint32_t i = 0; i < length; ++i) value[i] = uint8_t(i * 7 + 1);
    return Resident(0x80, value, stream);
}

RecordBuilder& RecordBuilder::NonResidentData(uint64_t dataSize, const Bytes& mappingPairs,
                                              uint64_t lowestVcn, uint64_t highestVcn,
                                              std::u16string_view stream,
                                              uint64_t initializedSize) {
    std::size_t pairsOffset = Align8(0x40 + 2 * stream.size());
    Bytes attribute(Align8(pairsOffset + mappingPairs.size()), 0);
    Put32(attribute, 0x00, 0x80);
    Put32(attribute, 0x04, uint32_t(attribute.size()));
    attribute[0x08] = 1;
    attribute[0x09] = uint8_t(stream.size());
    Put16(attribute, 0x0A, 0x40);
    Put16(attribute, 0x0E, nextId_++);
    Put64(attribute, 0x10, lowestVcn);
    Put64(attribute, 0x18, highestVcn);
    Put16(attribute, 0x20, uint16_t(pairsOffset));
    Put64(attribute, 0x28, (dataSize + 4095) & ~uint64_t{4095});
    Put64(attribute, 0x30, dataSize);
    Put64(attribute, 0x38, initializedSize == UINT64_MAX ? dataSize : initializedSize);
    PutName(attribute, 0x40, stream);
    std::copy(mappingPairs.begin(), mappingPairs.end(), attribute.begin() + pairsOffset);
    attributes_.push_back(attribute);
    return *this;
}

RecordBuilder& RecordBuilder::Raw(const Bytes& attribute) {
    attributes_.push_back(attribute);
    return *this;
}

Bytes RecordBuilder::Plain(uint16_t sequenceNumber) const {
    Bytes record(size_, 0);
    uint16_t updateCount = uint16_t(size_ / 512 + 1);
    std::size_t first = Align8(0x30 + 2 * updateCount);
    std::memcpy(record.data(), "FILE", 4);
    Put16(record, 0x04, 0x30);
    Put16(record, 0x06, updateCount);
    Put16(record, 0x10, sequence_);
    Put16(record, 0x12, 1);
    Put16(record, 0x14, uint16_t(first));
    Put16(record, 0x16, flags_);
    Put32(record, 0x1C, size_);
    Put64(record, 0x20, base_);
    Put16(record, 0x28, nextId_);
    Put32(record, 0x2C, number_);
    std::size_t at = first;
    for (const Bytes& attribute : attributes_) {
        if (at + attribute.size() + 8 > size_) throw std::length_error("record overflow");
        std::copy(attribute.begin(), attribute.end(), record.begin() + at);
        at += attribute.size();
    }
    Put32(record, at, 0xFFFFFFFF);
    Put32(record, 0x18, bytesInUse_.value_or(uint32_t(at + 8)));
    // The fix-up leaves the array in place: the sequence number, then the saved stride ends.
    Put16(record, 0x30, sequenceNumber);
    for (uint16_t i = 1; i < updateCount; ++i) {
        std::size_t end = std::size_t(i) * 512 - 2;
        record[0x30 + 2 * i] = record[end];
        record[0x30 + 2 * i + 1] = record[end + 1];
    }
    return record;
}

Bytes RecordBuilder::Protected(uint16_t sequenceNumber) const {
    Bytes record = Plain(sequenceNumber);
    for (std::size_t end = 510; end < size_; end += 512) Put16(record, end, sequenceNumber);
    return record;
}

namespace {

// Volume byte offsets of the stream range [offset, offset + length), piece by piece.
std::vector<std::pair<uint64_t, uint64_t>> MapStream(const std::vector<ClusterRun>& runs,
                                                     uint64_t clusterSize, uint64_t offset,
                                                     uint64_t length) {
    std::vector<std::pair<uint64_t, uint64_t>> pieces;
    uint64_t runStart = 0;
    for (const ClusterRun& run : runs) {
        uint64_t runEnd = runStart + run.length * clusterSize;
        if (length > 0 && offset < runEnd && offset >= runStart) {
            uint64_t piece = std::min(length, runEnd - offset);
            if (run.lcn >= 0) pieces.emplace_back(run.lcn * clusterSize + offset - runStart, piece);
            offset += piece;
            length -= piece;
        }
        runStart = runEnd;
    }
    if (length > 0) throw std::out_of_range("stream range beyond its runs");
    return pieces;
}

Bytes AttributeListEntry(uint32_t type, uint64_t lowestVcn, uint64_t record, uint16_t id) {
    Bytes entry(0x20, 0);
    Put32(entry, 0x00, type);
    Put16(entry, 0x04, 0x20);
    entry[0x07] = 0x1A;
    Put64(entry, 0x08, lowestVcn);
    Put64(entry, 0x10, record | uint64_t{1} << 48);
    Put16(entry, 0x18, id);
    return entry;
}

// The first attribute of a record built for the purpose.
Bytes FirstAttribute(const Bytes& record) {
    std::size_t first = record[0x14] | record[0x15] << 8;
    uint32_t length = record[first + 4] | record[first + 5] << 8;
    return Bytes(record.begin() + first, record.begin() + first + length);
}

// A non-resident attribute of any type over one run, laid out as a non-resident $DATA.
Bytes NonResidentAttribute(uint32_t type, uint64_t size, uint64_t lcn, uint64_t clusterSize,
                           uint32_t recordSize) {
    uint64_t clusters = (size + clusterSize - 1) / clusterSize;
    Bytes attribute = FirstAttribute(
        RecordBuilder(recordSize)
            .NonResidentData(size, EncodeRuns({{int64_t(lcn), clusters}}), 0, clusters - 1)
            .Plain());
    Put32(attribute, 0, type);
    return attribute;
}

}  // namespace

Volume MakeVolume(const VolumeLayout& layout) {
    Volume volume;
    const uint64_t clusterSize = layout.ClusterSize();
    const uint32_t recordSize = layout.RecordSize();
    volume.image.assign(layout.clusters * clusterSize, 0);

    Bytes& image = volume.image;
    image[0] = 0xEB;
    image[1] = 0x52;
    image[2] = 0x90;
    std::memcpy(&image[3], "NTFS    ", 8);
    Put16(image, 0x0B, layout.bytesPerSector);
    image[0x0D] = layout.sectorsPerCluster;
    image[0x15] = 0xF8;
    Put64(image, 0x28, layout.clusters * layout.sectorsPerCluster - 1);
    Put64(image, 0x30, uint64_t(layout.mftRuns.front().lcn));
    Put64(image, 0x38, 2);
    image[0x40] = uint8_t(layout.clustersPerMftRecord);
    image[0x44] = 1;
    image[0x1FE] = 0x55;
    image[0x1FF] = 0xAA;

    uint64_t totalClusters = 0;
    for (const ClusterRun& run : layout.mftRuns) totalClusters += run.length;
    volume.mftDataSize = totalClusters * clusterSize;
    uint64_t recordCount = volume.mftDataSize / recordSize;

    std::set<uint64_t> inUse = layout.alsoInUse;
    inUse.insert(0);
    for (uint64_t number : layout.extensionRecords) inUse.insert(number);
    if (layout.bitmapRecord) inUse.insert(layout.bitmapRecord);
    for (uint64_t number : layout.bitmapExtensionRecords) inUse.insert(number);
    for (const auto& [number, bytes] : layout.records) inUse.insert(number);
    for (uint64_t number : layout.notInUse) inUse.erase(number);
    Bytes bitmap(((recordCount + 63) / 64) * 8, 0);
    for (uint64_t number : inUse)
        if (number / 8 < bitmap.size()) bitmap[number / 8] |= uint8_t(1 << (number % 8));

    std::size_t inBase = std::min(layout.runsInBase, layout.mftRuns.size());
    std::vector<ClusterRun> baseRuns(layout.mftRuns.begin(), layout.mftRuns.begin() + inBase);
    uint64_t baseClusters = 0;
    for (const ClusterRun& run : baseRuns) baseClusters += run.length;

    RecordBuilder mft(recordSize, InUse);
    mft.StandardInformation(1, 2).FileName(5 | uint64_t{5} << 48, u"$MFT", 3, 1, 2);
    std::map<uint64_t, Bytes> records = layout.records;
    const bool splitBitmap = !layout.bitmapRuns.empty();
    std::vector<Bytes> bitmapExtents;  // the split bitmap's attribute extents, in VCN order
    if (splitBitmap && !layout.omitBitmap) {
        if (layout.bitmapExtensionRecords.size() + 1 != layout.bitmapRuns.size())
            throw std::invalid_argument("one extension record per bitmap run after the first");
        uint64_t bitmapClusters = 0;
        for (const ClusterRun& run : layout.bitmapRuns) bitmapClusters += run.length;
        if (bitmapClusters * clusterSize < bitmap.size())
            throw std::length_error("bitmap runs too short");
        auto pieces = MapStream(layout.bitmapRuns, clusterSize, 0, bitmap.size());
        uint64_t done = 0;
        for (const auto& [offset, length] : pieces) {
            std::copy(bitmap.begin() + done, bitmap.begin() + done + length,
                      image.begin() + offset);
            done += length;
        }
        uint64_t vcn = 0;
        for (const ClusterRun& run : layout.bitmapRuns) {
            Bytes attribute = FirstAttribute(
                RecordBuilder(recordSize)
                    .NonResidentData(bitmap.size(), EncodeRuns({run}), vcn, vcn + run.length - 1)
                    .Plain());
            Put32(attribute, 0, 0xB0);
            if (vcn != 0) Put64(attribute, 0x28, 0);  // only the first extent carries sizes
            if (vcn != 0) Put64(attribute, 0x30, 0);
            if (vcn != 0) Put64(attribute, 0x38, 0);
            bitmapExtents.push_back(attribute);
            vcn += run.length;
        }
    }
    if (!layout.extensionRecords.empty() || layout.bitmapRecord ||
        !layout.bitmapExtensionRecords.empty()) {
        std::vector<Bytes> dataEntries;
        uint64_t vcn = baseClusters;
        for (std::size_t i = 0; i < layout.extensionRecords.size(); ++i) {
            const ClusterRun& run = layout.mftRuns.at(inBase + i);
            uint64_t number = layout.extensionRecords[i];
            records[number] = RecordBuilder(recordSize, InUse)
                                  .BaseRecord(uint64_t{1} << 48)
                                  .NonResidentData(0, EncodeRuns({run}), vcn, vcn + run.length - 1)
                                  .Protected();
            dataEntries.push_back(AttributeListEntry(0x80, vcn, number, uint16_t(10 + i)));
            vcn += run.length;
        }
        if (layout.reverseAttributeList) std::reverse(dataEntries.begin(), dataEntries.end());
        Bytes list;
        for (const Bytes& entry :
             {AttributeListEntry(0x10, 0, 0, 0), AttributeListEntry(0x30, 0, 0, 1),
              AttributeListEntry(0x80, 0, 0, 2)})
            list.insert(list.end(), entry.begin(), entry.end());
        for (const Bytes& entry : dataEntries) list.insert(list.end(), entry.begin(), entry.end());
        std::vector<Bytes> bitmapEntries = {AttributeListEntry(0xB0, 0, layout.bitmapRecord, 3)};
        uint64_t bitmapVcn = splitBitmap ? layout.bitmapRuns.front().length : 0;
        for (std::size_t i = 0; i < layout.bitmapExtensionRecords.size(); ++i) {
            uint64_t number = layout.bitmapExtensionRecords[i];
            bitmapEntries.push_back(AttributeListEntry(0xB0, bitmapVcn, number, uint16_t(40 + i)));
            if (!layout.omitBitmap)
                records[number] = RecordBuilder(recordSize, InUse)
                                      .BaseRecord(uint64_t{1} << 48)
                                      .Raw(bitmapExtents.at(i + 1))
                                      .Protected();
            bitmapVcn += layout.bitmapRuns.at(i + 1).length;
        }
        if (layout.reverseAttributeList) std::reverse(bitmapEntries.begin(), bitmapEntries.end());
        for (const Bytes& entry : bitmapEntries)
            list.insert(list.end(), entry.begin(), entry.end());
        if (layout.attributeListNonResident) {
            mft.Raw(NonResidentAttribute(0x20, list.size(), layout.attributeListLcn, clusterSize,
                                         recordSize));
            std::copy(list.begin(), list.end(),
                      image.begin() + layout.attributeListLcn * clusterSize);
        } else {
            mft.Resident(0x20, list);
        }
    }
    std::vector<ClusterRun> claimedRuns = baseRuns;
    if (layout.mftSparseTail) claimedRuns.push_back({-1, layout.mftSparseTail});
    const uint64_t claimedSize = volume.mftDataSize + layout.mftSparseTail * clusterSize;
    uint64_t initialized =
        layout.mftInitializedSize == UINT64_MAX ? claimedSize : layout.mftInitializedSize;
    mft.NonResidentData(
        claimedSize,
        layout.mftPairsOverride.empty() ? EncodeRuns(claimedRuns) : layout.mftPairsOverride, 0,
        baseClusters + layout.mftSparseTail - 1, u"", initialized);
    if (!layout.omitBitmap) {
        Bytes attribute;
        if (splitBitmap) {
            attribute = bitmapExtents.front();
        } else if (layout.bitmapClaimedSize) {
            const uint64_t stored = (bitmap.size() + clusterSize - 1) / clusterSize;
            const uint64_t claimed = (layout.bitmapClaimedSize + clusterSize - 1) / clusterSize;
            attribute = FirstAttribute(
                RecordBuilder(recordSize)
                    .NonResidentData(
                        layout.bitmapClaimedSize,
                        EncodeRuns({{int64_t(layout.bitmapLcn), stored}, {-1, claimed - stored}}),
                        0, claimed - 1)
                    .Plain());
            Put32(attribute, 0, 0xB0);
            std::copy(bitmap.begin(), bitmap.end(), image.begin() + layout.bitmapLcn * clusterSize);
        } else if (layout.bitmapNonResident) {
            attribute = NonResidentAttribute(0xB0, bitmap.size(), layout.bitmapLcn, clusterSize,
                                             recordSize);
            std::copy(bitmap.begin(), bitmap.end(), image.begin() + layout.bitmapLcn * clusterSize);
        } else {
            attribute = FirstAttribute(RecordBuilder(recordSize).Resident(0xB0, bitmap).Plain());
        }
        if (layout.bitmapRecord)
            records[layout.bitmapRecord] =
                RecordBuilder(recordSize).BaseRecord(uint64_t{1} << 48).Raw(attribute).Protected();
        else
            mft.Raw(attribute);
    }
    records[0] = mft.Protected();

    for (auto& [number, bytes] : records) {
        if (bytes.size() != recordSize) throw std::length_error("record of the wrong size");
        // Every record carries its own number, as NTFS writes it; a test may set another.
        if (bytes.size() >= 0x30 && bytes[0x2C] == 0 && bytes[0x2D] == 0 && bytes[0x2E] == 0 &&
            bytes[0x2F] == 0)
            Put32(bytes, 0x2C, uint32_t(number));
        auto pieces = MapStream(layout.mftRuns, clusterSize, number * recordSize, recordSize);
        uint64_t done = 0;
        for (const auto& [offset, length] : pieces) {
            std::copy(bytes.begin() + done, bytes.begin() + done + length, image.begin() + offset);
            done += length;
        }
        volume.recordPieces[number] = pieces;
    }
    volume.bootSector.assign(image.begin(), image.begin() + 512);
    return volume;
}

}  // namespace testntfs
