#include "index/mft_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>

#include "index/classify.h"
#include "index/derived_texts.h"
#include "index/distinct_names.h"
#include "index/fact_blocks.h"
#include "index/ntfs_layout.h"
#include "index/platform.h"
#include "index/run_slices.h"
#include "index/unit_bytes.h"

namespace {

constexpr uint64_t FirstWalkedRecord = 36;
constexpr uint32_t MaxDriverRecordSize = 1 << 20;
constexpr uint32_t NoRecord = std::numeric_limits<uint32_t>::max();

// The walk holds one of these per name and one RecordFacts per record until the entries are
// made, the peak of the build's memory, so both are kept small.
struct NameFact {
    uint64_t parent;
    uint64_t created;
    uint64_t modified;
    uint32_t nameStart;   // into the name pool of its part
    uint16_t nameLength;  // in bytes of the pool
    uint16_t part;
};

// What one record contributes. An extension record's facts belong to its base record and are
// only joined to it after the walk, because the two may come in either order.
struct RecordFacts {
    uint64_t number = 0;
    uint64_t baseReference = 0;  // 0 for a base record
    uint64_t created = 0;
    uint64_t modified = 0;
    uint64_t size = 0;
    uint32_t firstName = 0;
    uint32_t nextExtension = NoRecord;
    uint16_t nameCount = 0;
    uint16_t sequence = 0;
    bool hasFolderFlags = false;
    bool hasStandardTimes = false;
    bool hasSize = false;

    uint64_t Base() const { return baseReference & ntfs::RecordNumberMask; }
    uint16_t BaseSequence() const { return static_cast<uint16_t>(baseReference >> 48); }
};

// The facts of one part of a volume's records, a range read by itself, with a name pool of its
// own: parts share nothing while they are parsed, so each could be parsed on a core of its own.
class WalkPart {
  public:
    // Room for the part's names up front, so the pool rarely moves during a large walk, and the
    // size of its first blocks of facts; capped because the count comes from the volume.
    void Reserve(uint64_t records) {
        const auto capped = static_cast<std::size_t>(std::min<uint64_t>(records, 1 << 24));
        namePool_.reserve(capped * 16);
        records_.Expect(capped);
        names_.Expect(capped);
    }
    void SetIndex(uint16_t index) { index_ = index; }
    void Parse(uint64_t number, std::span<const uint8_t> record);

  private:
    friend class Walk;
    bool ParseAttribute(const ntfs::AttributeHeader& header, std::span<const uint8_t> attribute,
                        RecordFacts& facts);

    FactBlocks<RecordFacts> records_;  // in descending order of their numbers
    FactBlocks<NameFact> names_;
    // Names in the byte form of the table's stores, made as they are read: half the room of
    // their units for most names, and copied as they are when the entries are made.
    std::string namePool_;
    uint16_t index_ = 0;
};

// The parts of a volume joined, then made into entries. The entries' names are written into the
// volume's store as they are made; the parts' name pools go with the walk.
class Walk {
  public:
    // `parts` in descending order of their ranges.
    explicit Walk(std::vector<WalkPart> parts);
    // Makes the entries in up to `wanted` slices of the records, on threads from `budget`;
    // nothing when the names pass the store's offsets.
    std::optional<VolumeEntries> Assemble(unsigned wanted, ThreadBudget& budget);

  private:
    void JoinExtensions();
    // Appends the entries of records_[first, last) to `out`; false when the names pass the
    // store's offsets.
    bool MakeEntries(std::size_t first, std::size_t last, TableColumns& out,
                     std::vector<WalkedFolder>& folders);
    std::string_view Name(const NameFact& name) const {
        return {pools_[name.part].data() + name.nameStart, name.nameLength};
    }

    // Finds the base record of `number`, or nothing.
    RecordFacts* Base(uint64_t number);

