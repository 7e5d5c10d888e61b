// Where the NTFS volumes of a disk image lie, for partition tables written here byte by byte.
// The Windows-made disk images of the fixture checks hold the same reader against sleuthkit.
#include "index/partition_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

namespace {

constexpr uint64_t Sector = 512;
constexpr uint64_t MiB = 1 << 20;

// A sparse disk: sectors written by the case, zeros elsewhere.
struct Disk {
    uint64_t size = 64 * MiB;
    std::map<uint64_t, std::array<uint8_t, Sector>> sectors;

    uint8_t* At(uint64_t offset) {
        auto& sector = sectors[offset / Sector];
        return sector.data() + offset % Sector;
    }
    void Put(uint64_t offset, uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) *At(offset + i) = static_cast<uint8_t>(value >> (8 * i));
    }
    void Text(uint64_t offset, const char* text) {
        for (std::size_t i = 0; text[i]; ++i) *At(offset + i) = static_cast<uint8_t>(text[i]);
    }
    void BootSignature(uint64_t sectorStart) { Put(sectorStart + 510, 0xAA55, 2); }
    void Ntfs(uint64_t offset) {
        Text(offset + 3, "NTFS    ");
        BootSignature(offset);
    }
    void Fat(uint64_t offset) {
        Text(offset + 3, "MSDOS5.0");
        BootSignature(offset);
    }
    // One 16-byte entry of the table in the boot record at `record`.
    void MbrEntry(uint64_t record, int slot, uint8_t type, uint64_t firstLba, uint64_t sectors) {
        const uint64_t entry = record + 0x1BE + 16 * slot;
        Put(entry + 4, type, 1);
        Put(entry + 8, firstLba, 4);
        Put(entry + 12, sectors, 4);
        BootSignature(record);
    }
    void GptHeader(uint64_t blockSize, uint64_t entriesLba, uint32_t count, uint32_t entrySize) {
        MbrEntry(0, 0, 0xEE, 1, 0xFFFFFFFF);
        Text(blockSize, "EFI PART");
        Put(blockSize + 0x48, entriesLba, 8);
        Put(blockSize + 0x50, count, 4);
        Put(blockSize + 0x54, entrySize, 4);
    }
    void GptEntry(uint64_t at, uint64_t firstLba, uint64_t lastLba) {
        Put(at, 0xEBD0A0A2, 4);  // basic data partition
        Put(at + 0x20, firstLba, 8);
        Put(at + 0x28, lastLba, 8);
    }

    ReadAt Reader() const {
        return [this](uint64_t offset, std::span<uint8_t> buffer) {
            if (offset > size || size - offset < buffer.size()) return false;
            for (std::size_t i = 0; i < buffer.size(); ++i) {
                auto sector = sectors.find((offset + i) / Sector);
                buffer[i] = sector == sectors.end() ? 0 : sector->second[(offset + i) % Sector];
            }
            return true;
        };
    }
};

struct Case {
    const char* rule;
    void (*make)(Disk&);
    std::vector<VolumeExtent> expected;
};

