#include "index/raw_volume.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "index/ntfs_layout.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

// Raw volume handles on Windows only accept reads whose offset and length are multiples of the
// sector size; 4096 covers every sector size NTFS allows.
constexpr uint64_t ReadAlignment = 4096;
constexpr uint64_t ChunkBytes = uint64_t{1} << 20;
constexpr uint64_t MaxClusterNumber = uint64_t{1} << 62;
constexpr uint64_t MaxAttributeListBytes = uint64_t{16} << 20;
constexpr uint32_t MinRecordSize = 512;
constexpr uint32_t MaxRawRecordSize = 65536;
constexpr uint64_t MaxClusterSize = uint64_t{2} << 20;
constexpr uint64_t NoChunk = UINT64_MAX;
constexpr uint16_t RecordInUseFlag = 0x0001;

// Bytes at an address aligned to ReadAlignment: a volume handle may read only into memory aligned
// to its sector size. Growing keeps nothing; every use fills the bytes it asks for.
class AlignedBytes {
  public:
    void resize(std::size_t size) {
        if (size > capacity_) {
            bytes_.reset(
                static_cast<uint8_t*>(::operator new[](size, std::align_val_t{ReadAlignment})));
            capacity_ = size;
        }
        size_ = size;
    }
    uint8_t* data() { return bytes_.get(); }
    std::size_t size() const { return size_; }
    std::span<uint8_t> span() { return {bytes_.get(), size_}; }

  private:
    struct Release {
        void operator()(uint8_t* bytes) const {
            ::operator delete[](bytes, std::align_val_t{ReadAlignment});
        }
    };
    std::unique_ptr<uint8_t[], Release> bytes_;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
};

// Per record of a loaded chunk: whether its bytes could be read and, once it is first asked for,
// whether it is a sound record. The fix-up is undone in place, so it is checked only once.
enum class RecordState : uint8_t { Unreadable, Unchecked, Sound, Damaged };

// A stretch of ChunkBytes of the $MFT as read, and the scratch its unaligned reads go through.
struct Chunk {
    uint64_t index = NoChunk;
    AlignedBytes bytes;
    AlignedBytes scratch;
    std::vector<RecordState> states;
};

// Where the lookups find the chunk holding a record.
class ChunkSupply {
  public:
    virtual Chunk& Holding(uint64_t index) = 0;

  protected:
    ~ChunkSupply() = default;
};