    FactBlocks<RecordFacts> records_;
    FactBlocks<NameFact> names_;
    // Extension records joined to their base records, with their names, kept apart from the
    // blocks so that they outlive the block they were read in.
    std::vector<RecordFacts> extensions_;
    std::vector<NameFact> extensionNames_;
    std::vector<std::string> pools_;
};

Walk::Walk(std::vector<WalkPart> parts) {
    for (WalkPart& part : parts) pools_.push_back(std::move(part.namePool_));
    if (parts.empty()) return;
    records_ = std::move(parts.front().records_);
    names_ = std::move(parts.front().names_);
    // Each block of a further part is let go as soon as it is copied.
    for (std::size_t p = 1; p < parts.size(); ++p) {
        WalkPart& part = parts[p];
        const auto firstName = static_cast<uint32_t>(names_.size());
        for (std::size_t i = 0; i < part.records_.size(); ++i) {
            RecordFacts facts = part.records_[i];
            facts.firstName += firstName;
            records_.push_back(facts);
            part.records_.ReleaseBelow(i);
        }
        for (std::size_t i = 0; i < part.names_.size(); ++i) {
            names_.push_back(part.names_[i]);
            part.names_.ReleaseBelow(i);
        }
        part = WalkPart();
    }
}

RecordFacts* Walk::Base(uint64_t number) {
    // Records were taken in strictly descending order.
    std::size_t lo = 0, hi = records_.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (records_[mid].number > number)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == records_.size() || records_[lo].number != number || records_[lo].Base() != 0)
        return nullptr;
    return &records_[lo];
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
            const std::size_t start = namePool_.size();
            // At most three bytes a unit.
            if (start + 3u * fileName.nameLength > UINT32_MAX || facts.nameCount == UINT16_MAX)
                return false;
            char16_t units[UINT8_MAX];
            std::memcpy(units, nameBytes.data(), nameBytes.size());
            const std::u16string_view name(units, fileName.nameLength);
            namePool_.resize(start + UnitBytesLength(name));
            WriteUnitBytes(namePool_.data() + start, name);
            names_.push_back({fileName.parentReference & ntfs::RecordNumberMask,
                              fileName.creationTime, fileName.modificationTime,
                              static_cast<uint32_t>(start),
                              static_cast<uint16_t>(namePool_.size() - start), index_});
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
    // A base record's reference is 0 as a whole; a number of 0 with a sequence is no base.
    facts.baseReference = (header.baseRecord & ntfs::RecordNumberMask) != 0 ? header.baseRecord : 0;
    facts.sequence = header.sequenceNumber;
    facts.hasFolderFlags = header.flags == ntfs::FolderRecordFlags;
    facts.firstName = static_cast<uint32_t>(names_.size());
    // A damaged attribute ends the record; what was read before it still counts.
    ntfs::ForEachAttribute(record, [&](const ntfs::AttributeHeader& attributeHeader,
                                       std::span<const uint8_t> attribute) {
        return ParseAttribute(attributeHeader, attribute, facts);
    });
    records_.push_back(facts);
}

// Joins each extension to its base, through a copy kept apart, as the two may lie in any two
// blocks or slices.
void Walk::JoinExtensions() {
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const RecordFacts& extension = records_[i];
        if (extension.Base() == 0) continue;
        RecordFacts* base = Base(extension.Base());
        if (!base || (extension.BaseSequence() != 0 && extension.BaseSequence() != base->sequence))
            continue;
        RecordFacts joined = extension;
        joined.firstName = static_cast<uint32_t>(extensionNames_.size());
        for (uint32_t k = 0; k < extension.nameCount; ++k)
            extensionNames_.push_back(names_[extension.firstName + k]);
        joined.nextExtension = base->nextExtension;
        base->nextExtension = static_cast<uint32_t>(extensions_.size());
        extensions_.push_back(joined);
    }
}