const Case Cases[] = {
    {"a bare volume spans the image", [](Disk& d) { d.Ntfs(0); }, {{0, 64 * MiB}}},
    {"no boot signature: no volume", [](Disk&) {}, {}},
    {"an MBR primary NTFS partition, a FAT one left out",
     [](Disk& d) {
         d.MbrEntry(0, 0, 0x07, 2048, 8192);
         d.Ntfs(2048 * Sector);
         d.MbrEntry(0, 1, 0x0C, 10240, 4096);
         d.Fat(10240 * Sector);
     },
     {{2048 * Sector, 8192 * Sector}}},
    {"the type byte does not decide: an NTFS boot sector does",
     [](Disk& d) {
         d.MbrEntry(0, 2, 0x83, 128, 1024);
         d.Ntfs(128 * Sector);
         d.MbrEntry(0, 3, 0x07, 4096, 1024);
     },
     {{128 * Sector, 1024 * Sector}}},
    {"logical partitions: each relative to its own record, links relative to the extended one",
     [](Disk& d) {
         d.MbrEntry(0, 0, 0x0F, 20000, 60000);
         d.MbrEntry(20000 * Sector, 0, 0x07, 63, 1000);
         d.MbrEntry(20000 * Sector, 1, 0x05, 5000, 2000);
         d.Ntfs((20000 + 63) * Sector);
         d.MbrEntry(25000 * Sector, 0, 0x07, 100, 500);
         d.Ntfs((25000 + 100) * Sector);
     },
     {{20063 * Sector, 1000 * Sector}, {25100 * Sector, 500 * Sector}}},
    {"a chain of logical records that loops back ends, each partition once",
     [](Disk& d) {
         d.MbrEntry(0, 0, 0x05, 20000, 60000);
         d.MbrEntry(20000 * Sector, 0, 0x07, 63, 1000);
         d.Ntfs((20000 + 63) * Sector);
         d.MbrEntry(20000 * Sector, 1, 0x05, 5000, 2000);
         d.MbrEntry(25000 * Sector, 0, 0x07, 100, 500);
         d.Ntfs((25000 + 100) * Sector);
         d.MbrEntry(25000 * Sector, 1, 0x05, 5000, 2000);
     },
     {{20063 * Sector, 1000 * Sector}, {25100 * Sector, 500 * Sector}}},
    {"a partition longer than the image is cut, one past its end is left out",
     [](Disk& d) {
         d.MbrEntry(0, 0, 0x07, 2048, 0xFFFFFFF0);
         d.Ntfs(2048 * Sector);
         d.MbrEntry(0, 1, 0x07, 0xFFFFFF00, 16);
     },
     {{2048 * Sector, 64 * MiB - 2048 * Sector}}},
    {"GPT with 512-byte blocks: used entries in order, empty ones skipped",
     [](Disk& d) {
         d.GptHeader(512, 2, 128, 128);
         d.GptEntry(2 * Sector, 34, 2047);
         d.GptEntry(2 * Sector + 256, 4096, 8191);
         d.Ntfs(4096 * Sector);
         d.GptEntry(2 * Sector + 128 * 127, 2048, 4095);
         d.Ntfs(2048 * Sector);
     },
     {{4096 * Sector, 4096 * Sector}, {2048 * Sector, 2048 * Sector}}},
    {"GPT with 4096-byte blocks",
     [](Disk& d) {
         d.GptHeader(4096, 2, 4, 128);
         d.GptEntry(2 * 4096, 256, 511);
         d.Ntfs(256 * 4096);
     },
     {{256 * 4096, 256 * 4096}}},
    {"a GPT header with an absurd count or entry size gives nothing, and no crash",
     [](Disk& d) {
         d.GptHeader(512, 2, 0xFFFFFFFF, 128);
         d.GptEntry(2 * Sector, 2048, 4095);
         d.Ntfs(2048 * Sector);
     },
     {}},
    {"GPT entries beyond the image's end are left out",
     [](Disk& d) {
         d.GptHeader(512, 2, 2, 128);
         d.GptEntry(2 * Sector, uint64_t{1} << 40, (uint64_t{1} << 40) + 100);
         d.GptEntry(2 * Sector + 128, 2048, uint64_t{1} << 62);
         d.Ntfs(2048 * Sector);
     },
     {{2048 * Sector, 64 * MiB - 2048 * Sector}}},
};

TEST(FindNtfsExtents, PartitionTables) {
    for (const Case& c : Cases) {
        SCOPED_TRACE(c.rule);
        Disk disk;
        c.make(disk);
        EXPECT_EQ(FindNtfsExtents(disk.Reader(), disk.size), c.expected);
    }
}

TEST(FindNtfsExtents, ImageShorterThanOneSector) {
    Disk disk;
    disk.size = 100;
    EXPECT_TRUE(FindNtfsExtents(disk.Reader(), disk.size).empty());
}

}  // namespace