bool IsPowerOfTwo(uint64_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

struct Geometry {
    uint64_t sectorSize = 0;
    // The device's bytes: the volume's sectors and the backup boot sector after them.
    uint64_t deviceBytes = 0;
    uint64_t clusterSize = 0;
    uint32_t recordSize = 0;
    uint64_t clusterCount = 0;
    uint64_t mftLcn = 0;
};

// Why the sector is no NTFS boot sector the reader can use; nullptr when it is one.
const char* ParseBootSector(std::span<const uint8_t> sector, Geometry& geometry) {
    constexpr const char* NotNtfs = "no NTFS boot sector";
    constexpr const char* OutOfRange = "the boot sector's sizes are out of range";
    ntfs::BootSector boot;
    if (!ntfs::Load(sector, 0, boot)) return NotNtfs;
    if (std::memcmp(boot.oemId, "NTFS    ", 8) != 0) return NotNtfs;
    if (ntfs::LoadOr0<uint16_t>(sector, ntfs::BootSignatureOffset) != 0xAA55) return NotNtfs;
    if (!IsPowerOfTwo(boot.bytesPerSector) || boot.bytesPerSector < 256 ||
        boot.bytesPerSector > 4096)
        return OutOfRange;
    // Values above 0x80 encode clusters of 2^(256 - value) sectors, for clusters above 64 KiB.
    uint64_t sectorsPerCluster = boot.sectorsPerCluster <= 0x80
                                     ? boot.sectorsPerCluster
                                     : uint64_t{1} << std::min(256 - boot.sectorsPerCluster, 32);
    if (!IsPowerOfTwo(sectorsPerCluster)) return OutOfRange;
    geometry.clusterSize = sectorsPerCluster * boot.bytesPerSector;
    if (geometry.clusterSize > MaxClusterSize) return OutOfRange;
    // A negative count means the record is 2^-count bytes, smaller than a cluster.
    uint64_t recordSize;
    if (boot.clustersPerMftRecord > 0)
        recordSize = uint64_t(boot.clustersPerMftRecord) * geometry.clusterSize;
    else if (boot.clustersPerMftRecord < 0 && boot.clustersPerMftRecord >= -31)
        recordSize = uint64_t{1} << -boot.clustersPerMftRecord;
    else
        return OutOfRange;
    if (!IsPowerOfTwo(recordSize) || recordSize < MinRecordSize || recordSize > MaxRawRecordSize)
        return OutOfRange;
    geometry.recordSize = static_cast<uint32_t>(recordSize);
    if (boot.totalSectors == 0 || boot.totalSectors > UINT64_MAX / boot.bytesPerSector)
        return OutOfRange;
    uint64_t volumeBytes = boot.totalSectors * boot.bytesPerSector;
    geometry.sectorSize = boot.bytesPerSector;
    geometry.deviceBytes = volumeBytes > UINT64_MAX - boot.bytesPerSector
                               ? UINT64_MAX
                               : volumeBytes + boot.bytesPerSector;
    geometry.clusterCount = volumeBytes / geometry.clusterSize + 1;
    if (geometry.clusterCount > MaxClusterNumber) return OutOfRange;
    if (boot.mftLcn >= geometry.clusterCount) return OutOfRange;
    geometry.mftLcn = boot.mftLcn;
    return nullptr;
}

// A boot sector may claim more sectors than the device holds; the volume is then what can be read,
// found by halving between the boot sector and the last sector claimed, so that the $MFT and its
// bitmap are bounded by the device and not by the claim. Its last sector is read, not the backup
// boot sector after it, which a volume handle may refuse. False when the $MFT starts beyond the
// device's end.
bool FitToDevice(const ReadAt& read, AlignedBytes& block, Geometry& geometry) {
    const uint64_t claimed = (geometry.deviceBytes - geometry.sectorSize) / geometry.sectorSize;
    // The aligned block that holds a sector, as far as the claimed device goes: every read of a
    // volume handle is aligned.
    auto blockEnd = [&](uint64_t index) {
        const uint64_t start = index * geometry.sectorSize & ~(ReadAlignment - 1);
        return std::min(start + ReadAlignment, geometry.deviceBytes);
    };
    auto readable = [&](uint64_t index) {
        const uint64_t start = index * geometry.sectorSize & ~(ReadAlignment - 1);
        block.resize(blockEnd(index) - start);
        return read(start, block.span());
    };
    if (readable(claimed - 1)) return true;
    uint64_t lo = 0, hi = claimed - 1;  // lo can be read (the boot sector), hi cannot
    while (hi - lo > 1) {
        const uint64_t mid = lo + (hi - lo) / 2;
        (readable(mid) ? lo : hi) = mid;
    }
    const uint64_t bytes = blockEnd(lo);
    geometry.deviceBytes = bytes;
    geometry.clusterCount =
        std::min(geometry.clusterCount, (bytes + geometry.clusterSize - 1) / geometry.clusterSize);
    return geometry.mftLcn < geometry.clusterCount;
}

// Little-endian integer of `width` bytes; signed ones are sign-extended from their top byte.
uint64_t LoadVariable(const uint8_t* bytes, unsigned width, bool isSigned) {
    uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i) value |= uint64_t(bytes[i]) << (8 * i);
    if (isSigned && width > 0 && width < 8 && (bytes[width - 1] & 0x80))
        value |= ~uint64_t{0} << (8 * width);
    return value;
}

uint64_t RunsEnd(const std::vector<DataRun>& runs) {
    return runs.empty() ? 0 : runs.back().vcn + runs.back().length;
}

// The run holding `vcn`, or nullptr when the runs do not reach it.
const DataRun* FindRun(const std::vector<DataRun>& runs, uint64_t vcn) {
    auto after = std::upper_bound(runs.begin(), runs.end(), vcn,
                                  [](uint64_t v, const DataRun& run) { return v < run.vcn; });
    if (after == runs.begin()) return nullptr;
    const DataRun& run = *(after - 1);
    return vcn - run.vcn < run.length ? &run : nullptr;
}

// A record read at a number other than its own (the $MFT's runs map two stretches onto the same
// clusters) is a copy, and would list its files twice. Headers laid out before the record number
// was stored (update-sequence array below 0x30) cannot tell.
bool HoldsItsOwnNumber(std::span<const uint8_t> record, uint64_t number) {
    ntfs::FileRecordHeader header;
    if (!ntfs::Load(record, 0, header)) return false;
    return header.updateSequenceOffset < sizeof(header) ||
           header.recordNumber == static_cast<uint32_t>(number);
}

struct DataExtent {
    uint64_t lowestVcn;
    uint64_t highestVcn;
    std::vector<DataRun> runs;
};

// A non-resident attribute's extent that starts at `lowestVcn`; its runs must cover exactly
// the VCNs the attribute claims.
bool DecodeExtent(std::span<const uint8_t> attribute, uint64_t lowestVcn, DataExtent& extent,
                  ntfs::NonResidentAttribute* firstForm) {
    ntfs::NonResidentAttribute form;
    std::span<const uint8_t> pairs;
    if (!ntfs::NonResidentForm(attribute, form, pairs) || form.lowestVcn != lowestVcn) return false;
    extent.lowestVcn = form.lowestVcn;
    extent.highestVcn = form.highestVcn;
    if (firstForm) *firstForm = form;
    return DecodeDataRuns(pairs, form.lowestVcn, extent.runs) &&
           RunsEnd(extent.runs) == extent.highestVcn + 1 &&
           (extent.runs.empty() || extent.runs.front().vcn == lowestVcn);
}