// The entries of the base records among records_[first, last), in their order, classified by
// their extensions. The blocks of facts wholly inside the slice are freed as soon as they are
// passed.
bool Walk::MakeEntries(std::size_t first, std::size_t last, TableColumns& out,
                       std::vector<WalkedFolder>& folders) {
    EntryClassifier classifier;
    const std::size_t firstName = first < last ? records_[first].firstName : 0;
    // A name listed twice for the same parent (in the base and an extension record) is one entry.
    auto before = [this](const NameFact* a, const NameFact* b) {
        if (a->parent != b->parent) return a->parent < b->parent;
        return Name(*a) < Name(*b);
    };
    constexpr std::size_t FewNames = 16;
    std::vector<const NameFact*> recordNames;
    for (std::size_t r = first; r < last; ++r) {
        // Every record of the slice before this one is done: its facts and names are not read
        // again. Looked at once a block, as each look starts from the slice's first block.
        if ((r - first) % FactBlocks<RecordFacts>::BlockSize == 0) {
            records_.ReleaseInside(first, r);
            names_.ReleaseInside(firstName, records_[r].firstName);
        }
        const RecordFacts& base = records_[r];
        if (base.Base() != 0) continue;
        bool isFolder = base.hasFolderFlags;
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
            for (uint32_t k = 0; k < facts.nameCount; ++k)
                recordNames.push_back(part == &base ? &names_[facts.firstName + k]
                                                    : &extensionNames_[facts.firstName + k]);
            part = facts.nextExtension == NoRecord ? nullptr : &extensions_[facts.nextExtension];
        }
        if (recordNames.empty()) continue;
        if (recordNames.size() <= FewNames) {
            std::size_t kept = 0;
            for (const NameFact* name : recordNames) {
                bool seen = std::any_of(
                    recordNames.begin(), recordNames.begin() + kept, [&](const NameFact* other) {
                        return other->parent == name->parent && Name(*other) == Name(*name);
                    });
                if (!seen) recordNames[kept++] = name;
            }
            recordNames.resize(kept);
        } else {
            KeepFirstOfEach(recordNames, before);
        }

        for (const NameFact* name : recordNames) {
            FileEntry entry;
            entry.record = RecordNumber48(base.number);
            entry.parent = RecordNumber48(name->parent);
            entry.isFolder = isFolder;
            entry.Created = hasTimes ? created : name->created;
            entry.Modified = hasTimes ? modified : name->modified;
            entry.Size = isFolder ? 0 : size;
            const std::string_view text = Name(*name);
            // The extension is what follows the last dot, so only those units are needed.
            const std::size_t dot = text.rfind('.');
            const std::u16string afterDot =
                dot == std::string_view::npos ? std::u16string() : UnitsOf(text.substr(dot));
            const Classification kind = classifier.Of(ExtensionFor(afterDot, isFolder));
            entry.iconKey = kind.iconKey;
            if (isFolder)
                folders.push_back({base.number, name->parent, static_cast<uint32_t>(out.Rows())});
            if (!out.AddRowBytes(entry, text, kind.category, 0)) return false;
        }
    }
    return true;
}

std::optional<VolumeEntries> Walk::Assemble(unsigned wanted, ThreadBudget& budget) {
    VolumeEntries volume;
    JoinExtensions();

    // Slices of about equal numbers of records, one a thread, each with its own columns, joined
    // in order afterwards.
    constexpr std::size_t MinRecordsPerSlice = 64;
    const std::size_t slices = SliceCount(wanted, records_.size(), MinRecordsPerSlice);
    auto bound = [&](std::size_t k) { return records_.size() * k / slices; };
    std::vector<TableColumns> columns(slices);
    std::vector<std::vector<WalkedFolder>> folders(slices);
    std::vector<uint8_t> fits(slices, 0);
    // Each slice's rows and name bytes, counted from the facts (duplicate and DOS names aside,
    // which only make them smaller). The first slice is made with room for the whole volume and
    // the others are appended to it, so that the table's columns are never grown by doubling.
    std::vector<std::size_t> rows(slices, 0), bytes(slices, 0);
    for (std::size_t k = 0; k < slices; ++k) {
        for (std::size_t r = bound(k); r < bound(k + 1); ++r) {
            const RecordFacts& facts = records_[r];
            rows[k] += facts.nameCount;
            for (uint32_t n = 0; n < facts.nameCount; ++n)
                bytes[k] += names_[facts.firstName + n].nameLength + 1u;
        }
    }
    for (std::size_t k = 0; k < slices; ++k) {
        std::size_t reservedRows = rows[k], reservedBytes = bytes[k] + 1;
        if (k == 0) {
            for (std::size_t other = 1; other < slices; ++other) {
                reservedRows += rows[other];
                reservedBytes += bytes[other];
            }
        }
        TableColumns& slice = columns[k];
        slice.entries.reserve(reservedRows);
        slice.nameStart.reserve(reservedRows);
        slice.category.reserve(reservedRows);
        slice.folderOf.reserve(reservedRows);
        slice.names.reserve(reservedBytes);
    }
    RunSlices(budget, slices, [&](std::size_t k) {
        fits[k] = MakeEntries(bound(k), bound(k + 1), columns[k], folders[k]) ? 1 : 0;
    });
    records_ = {};
    names_ = {};
    pools_ = {};

    for (std::size_t k = 0; k < slices; ++k) {
        const auto firstRow = static_cast<uint32_t>(volume.columns.Rows());
        if (!fits[k] || !volume.columns.Append(std::move(columns[k]))) return std::nullopt;
        for (WalkedFolder folder : folders[k]) {
            folder.row += firstRow;
            volume.folders.push_back(folder);
        }
        folders[k] = {};
    }
    return volume;
}

