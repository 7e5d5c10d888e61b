#include "index/mft_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "index/derived_texts.h"
#include "index/ntfs_layout.h"
#include "index/platform.h"

namespace {

constexpr uint64_t FirstWalkedRecord = 36;
constexpr uint32_t MaxDriverRecordSize = 1 << 20;
constexpr uint32_t NoRecord = std::numeric_limits<uint32_t>::max();

struct NameFact {
    uint64_t parent;
    uint64_t created;
    uint64_t modified;
    std::size_t nameStart;  // into the walk's name pool
    uint8_t nameLength;
};

// What one record contributes. An extension record's facts belong to its base record and are
// only joined to it after the walk, because the two may come in either order.
struct RecordFacts {
    uint64_t number = 0;
    uint64_t base = 0;  // 0 for a base record
    uint16_t baseSequence = 0;
    uint16_t sequence = 0;
    uint16_t flags = 0;
    bool hasStandardTimes = false;
    bool hasSize = false;
    uint64_t created = 0;
    uint64_t modified = 0;
    uint64_t size = 0;
    uint32_t firstName = 0;
    uint32_t nameCount = 0;
    uint32_t nextExtension = NoRecord;
};

// The facts of one part of a volume's records, a range read by itself, with a name pool of its
// own: parts share nothing while they are parsed, so each could be parsed on a core of its own.
class WalkPart {
  public:
    // Room for the part's records up front, so the vectors never move during a large walk;
    // capped because the count comes from the volume.
    void Reserve(uint64_t records) {
        std::size_t count = static_cast<std::size_t>(std::min<uint64_t>(records, 1 << 24));
        records_.reserve(count);
        names_.reserve(count);
        namePool_.reserve(count * 16);
    }
    void Parse(uint64_t number, std::span<const uint8_t> record);

  private:
    friend class Walk;
    bool ParseAttribute(const ntfs::AttributeHeader& header, std::span<const uint8_t> attribute,
                        RecordFacts& facts);

    std::vector<RecordFacts> records_;  // in descending order of their numbers
    std::vector<NameFact> names_;
    std::u16string namePool_;
};

// The parts of a volume joined, then made into entries.
class Walk {
  public:
    // `parts` in descending order of their ranges.
    explicit Walk(std::vector<WalkPart> parts);
    VolumeEntries Assemble();

  private:
    std::u16string_view Name(const NameFact& name) const {
        return {namePool_.data() + name.nameStart, name.nameLength};
    }