// The unnamed, non-resident extent of type `type` in an $MFT record that starts at `lowestVcn`.
bool FindExtent(std::span<const uint8_t> record, uint32_t type, uint64_t lowestVcn,
                DataExtent& extent, ntfs::NonResidentAttribute* firstForm) {
    bool found = false, decoded = false;
    ntfs::ForEachAttribute(
        record, [&](const ntfs::AttributeHeader& header, std::span<const uint8_t> attribute) {
            ntfs::NonResidentAttribute form;
            std::span<const uint8_t> pairs;
            if (header.type != type || !ntfs::IsUnnamed(header) ||
                !ntfs::NonResidentForm(attribute, form, pairs) || form.lowestVcn != lowestVcn)
                return true;
            found = true;
            decoded = DecodeExtent(attribute, lowestVcn, extent, firstForm);
            return false;
        });
    return found && decoded;
}

class RawVolume {
  public:
    RawVolume(ReadAt read, const Geometry& geometry) : read_(std::move(read)), geo_(geometry) {}

    // False when nothing sound remains to be read; Refusal() then says why.
    bool Open();
    const std::string& Refusal() const { return refusal_; }
    NtfsVolumeData VolumeData() const {
        return {geo_.recordSize, static_cast<int64_t>(validLength_)};
    }
    bool RecordAtOrBelow(uint64_t n, uint64_t& number, std::span<uint8_t> record);
    bool ReadRange(uint64_t lo, uint64_t hi, bool takeAnswerBelowLo, const RecordVisitor& visit);
    // Reads the chunk in as few large reads as the runs allow.
    void LoadChunk(uint64_t index, Chunk& chunk) const;

  private:
    class LoadOnDemand;
    class ReadAhead;

    bool ReadVolumeBytes(uint64_t offset, std::span<uint8_t> out, AlignedBytes& scratch) const;
    bool ReadVolumeBytes(uint64_t offset, std::span<uint8_t> out) {
        return ReadVolumeBytes(offset, out, scratch_);
    }
    bool ReadStream(const std::vector<DataRun>& runs, uint64_t offset, std::span<uint8_t> out);
    bool ReadMftRecord(uint64_t number, std::vector<uint8_t>& record);
    bool CheckRuns(const std::vector<DataRun>& runs) const;
    uint64_t HeldClusters(const std::vector<DataRun>& runs) const;
    bool ChainExtents(uint32_t type, const std::vector<std::pair<uint64_t, uint64_t>>& extents,
                      std::vector<DataRun>& runs);
    bool ReadNonResidentValue(std::span<const uint8_t> attribute, uint64_t limit,
                              std::vector<uint8_t>& value);
    bool LoadBitmap(std::span<const uint8_t> record0,
                    std::vector<std::pair<uint64_t, uint64_t>> extents);
    bool HighestInUseAtOrBelow(uint64_t n, uint64_t& found) const;
    uint64_t RecordsPerChunk() const { return ChunkBytes / geo_.recordSize; }
    RecordState Check(Chunk& chunk, uint64_t number) const;
    bool HeaderSaysInUse(ChunkSupply& chunks, uint64_t number, bool& damaged) const;
    bool Lend(uint64_t n, uint64_t& number, std::span<const uint8_t>& record,
              ChunkSupply& chunks) const;

    bool Refuse(const char* why) {
        refusal_ = why;
        return false;
    }

    ReadAt read_;
    Geometry geo_;
    std::string refusal_;
    std::vector<DataRun> mftRuns_;
    uint64_t validLength_ = 0;
    uint64_t recordCount_ = 0;
    // Without a readable bitmap every record is a candidate and its own header decides.
    bool haveBitmap_ = false;
    std::vector<uint64_t> inUse_;
    AlignedBytes scratch_;
    Chunk chunk_;
    // What is handed out where no record is in use.
    std::vector<uint8_t> zeros_;
};

class RawVolume::LoadOnDemand final : public ChunkSupply {
  public:
    LoadOnDemand(const RawVolume& volume, Chunk& chunk) : volume_(volume), chunk_(chunk) {}
    Chunk& Holding(uint64_t index) override {
        if (chunk_.index != index) volume_.LoadChunk(index, chunk_);
        return chunk_;
    }

  private:
    const RawVolume& volume_;
    Chunk& chunk_;
};

// While the walk is handed the records of one chunk, reads the chunk below it on a thread of its
// own: the walk goes down, so that is the one it asks for next. The volume is never read by two
// threads at once: a chunk that was not read ahead is read only once the read ahead is done.
class RawVolume::ReadAhead final : public ChunkSupply {
  public:
    // Nothing is read ahead below chunk `lowest`.
    ReadAhead(const RawVolume& volume, uint64_t lowest) : volume_(volume), lowest_(lowest) {
        try {
            helper_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            // Without a thread every chunk is read when it is asked for.
        }
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;
    ~ReadAhead() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (helper_.joinable()) helper_.join();
    }

