#include "index/partition_table.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "index/ntfs_layout.h"

namespace {

constexpr uint64_t MbrSectorSize = 512;
// Logical partitions form a chain of boot records; a damaged chain could loop forever.
constexpr int MaxLogicalPartitions = 128;
// More entries than any disk has; bounds the read of a damaged GPT header's count.
constexpr uint32_t MaxGptEntries = 4096;

#pragma pack(push, 1)
struct MbrEntry {
    uint8_t status;
    uint8_t firstChs[3];
    uint8_t type;
    uint8_t lastChs[3];
    uint32_t firstLba;
    uint32_t sectorCount;
};
static_assert(sizeof(MbrEntry) == 16);
static_assert(offsetof(MbrEntry, type) == 4);
static_assert(offsetof(MbrEntry, firstLba) == 8);

struct GptHeader {
    char signature[8];  // "EFI PART"
    uint32_t revision;
    uint32_t headerSize;
    uint32_t headerCrc;
    uint32_t reserved;
    uint64_t currentLba;
    uint64_t backupLba;
    uint64_t firstUsableLba;
    uint64_t lastUsableLba;
    uint8_t diskGuid[16];
    uint64_t entriesLba;
    uint32_t entryCount;
    uint32_t entrySize;
};
static_assert(offsetof(GptHeader, entriesLba) == 0x48);
static_assert(offsetof(GptHeader, entryCount) == 0x50);
static_assert(offsetof(GptHeader, entrySize) == 0x54);

struct GptEntry {
    uint8_t typeGuid[16];
    uint8_t partitionGuid[16];
    uint64_t firstLba;
    uint64_t lastLba;
};
static_assert(offsetof(GptEntry, firstLba) == 0x20);
#pragma pack(pop)

constexpr std::size_t MbrEntriesOffset = 0x1BE;
constexpr uint8_t GptProtectiveType = 0xEE;

bool IsExtended(uint8_t type) {
    return type == 0x05 || type == 0x0F || type == 0x85;
}

bool HasBootSignature(const std::array<uint8_t, MbrSectorSize>& sector) {
    return sector[ntfs::BootSignatureOffset] == 0x55 &&
           sector[ntfs::BootSignatureOffset + 1] == 0xAA;
}

class Finder {
  public:
    Finder(const ReadAt& read, uint64_t imageSize) : read_(read), imageSize_(imageSize) {}

    bool ReadSector(uint64_t offset, std::array<uint8_t, MbrSectorSize>& sector) const {
        return offset <= imageSize_ && imageSize_ - offset >= sector.size() &&
               read_(offset, sector);
    }

    bool IsNtfs(uint64_t offset) const {
        std::array<uint8_t, MbrSectorSize> sector;
        if (!ReadSector(offset, sector)) return false;
        return std::memcmp(sector.data() + offsetof(ntfs::BootSector, oemId), "NTFS    ", 8) == 0;
    }

    // Adds the extent when it starts inside the image and holds an NTFS boot sector.
    void Consider(uint64_t offset, uint64_t length) {
        if (length == 0 || offset >= imageSize_) return;
        if (length > imageSize_ - offset) length = imageSize_ - offset;
        if (IsNtfs(offset)) extents_.push_back({offset, length});
    }

    void ReadMbr(const std::array<uint8_t, MbrSectorSize>& sector) {
        for (int i = 0; i < 4; ++i) {
            MbrEntry entry{};
            ntfs::Load(std::span<const uint8_t>(sector), MbrEntriesOffset + i * sizeof entry,
                       entry);
            const uint64_t first = uint64_t{entry.firstLba} * MbrSectorSize;
            const uint64_t length = uint64_t{entry.sectorCount} * MbrSectorSize;
            if (entry.type == 0) continue;
            if (IsExtended(entry.type))
                ReadLogical(first);
            else
                Consider(first, length);
        }
    }