    std::vector<RecordFacts> records_;
    std::vector<NameFact> names_;
    std::u16string namePool_;
};

Walk::Walk(std::vector<WalkPart> parts) {
    if (parts.size() == 1) {
        records_ = std::move(parts.front().records_);
        names_ = std::move(parts.front().names_);
        namePool_ = std::move(parts.front().namePool_);
        return;
    }
    for (WalkPart& part : parts) {
        const auto firstName = static_cast<uint32_t>(names_.size());
        const std::size_t poolStart = namePool_.size();
        for (RecordFacts facts : part.records_) {
            facts.firstName += firstName;
            records_.push_back(facts);
        }
        for (NameFact name : part.names_) {
            name.nameStart += poolStart;
            names_.push_back(name);
        }
        namePool_ += part.namePool_;
        part = WalkPart();
    }
}

bool WalkPart::ParseAttribute(const ntfs::AttributeHeader& header,
                              std::span<const uint8_t> attribute, RecordFacts& facts) {
    std::span<const uint8_t> value;
    switch (header.type) {
        case ntfs::StandardInformationType: {
            ntfs::StandardInformation times;
            if (!ntfs::ResidentValue(attribute, value)) return false;
            if (!ntfs::Load(value, 0, times)) return true;
            facts.hasStandardTimes = true;
            facts.created = times.creationTime;
            facts.modified = times.modificationTime;
            return true;
        }
        case ntfs::FileNameType: {
            ntfs::FileNameValue fileName;
            std::span<const uint8_t> nameBytes;
            if (!ntfs::ResidentValue(attribute, value) || !ntfs::Load(value, 0, fileName) ||
                !ntfs::Slice(value, sizeof(fileName), fileName.nameLength * 2u, nameBytes))
                return false;
            if (fileName.nameSpace == ntfs::DosNamespace || fileName.nameLength == 0) return true;
            std::size_t start = namePool_.size();
            namePool_.resize(start + fileName.nameLength);
            std::memcpy(namePool_.data() + start, nameBytes.data(), nameBytes.size());
            names_.push_back({fileName.parentReference & ntfs::RecordNumberMask,
                              fileName.creationTime, fileName.modificationTime, start,
                              fileName.nameLength});
            ++facts.nameCount;
            return true;
        }
        case ntfs::DataType: {
            // Named streams change neither the size nor the kind of the file.
            if (!ntfs::IsUnnamed(header)) return true;
            if (header.nonResident == 0) {
                if (!ntfs::ResidentValue(attribute, value)) return false;
                facts.hasSize = true;
                facts.size = value.size();
                return true;
            }
            ntfs::NonResidentAttribute form;
            if (!ntfs::Load(attribute, 0, form)) return false;
            // Only the first extent of a stream carries its sizes.
            if (form.lowestVcn == 0) {
                facts.hasSize = true;
                facts.size = form.dataSize;
            }
            return true;
        }
        default:
            return true;
    }
}

void WalkPart::Parse(uint64_t number, std::span<const uint8_t> record) {
    ntfs::FileRecordHeader header;
    if (!ntfs::Load(record, 0, header) || header.signature != ntfs::FileSignature) return;
    RecordFacts facts;
    facts.number = number;
    facts.base = header.baseRecord & ntfs::RecordNumberMask;
    facts.baseSequence = static_cast<uint16_t>(header.baseRecord >> 48);
    facts.sequence = header.sequenceNumber;
    facts.flags = header.flags;
    facts.firstName = static_cast<uint32_t>(names_.size());
    // A damaged attribute ends the record; what was read before it still counts.
    ntfs::ForEachAttribute(record, [&](const ntfs::AttributeHeader& attributeHeader,
                                       std::span<const uint8_t> attribute) {
        return ParseAttribute(attributeHeader, attribute, facts);
    });
    records_.push_back(facts);
}

VolumeEntries Walk::Assemble() {
    VolumeEntries volume;
    volume.texts = std::make_unique<TextArena>();

    // Records were taken in strictly descending order; join each extension to its base.
    auto byNumber = [](const RecordFacts& facts, uint64_t number) { return facts.number > number; };
    for (uint32_t i = 0; i < records_.size(); ++i) {
        RecordFacts& extension = records_[i];
        if (extension.base == 0) continue;
        auto base = std::lower_bound(records_.begin(), records_.end(), extension.base, byNumber);
        if (base == records_.end() || base->number != extension.base || base->base != 0 ||
            (extension.baseSequence != 0 && extension.baseSequence != base->sequence))
            continue;
        extension.nextExtension = base->nextExtension;
        base->nextExtension = i;
    }

    std::size_t nameCount = 0;
    for (const RecordFacts& facts : records_) nameCount += facts.nameCount;
    volume.entries.reserve(nameCount);

    std::vector<const NameFact*> recordNames;
    for (const RecordFacts& base : records_) {
        if (base.base != 0) continue;
        bool isFolder = base.flags == ntfs::FolderRecordFlags;
        bool hasTimes = base.hasStandardTimes;
        uint64_t created = base.created, modified = base.modified;
        uint64_t size = base.hasSize ? base.size : 0;
        bool hasSize = base.hasSize;
        recordNames.clear();
        for (const RecordFacts* part = &base; part;) {
            const RecordFacts& facts = *part;
            if (!hasTimes && facts.hasStandardTimes) {
                hasTimes = true;
                created = facts.created;
                modified = facts.modified;
            }
            if (!hasSize && facts.hasSize) {
                hasSize = true;
                size = facts.size;
            }
            for (uint32_t k = 0; k < facts.nameCount; ++k) {
                const NameFact& name = names_[facts.firstName + k];
                bool seen =
                    std::any_of(recordNames.begin(), recordNames.end(), [&](const NameFact* other) {
                        return other->parent == name.parent && Name(*other) == Name(name);
                    });
                if (!seen) recordNames.push_back(&name);
            }
            part = facts.nextExtension == NoRecord ? nullptr : &records_[facts.nextExtension];
        }
        if (recordNames.empty()) continue;

        std::u16string sizeText = isFolder ? std::u16string() : SizeTextFor(size);
        for (const NameFact* name : recordNames) {
            FileEntry& entry = volume.entries.emplace_back();
            entry.RecordNumber = base.number;
            entry.ParentRecordNumber = name->parent;
            entry.IsFolder = isFolder ? 1 : 0;
            entry.Created = hasTimes ? created : name->created;
            entry.Modified = hasTimes ? modified : name->modified;
            entry.SizeKilobytes = isFolder ? 0 : KilobytesFor(size);
            entry.SetOwnTexts(*volume.texts, Name(*name), ExtensionFor(Name(*name), isFolder),
                              sizeText);
            if (isFolder) {
                volume.FolderNames[base.number] = entry.Name();
                volume.FolderParents[base.number] = name->parent;
            }
        }
    }
    return volume;
}

// The line of a volume left out: "error", and the source's reason where it gives one.
void WriteVolumeFailure(const VolumeSource& source) {
    std::string reason = source.failure ? source.failure() : std::string();
    ThePlatform().diagnostic(reason.empty() ? "error" : "error: " + reason);
}

}  // namespace

std::optional<VolumeEntries> ReadVolume(const VolumeSource& source) {
    NtfsVolumeData data;
    if (!source.volumeData || !source.volumeData(data) || data.BytesPerFileRecordSegment == 0 ||
        data.BytesPerFileRecordSegment > MaxDriverRecordSize) {
        WriteVolumeFailure(source);
        return std::nullopt;
    }
    int64_t count = data.MftValidDataLength / static_cast<int64_t>(data.BytesPerFileRecordSegment);
    if (count - 1 < static_cast<int64_t>(FirstWalkedRecord)) return Walk({}).Assemble();

    // One part for now: the whole walked range, read on this thread.
    std::vector<WalkPart> parts(1);
    WalkPart& part = parts.front();
    part.Reserve(static_cast<uint64_t>(count));
    if (!ReadRecordRange(source, data.BytesPerFileRecordSegment, FirstWalkedRecord,
                         static_cast<uint64_t>(count), true,
                         [&part](uint64_t number, std::span<const uint8_t> record) {
                             part.Parse(number, record);
                         })) {
        WriteVolumeFailure(source);
        return std::nullopt;
    }
    return Walk(std::move(parts)).Assemble();
}