    Chunk& Holding(uint64_t index) override {
        if (current_->index == index) return *current_;
        WaitForAhead();
        if (ahead_->index == index)
            std::swap(current_, ahead_);
        else
            volume_.LoadChunk(index, *current_);
        if (helper_.joinable() && index > lowest_ && ahead_->index != index - 1) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                wanted_ = index - 1;
            }
            wake_.notify_all();
        }
        return *current_;
    }

  private:
    void WaitForAhead() {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return wanted_ == NoChunk; });
    }
    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stop_ || wanted_ != NoChunk; });
            if (stop_) return;
            const uint64_t index = wanted_;
            lock.unlock();
            try {
                volume_.LoadChunk(index, *ahead_);
            } catch (const std::bad_alloc&) {
                // Left unread; the walk reads it itself when it gets there.
            }
            lock.lock();
            wanted_ = NoChunk;
            done_.notify_all();
        }
    }

    const RawVolume& volume_;
    const uint64_t lowest_;
    Chunk chunks_[2];
    Chunk* current_ = &chunks_[0];
    Chunk* ahead_ = &chunks_[1];
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    uint64_t wanted_ = NoChunk;  // the chunk being read ahead
    bool stop_ = false;
    std::thread helper_;
};

bool RawVolume::ReadVolumeBytes(uint64_t offset, std::span<uint8_t> out,
                                AlignedBytes& scratch) const {
    if (out.empty()) return true;
    if (offset > UINT64_MAX - out.size() - ReadAlignment) return false;
    uint64_t start = offset & ~(ReadAlignment - 1);
    uint64_t end = (offset + out.size() + ReadAlignment - 1) & ~(ReadAlignment - 1);
    // A volume of small clusters may end inside a 4 KiB block; its last bytes are read up to the
    // sector that holds them.
    if (end > geo_.deviceBytes)
        end = (offset + out.size() + geo_.sectorSize - 1) & ~(geo_.sectorSize - 1);
    if (start == offset && end == offset + out.size() &&
        reinterpret_cast<uintptr_t>(out.data()) % ReadAlignment == 0)
        return read_(offset, out);
    scratch.resize(end - start);
    if (!read_(start, scratch.span())) return false;
    std::memcpy(out.data(), scratch.data() + (offset - start), out.size());
    return true;
}

bool RawVolume::ReadStream(const std::vector<DataRun>& runs, uint64_t offset,
                           std::span<uint8_t> out) {
    while (!out.empty()) {
        const DataRun* run = FindRun(runs, offset / geo_.clusterSize);
        if (!run) return false;
        uint64_t runStart = run->vcn * geo_.clusterSize;
        uint64_t within = offset - runStart;
        uint64_t piece = std::min<uint64_t>(out.size(), run->length * geo_.clusterSize - within);
        if (run->lcn == DataRun::Sparse) {
            std::memset(out.data(), 0, piece);
        } else if (!ReadVolumeBytes(uint64_t(run->lcn) * geo_.clusterSize + within,
                                    out.first(piece))) {
            return false;
        }
        offset += piece;
        out = out.subspan(piece);
    }
    return true;
}

bool RawVolume::CheckRuns(const std::vector<DataRun>& runs) const {
    for (const DataRun& run : runs)
        if (run.lcn != DataRun::Sparse && uint64_t(run.lcn) + run.length > geo_.clusterCount)
            return false;
    return RunsEnd(runs) <= MaxClusterNumber / geo_.clusterSize;
}

// Appends the runs of the extents beyond the first (`extents`: lowest VCN, record number, in VCN
// order) of the unnamed attribute of `type`, each read through the $MFT runs known so far. No
// stream of the volume is longer than the volume, so extents past its clusters are left unread;
// and a record that holds several extents in a row is read once.
bool RawVolume::ChainExtents(uint32_t type,
                             const std::vector<std::pair<uint64_t, uint64_t>>& extents,
                             std::vector<DataRun>& runs) {
    std::vector<uint8_t> extension;
    uint64_t loaded = UINT64_MAX;
    for (const auto& [lowestVcn, segment] : extents) {
        if (lowestVcn == 0) continue;
        if (RunsEnd(runs) >= geo_.clusterCount) return true;
        if (lowestVcn != RunsEnd(runs)) return false;
        if (segment != loaded && !ReadMftRecord(segment, extension)) return false;
        loaded = segment;
        DataExtent more;
        if (!FindExtent(extension, type, lowestVcn, more, nullptr) || !CheckRuns(more.runs))
            return false;
        runs.insert(runs.end(), more.runs.begin(), more.runs.end());
    }
    return true;
}

// A sparse stretch holds no records, so neither does one at the end; overlapping runs or a long
// sparse stretch cannot make the stream longer than the volume's clusters.
uint64_t RawVolume::HeldClusters(const std::vector<DataRun>& runs) const {
    auto stored = std::find_if(runs.rbegin(), runs.rend(),
                               [](const DataRun& run) { return run.lcn != DataRun::Sparse; });
    if (stored == runs.rend()) return 0;
    return std::min(stored->vcn + stored->length, geo_.clusterCount);
}

bool RawVolume::ReadMftRecord(uint64_t number, std::vector<uint8_t>& record) {
    record.assign(geo_.recordSize, 0);
    if (number > UINT64_MAX / geo_.recordSize) return false;
    if (!ReadStream(mftRuns_, number * geo_.recordSize, record)) return false;
    return ntfs::LoadOr0<uint32_t>(record, 0) == ntfs::FileSignature && ApplyFixup(record);
}