    // Each extended boot record holds one logical partition, relative to itself, and a link to
    // the next record, relative to the start of the extended partition.
    void ReadLogical(uint64_t extendedStart) {
        uint64_t record = extendedStart;
        std::vector<uint64_t> visited;
        for (int i = 0; i < MaxLogicalPartitions; ++i) {
            if (std::find(visited.begin(), visited.end(), record) != visited.end()) return;
            visited.push_back(record);
            std::array<uint8_t, MbrSectorSize> sector;
            if (!ReadSector(record, sector) || !HasBootSignature(sector)) return;
            MbrEntry logical{}, next{};
            ntfs::Load(std::span<const uint8_t>(sector), MbrEntriesOffset, logical);
            ntfs::Load(std::span<const uint8_t>(sector), MbrEntriesOffset + sizeof logical, next);
            if (logical.type != 0)
                Consider(record + uint64_t{logical.firstLba} * MbrSectorSize,
                         uint64_t{logical.sectorCount} * MbrSectorSize);
            if (!IsExtended(next.type) || next.firstLba == 0) return;
            record = extendedStart + uint64_t{next.firstLba} * MbrSectorSize;
        }
    }

    // The header sits in the second logical block; the block size is 512 or 4096.
    bool ReadGpt() {
        for (uint64_t blockSize : {uint64_t{512}, uint64_t{4096}}) {
            std::array<uint8_t, MbrSectorSize> sector;
            GptHeader header{};
            if (!ReadSector(blockSize, sector) ||
                !ntfs::Load(std::span<const uint8_t>(sector), 0, header) ||
                std::memcmp(header.signature, "EFI PART", 8) != 0)
                continue;
            if (header.entrySize < sizeof(GptEntry) || header.entrySize > MbrSectorSize ||
                header.entryCount > MaxGptEntries || header.entriesLba > imageSize_ / blockSize)
                return true;
            std::array<uint8_t, MbrSectorSize> entryBytes;
            for (uint32_t i = 0; i < header.entryCount; ++i) {
                const uint64_t at = header.entriesLba * blockSize + uint64_t{i} * header.entrySize;
                if (!ReadSector(at, entryBytes)) break;
                GptEntry entry{};
                ntfs::Load(std::span<const uint8_t>(entryBytes), 0, entry);
                static constexpr uint8_t Unused[16] = {};
                if (std::memcmp(entry.typeGuid, Unused, sizeof Unused) == 0 ||
                    entry.lastLba < entry.firstLba || entry.firstLba > imageSize_ / blockSize)
                    continue;
                const uint64_t blocks = entry.lastLba - entry.firstLba + 1;
                const uint64_t length =
                    blocks > imageSize_ / blockSize ? imageSize_ : blocks * blockSize;
                Consider(entry.firstLba * blockSize, length);
            }
            return true;
        }
        return false;
    }

    std::vector<VolumeExtent> Find() {
        if (IsNtfs(0)) return {{0, imageSize_}};
        std::array<uint8_t, MbrSectorSize> sector;
        if (!ReadSector(0, sector) || !HasBootSignature(sector)) return {};
        MbrEntry first{};
        ntfs::Load(std::span<const uint8_t>(sector), MbrEntriesOffset, first);
        if (first.type == GptProtectiveType && ReadGpt()) return extents_;
        ReadMbr(sector);
        return extents_;
    }

  private:
    const ReadAt& read_;
    uint64_t imageSize_;
    std::vector<VolumeExtent> extents_;
};

}  // namespace

std::vector<VolumeExtent> FindNtfsExtents(const ReadAt& read, uint64_t imageSize) {
    return Finder(read, imageSize).Find();
}

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

std::vector<VolumeExtent> FindNtfsExtentsInFile(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return {};
    // A block device reports no size to stat; its end is found by seeking.
    const off_t end = ::lseek(descriptor, 0, SEEK_END);
    std::vector<VolumeExtent> extents;
    if (end > 0) extents = FindNtfsExtents(FileReader(descriptor), static_cast<uint64_t>(end));
    ::close(descriptor);
    return extents;
}
#endif