// Reads the records of [lo, hi) into `part`; false when the source failed the volume.
bool ReadPart(const VolumeSource& source, uint32_t recordSize, uint64_t lo, uint64_t hi,
              bool lowest, WalkPart& part) {
    return ReadRecordRange(
        source, recordSize, lo, hi, lowest,
        [&part](uint64_t number, std::span<const uint8_t> record) { part.Parse(number, record); });
}

// The line of a volume left out: "error", and the source's reason where it gives one.
void WriteVolumeFailure(const VolumeSource& source) {
    std::string reason = source.failure ? source.failure() : std::string();
    ThePlatform().diagnostic(reason.empty() ? "error" : "error: " + reason);
}

}  // namespace

std::optional<VolumeEntries> ReadVolume(const VolumeSource& source, unsigned parts,
                                        const VolumeReopener& reopen, ThreadBudget& budget) {
    NtfsVolumeData data;
    if (!source.volumeData || !source.volumeData(data) || data.BytesPerFileRecordSegment == 0 ||
        data.BytesPerFileRecordSegment > MaxDriverRecordSize) {
        WriteVolumeFailure(source);
        return std::nullopt;
    }
    int64_t count = data.MftValidDataLength / static_cast<int64_t>(data.BytesPerFileRecordSegment);
    if (count - 1 < static_cast<int64_t>(FirstWalkedRecord)) return Walk({}).Assemble(1, budget);
    const uint64_t end = static_cast<uint64_t>(count);
    const uint64_t walked = end - FirstWalkedRecord;

    // Each further part reads through a source of its own, as a source is not shared between
    // threads; the parts that get none take turns with part 0 at the first source.
    constexpr uint64_t MinRecordsPerPart = 64;
    parts = SliceCount(parts, walked, MinRecordsPerPart);
    std::vector<std::optional<VolumeSource>> more(parts);
    for (unsigned p = 1; p < parts && reopen; ++p) more[p] = reopen();
    std::mutex firstSource;

    // Part 0 holds the highest numbers, so the parts joined are in reading order.
    std::vector<WalkPart> walkParts(parts);
    auto bound = [&](unsigned p) { return end - walked * p / parts; };
    std::vector<uint8_t> whole(parts, 0);
    for (unsigned p = 0; p < parts; ++p) {
        walkParts[p].SetIndex(static_cast<uint16_t>(p));
        walkParts[p].Reserve(bound(p) - bound(p + 1));
    }
    RunSlices(budget, parts, [&](std::size_t slice) {
        const auto p = static_cast<unsigned>(slice);
        std::unique_lock<std::mutex> turn(firstSource, std::defer_lock);
        if (!more[p]) turn.lock();
        whole[p] = ReadPart(more[p] ? *more[p] : source, data.BytesPerFileRecordSegment,
                            bound(p + 1), bound(p), p + 1 == parts, walkParts[p]);
    });
    // A part that failed fails the volume, with the reason of the first such part from the top.
    for (unsigned p = 0; p < parts; ++p) {
        if (whole[p]) continue;
        WriteVolumeFailure(more[p] ? *more[p] : source);
        return std::nullopt;
    }
    std::optional<VolumeEntries> volume = Walk(std::move(walkParts)).Assemble(parts, budget);
    if (!volume) ThePlatform().diagnostic("error: the volume's names pass 4 GiB");
    return volume;
}

std::optional<VolumeEntries> ReadVolume(const VolumeSource& source, unsigned parts,
                                        const VolumeReopener& reopen) {
    ThreadBudget budget(parts);
    return ReadVolume(source, parts, reopen, budget);
}