bool RawVolume::ReadNonResidentValue(std::span<const uint8_t> attribute, uint64_t limit,
                                     std::vector<uint8_t>& value) {
    ntfs::NonResidentAttribute form;
    std::span<const uint8_t> pairs;
    std::vector<DataRun> runs;
    if (!ntfs::NonResidentForm(attribute, form, pairs) || form.lowestVcn != 0 ||
        !DecodeDataRuns(pairs, 0, runs) || !CheckRuns(runs))
        return false;
    uint64_t wanted = std::min({form.dataSize, limit, HeldClusters(runs) * geo_.clusterSize});
    uint64_t stored = std::min(wanted, form.initializedSize);
    value.assign(wanted, 0);
    return ReadStream(runs, 0, std::span<uint8_t>(value).first(stored));
}

// The unnamed $BITMAP of the $MFT, from record 0 or the records its attribute list names
// (`extents`: lowest VCN, record number). A grown $MFT splits a non-resident bitmap into extents
// just as it splits its data, so they are chained in VCN order the same way.
bool RawVolume::LoadBitmap(std::span<const uint8_t> record0,
                           std::vector<std::pair<uint64_t, uint64_t>> extents) {
    std::vector<uint8_t> first;
    auto takeFirst = [&first](std::span<const uint8_t> record) {
        ntfs::ForEachAttribute(
            record, [&](const ntfs::AttributeHeader& header, std::span<const uint8_t> attribute) {
                ntfs::NonResidentAttribute form;
                std::span<const uint8_t> pairs;
                if (header.type != ntfs::BitmapType || !ntfs::IsUnnamed(header)) return true;
                if (header.nonResident != 0 &&
                    (!ntfs::NonResidentForm(attribute, form, pairs) || form.lowestVcn != 0))
                    return true;
                first.assign(attribute.begin(), attribute.end());
                return false;
            });
    };
    takeFirst(record0);
    std::sort(extents.begin(), extents.end());
    std::vector<uint8_t> extension;
    if (first.empty()) {
        if (extents.empty() || extents.front().first != 0) return false;
        if (!ReadMftRecord(extents.front().second, extension)) return false;
        takeFirst(extension);
        if (first.empty()) return false;
    }

    uint64_t bytesNeeded = (recordCount_ + 7) / 8;
    std::vector<uint8_t> bytes;
    std::span<const uint8_t> value;
    if (ntfs::ResidentValue(first, value)) {
        bytes.assign(value.begin(), value.begin() + std::min<uint64_t>(value.size(), bytesNeeded));
    } else {
        DataExtent head;
        ntfs::NonResidentAttribute form;
        if (!DecodeExtent(first, 0, head, &form) || !CheckRuns(head.runs)) return false;
        std::vector<DataRun> runs = std::move(head.runs);
        if (!ChainExtents(ntfs::BitmapType, extents, runs)) return false;
        uint64_t wanted = std::min(form.dataSize, bytesNeeded);
        uint64_t stored = std::min(wanted, form.initializedSize);
        bytes.assign(wanted, 0);
        if (!ReadStream(runs, 0, std::span<uint8_t>(bytes).first(stored))) return false;
    }
    inUse_.assign((bytes.size() + 7) / 8, 0);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        inUse_[i / 8] |= uint64_t(bytes[i]) << (8 * (i % 8));
    return true;
}

bool RawVolume::HighestInUseAtOrBelow(uint64_t n, uint64_t& found) const {
    if (recordCount_ == 0 || inUse_.empty()) return false;
    n = std::min(n, recordCount_ - 1);
    uint64_t word = n / 64;
    if (word >= inUse_.size()) {
        word = inUse_.size() - 1;
        n = word * 64 + 63;
    }
    uint64_t bits = inUse_[word];
    unsigned keep = unsigned(n % 64) + 1;
    if (keep < 64) bits &= (uint64_t{1} << keep) - 1;
    for (;;) {
        if (bits != 0) {
            found = word * 64 + 63 - std::countl_zero(bits);
            return true;
        }
        if (word == 0) return false;
        bits = inUse_[--word];
    }
}

// A read that fails is retried record by record, so one unreadable sector refuses only the
// records it lies in.
void RawVolume::LoadChunk(uint64_t index, Chunk& chunk) const {
    uint64_t first = index * RecordsPerChunk();
    uint64_t count = std::min(RecordsPerChunk(), recordCount_ - first);
    // Every byte is either read or belongs to a record marked unreadable, so no zeroing.
    chunk.index = NoChunk;
    chunk.bytes.resize(count * geo_.recordSize);
    chunk.states.assign(count, RecordState::Unchecked);
    uint64_t base = first * geo_.recordSize;
    uint64_t offset = 0;
    while (offset < chunk.bytes.size()) {
        const DataRun* run = FindRun(mftRuns_, (base + offset) / geo_.clusterSize);
        uint64_t pieceEnd;
        bool readable = false;
        if (!run) {
            pieceEnd = chunk.bytes.size();
        } else {
            uint64_t runEnd = (run->vcn + run->length) * geo_.clusterSize - base;
            pieceEnd = std::min<uint64_t>(chunk.bytes.size(), runEnd);
            std::span<uint8_t> piece(chunk.bytes.data() + offset, pieceEnd - offset);
            uint64_t volumeOffset = uint64_t(run->lcn) * geo_.clusterSize +
                                    (base + offset - run->vcn * geo_.clusterSize);
            readable =
                run->lcn != DataRun::Sparse && ReadVolumeBytes(volumeOffset, piece, chunk.scratch);
            if (!readable && run->lcn != DataRun::Sparse) {
                for (uint64_t at = offset; at < pieceEnd;) {
                    uint64_t recordEnd = (at / geo_.recordSize + 1) * geo_.recordSize;
                    uint64_t end = std::min(recordEnd, pieceEnd);
                    std::span<uint8_t> part(chunk.bytes.data() + at, end - at);
                    if (!ReadVolumeBytes(volumeOffset + (at - offset), part, chunk.scratch))
                        chunk.states[at / geo_.recordSize] = RecordState::Unreadable;
                    at = end;
                }
                readable = true;
            }
        }
        if (!readable)
            for (uint64_t r = offset / geo_.recordSize; r * geo_.recordSize < pieceEnd; ++r)
                chunk.states[r] = RecordState::Unreadable;
        offset = pieceEnd;
    }
    chunk.index = index;
}

// Undoes the fix-up of a record in its chunk the first time it is asked for.
RecordState RawVolume::Check(Chunk& chunk, uint64_t number) const {
    uint64_t index = number % RecordsPerChunk();
    RecordState& state = chunk.states[index];
    if (state == RecordState::Unchecked) {
        std::span<uint8_t> record(chunk.bytes.data() + index * geo_.recordSize, geo_.recordSize);
        state = ntfs::LoadOr0<uint32_t>(record, 0) == ntfs::FileSignature && ApplyFixup(record) &&
                        HoldsItsOwnNumber(record, number)
                    ? RecordState::Sound
                    : RecordState::Damaged;
    }
    return state;
}

// Without the bitmap: a record that never held a file (no signature) or is marked free in its
// header is passed over; one that looks like a file record but is damaged is answered as
// damaged, as the bitmap would have had it.
bool RawVolume::HeaderSaysInUse(ChunkSupply& chunks, uint64_t number, bool& damaged) const {
    Chunk& chunk = chunks.Holding(number / RecordsPerChunk());
    std::span<const uint8_t> record(
        chunk.bytes.data() + (number % RecordsPerChunk()) * geo_.recordSize, geo_.recordSize);
    RecordState state = Check(chunk, number);
    ntfs::FileRecordHeader header;
    if (state == RecordState::Sound) {
        damaged = false;
        return ntfs::Load(record, 0, header) && (header.flags & RecordInUseFlag) != 0;
    }
    // Fix-up is undone only once a record is found sound, so a damaged one keeps its signature.
    damaged =
        state == RecordState::Damaged && ntfs::LoadOr0<uint32_t>(record, 0) == ntfs::FileSignature;
    return damaged;
}

// The in-use record with the highest number at or below n, lent where it lies in its chunk until
// `chunks` is next asked for another chunk; empty when no record is in use.
bool RawVolume::Lend(uint64_t n, uint64_t& number, std::span<const uint8_t>& record,
                     ChunkSupply& chunks) const {
    uint64_t found;
    bool damaged = false;
    record = {};
    if (haveBitmap_) {
        if (!HighestInUseAtOrBelow(n, found)) found = UINT64_MAX;
    } else {
        found = UINT64_MAX;
        for (uint64_t r = std::min(n, recordCount_ - 1); recordCount_ > 0; --r) {
            if (HeaderSaysInUse(chunks, r, damaged)) {
                found = r;
                break;
            }
            if (r == 0) break;
        }
    }
    if (found == UINT64_MAX) {
        number = 0;
        return true;
    }
    number = found;
    if (damaged) return false;
    Chunk& chunk = chunks.Holding(found / RecordsPerChunk());
    if (Check(chunk, found) != RecordState::Sound) return false;
    record = {chunk.bytes.data() + (found % RecordsPerChunk()) * geo_.recordSize, geo_.recordSize};
    return true;
}

bool RawVolume::RecordAtOrBelow(uint64_t n, uint64_t& number, std::span<uint8_t> record) {
    LoadOnDemand chunks(*this, chunk_);
    std::span<const uint8_t> lent;
    bool delivered = Lend(n, number, lent, chunks);
    if (delivered && lent.size() == record.size()) {
        std::memcpy(record.data(), lent.data(), lent.size());
        return true;
    }
    std::fill(record.begin(), record.end(), 0);
    return delivered && lent.empty();
}

bool RawVolume::ReadRange(uint64_t lo, uint64_t hi, bool takeAnswerBelowLo,
                          const RecordVisitor& visit) {
    if (hi <= lo) return true;
    Chunk chunk;
    LoadOnDemand onDemand(*this, chunk);
    std::optional<ReadAhead> readAhead;
    const uint64_t lowest = lo / RecordsPerChunk();
    if (std::min(hi - 1, recordCount_) / RecordsPerChunk() > lowest)
        readAhead.emplace(*this, lowest);
    ChunkSupply& chunks = readAhead ? static_cast<ChunkSupply&>(*readAhead) : onDemand;
    for (uint64_t n = hi - 1;;) {
        uint64_t number = n;
        std::span<const uint8_t> lent;
        const bool delivered = Lend(n, number, lent, chunks);
        if (delivered && (number >= lo || takeAnswerBelowLo))
            visit(number, lent.empty() ? std::span<const uint8_t>(zeros_) : lent);
        if (number < lo + 1) return true;
        n = number - 1;
    }
}

bool RawVolume::Open() {
    std::vector<uint8_t> record(geo_.recordSize);
    if (!ReadVolumeBytes(geo_.mftLcn * geo_.clusterSize, record))
        return Refuse("record 0 of the $MFT cannot be read");
    if (ntfs::LoadOr0<uint32_t>(record, 0) != ntfs::FileSignature || !ApplyFixup(record))
        return Refuse("record 0 of the $MFT is damaged");

    DataExtent first;
    ntfs::NonResidentAttribute mftData;
    if (!FindExtent(record, ntfs::DataType, 0, first, &mftData) || first.runs.empty())
        return Refuse("the $MFT's runs are damaged");
    mftRuns_ = std::move(first.runs);
    if (!CheckRuns(mftRuns_)) return Refuse("the $MFT's runs leave the volume");

    constexpr const char* DamagedList = "the $MFT's attribute list is damaged";
    std::vector<uint8_t> attributeList;
    std::vector<std::pair<uint64_t, uint64_t>> bitmapExtents;  // lowest VCN, record number
    bool listNonResident = false;
    ntfs::ForEachAttribute(
        record, [&](const ntfs::AttributeHeader& header, std::span<const uint8_t> attribute) {
            if (header.type == ntfs::AttributeListType && attributeList.empty()) {
                attributeList.assign(attribute.begin(), attribute.end());
                listNonResident = header.nonResident != 0;
            }
            return true;
        });

    // A fragmented $MFT keeps the runs beyond its first extent in extension records named by
    // its attribute list; each is read through the runs known so far, in VCN order.
    if (!attributeList.empty()) {
        std::vector<uint8_t> list;
        std::span<const uint8_t> value;
        if (listNonResident) {
            if (!ReadNonResidentValue(attributeList, MaxAttributeListBytes, list))
                return Refuse(DamagedList);
        } else if (ntfs::ResidentValue(attributeList, value)) {
            list.assign(value.begin(), value.end());
        } else {
            return Refuse(DamagedList);
        }
        std::vector<std::pair<uint64_t, uint64_t>> extents;  // lowest VCN, record number
        for (std::size_t at = 0;;) {
            ntfs::AttributeListEntry entry;
            if (!ntfs::Load<ntfs::AttributeListEntry>(list, at, entry)) break;
            if (entry.length < sizeof(entry) || entry.length > list.size() - at) break;
            uint64_t segment = entry.segmentReference & ntfs::RecordNumberMask;
            if (entry.nameLength == 0 && segment != 0) {
                if (entry.type == ntfs::DataType && entry.lowestVcn > 0)
                    extents.emplace_back(entry.lowestVcn, segment);
                if (entry.type == ntfs::BitmapType)
                    bitmapExtents.emplace_back(entry.lowestVcn, segment);
            }
            at += entry.length;
        }
        std::sort(extents.begin(), extents.end());
        if (!ChainExtents(ntfs::DataType, extents, mftRuns_))
            return Refuse("an extent of the $MFT's runs is missing or damaged");
    }

    // Runs cut at the volume's end cannot hold all that a larger claim says; the rest is not
    // there to check.
    uint64_t allocated = RunsEnd(mftRuns_) * geo_.clusterSize;
    if (mftData.initializedSize > mftData.dataSize ||
        (mftData.dataSize > allocated && RunsEnd(mftRuns_) < geo_.clusterCount))
        return Refuse("the $MFT's sizes contradict its runs");
    // The sizes are the record's claim; what the $MFT holds ends with its last stored cluster,
    // and it cannot be longer than the volume that holds it. Bounding the records here bounds
    // the bitmap, the walk and every sizing the walk does from the valid length.
    validLength_ = std::min(mftData.initializedSize, HeldClusters(mftRuns_) * geo_.clusterSize);
    recordCount_ = validLength_ / geo_.recordSize;
    // A bitmap that cannot be read costs speed, not the volume: every record becomes a candidate.
    haveBitmap_ = LoadBitmap(record, std::move(bitmapExtents));
    zeros_.assign(geo_.recordSize, 0);
    return true;
}

}  // namespace

bool DecodeDataRuns(std::span<const uint8_t> mappingPairs, uint64_t lowestVcn,
                    std::vector<DataRun>& runs) {
    uint64_t vcn = lowestVcn;
    int64_t lcn = 0;
    std::size_t at = 0;
    for (;;) {
        if (at >= mappingPairs.size()) return false;
        uint8_t header = mappingPairs[at];
        if (header == 0) return true;
        unsigned lengthWidth = header & 0x0F, offsetWidth = header >> 4;
        if (lengthWidth == 0 || lengthWidth > 8 || offsetWidth > 8) return false;
        if (mappingPairs.size() - at - 1 < lengthWidth + offsetWidth) return false;
        const uint8_t* field = mappingPairs.data() + at + 1;
        uint64_t length = LoadVariable(field, lengthWidth, false);
        if (length == 0 || length > MaxClusterNumber || vcn > MaxClusterNumber - length)
            return false;
        DataRun run{vcn, length, DataRun::Sparse};
        if (offsetWidth != 0) {
            int64_t delta =
                static_cast<int64_t>(LoadVariable(field + lengthWidth, offsetWidth, true));
            int64_t next;
            if (__builtin_add_overflow(lcn, delta, &next) || next < 0 ||
                uint64_t(next) > MaxClusterNumber - length)
                return false;
            lcn = next;
            run.lcn = lcn;
        }
        runs.push_back(run);
        vcn += length;
        at += 1 + lengthWidth + offsetWidth;
    }
}

bool ApplyFixup(std::span<uint8_t> record) {
    ntfs::FileRecordHeader header;
    if (!ntfs::Load<ntfs::FileRecordHeader>(record, 0, header)) return false;
    std::size_t strides = record.size() / ntfs::FixupStride;
    if (strides == 0 || record.size() % ntfs::FixupStride != 0) return false;
    if (header.updateSequenceCount != strides + 1) return false;
    std::size_t arrayOffset = header.updateSequenceOffset;
    if (arrayOffset % 2 != 0 || arrayOffset < 8 ||
        arrayOffset + 2 * (strides + 1) > ntfs::FixupStride - 2)
        return false;
    uint16_t sequence = ntfs::LoadOr0<uint16_t>(record, arrayOffset);
    for (std::size_t i = 1; i <= strides; ++i)
        if (ntfs::LoadOr0<uint16_t>(record, i * ntfs::FixupStride - 2) != sequence) return false;
    for (std::size_t i = 1; i <= strides; ++i)
        std::memcpy(record.data() + i * ntfs::FixupStride - 2, record.data() + arrayOffset + 2 * i,
                    2);
    return true;
}

std::optional<VolumeSource> OpenRawVolume(ReadAt read, std::shared_ptr<void> owner,
                                          std::string* refusal) {
    auto refuse = [refusal](std::string why) -> std::optional<VolumeSource> {
        if (refusal) *refusal = std::move(why);
        return std::nullopt;
    };
    AlignedBytes sector;
    sector.resize(ReadAlignment);
    Geometry geometry;
    if (!read || !read(0, sector.span())) return refuse("the boot sector cannot be read");
    if (const char* why = ParseBootSector(sector.span(), geometry)) return refuse(why);
    if (!FitToDevice(read, sector, geometry))
        return refuse("the $MFT lies beyond the device's end");
    auto volume = std::make_shared<RawVolume>(std::move(read), geometry);
    if (!volume->Open()) return refuse(volume->Refusal());
    VolumeSource source;
    source.volumeData = [volume](NtfsVolumeData& data) {
        data = volume->VolumeData();
        return true;
    };
    source.recordAtOrBelow = [volume](uint64_t n, uint64_t& number, std::span<uint8_t> record) {
        return volume->RecordAtOrBelow(n, number, record);
    };
    source.readRange = [volume](uint64_t lo, uint64_t hi, bool takeAnswerBelowLo,
                                const RecordVisitor& visit) {
        return volume->ReadRange(lo, hi, takeAnswerBelowLo, visit);
    };
    source.owner = std::move(owner);
    return source;
}

#ifndef _WIN32
ReadAt FileReader(int descriptor) {
    return [descriptor](uint64_t offset, std::span<uint8_t> buffer) {
        std::size_t done = 0;
        while (done < buffer.size()) {
            ssize_t got = ::pread(descriptor, buffer.data() + done, buffer.size() - done,
                                  static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            done += static_cast<std::size_t>(got);
        }
        return true;
    };
}

std::optional<VolumeSource> OpenVolumeImage(const std::string& path, uint64_t offset,
                                            std::string* refusal) {
    int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return std::nullopt;
    auto file = std::shared_ptr<void>(new int(descriptor), [](void* p) {
        int* fd = static_cast<int*>(p);
        ::close(*fd);
        delete fd;
    });
    ReadAt fromFile = FileReader(descriptor);
    ReadAt read = offset == 0
                      ? std::move(fromFile)
                      : ReadAt([fromFile, offset](uint64_t at, std::span<uint8_t> buffer) {
                            return at <= UINT64_MAX - offset && fromFile(at + offset, buffer);
                        });
    return OpenRawVolume(std::move(read), std::move(file), refusal);
}
#endif
