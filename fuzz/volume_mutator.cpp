#include "fuzz/volume_mutator.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

using Random = std::minstd_rand;

constexpr std::size_t Stride = 512;

uint64_t Get(const uint8_t* at, unsigned width) {
    uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i) value |= uint64_t(at[i]) << (8 * i);
    return value;
}

void Set(uint8_t* at, unsigned width, uint64_t value) {
    for (unsigned i = 0; i < width; ++i) at[i] = uint8_t(value >> (8 * i));
}

uint64_t Pick(Random& random, uint64_t below) {
    return below == 0 ? 0 : std::uniform_int_distribution<uint64_t>(0, below - 1)(random);
}

// The values that break bounds: none, one, edges of every width, a power of two, near a given
// value, or its multiple.
uint64_t Interesting(Random& random, uint64_t near) {
    switch (Pick(random, 9)) {
        case 0:
            return 0;
        case 1:
            return 1;
        case 2:
            return ~uint64_t{0} >> (8 * Pick(random, 8));
        case 3:
            return uint64_t{1} << Pick(random, 64);
        case 4:
            return (uint64_t{1} << Pick(random, 64)) - 1;
        case 5:
            return near + 1;
        case 6:
            return near - 1;
        case 7:
            return near * (2 + Pick(random, 1000));
        default:
            return random();
    }
}

// The size of a sector, cluster and record the boot sector gives, when they are plausible
// enough to find record 0 by.
struct Layout {
    uint64_t sector = 0;
    uint64_t cluster = 0;
    uint64_t record = 0;
    uint64_t mftOffset = 0;
};

bool ReadLayout(const uint8_t* data, std::size_t size, Layout& layout) {
    if (size < Stride || std::memcmp(data + 3, "NTFS", 4) != 0) return false;
    layout.sector = Get(data + 0x0B, 2);
    uint64_t perCluster = data[0x0D];
    if (perCluster > 0x80) perCluster = uint64_t{1} << std::min(256 - int(perCluster), 20);
    layout.cluster = layout.sector * perCluster;
    const auto perRecord = static_cast<int8_t>(data[0x40]);
    layout.record = perRecord > 0      ? perRecord * layout.cluster
                    : perRecord >= -16 ? uint64_t{1} << -perRecord
                                       : 0;
    if (layout.cluster == 0 || layout.record < Stride || layout.record > 65536 ||
        layout.record % Stride != 0)
        return false;
    const uint64_t lcn = Get(data + 0x30, 8);
    if (lcn > size / layout.cluster) return false;
    layout.mftOffset = lcn * layout.cluster;
    return layout.mftOffset + layout.record <= size;
}

void EditBootSector(uint8_t* data, std::size_t size, Random& random) {
    switch (Pick(random, 6)) {
        case 0: {
            const uint16_t sizes[] = {256, 512, 1024, 2048, 4096, 8192, 0, 513};
            Set(data + 0x0B, 2, sizes[Pick(random, std::size(sizes))]);
            break;
        }
        case 1: {
            const uint8_t counts[] = {1, 2, 4, 8, 16, 128, 0x81, 0xF4, 0, 3};
            data[0x0D] = counts[Pick(random, std::size(counts))];
            break;
        }
        case 2: {
            const int8_t counts[] = {-9, -10, -11, -12, -13, 1, 2, 0, -31, 127};
            data[0x40] = uint8_t(counts[Pick(random, std::size(counts))]);
            break;
        }
        case 3:
            Set(data + 0x28, 8, Interesting(random, size / 512));
            break;
        case 4:
            Set(data + 0x30, 8, Interesting(random, Get(data + 0x30, 8)));
            break;
        default:
            Set(data + 0x28, 8,
                size / std::max<uint64_t>(1, Get(data + 0x0B, 2)) - Pick(random, 4));
    }
}

// Puts back the bytes the update sequence saved, so the record can be edited as it is meant;
// false when its array is not there to undo.
bool Unprotect(uint8_t* record, std::size_t size) {
    const uint64_t offset = Get(record + 4, 2), count = Get(record + 6, 2);
    if (count != size / Stride + 1 || offset + 2 * count > Stride - 2) return false;
    for (std::size_t i = 1; i < count; ++i)
        std::memcpy(record + i * Stride - 2, record + offset + 2 * i, 2);
    return true;
}

void Protect(uint8_t* record, std::size_t size) {
    const uint64_t offset = Get(record + 4, 2), count = Get(record + 6, 2);
    if (count != size / Stride + 1 || offset + 2 * count > Stride - 2) return;
    for (std::size_t i = 1; i < count; ++i) {
        std::memcpy(record + offset + 2 * i, record + i * Stride - 2, 2);
        std::memcpy(record + i * Stride - 2, record + offset, 2);
    }
}

// Offsets of the record's attributes, as far as their lengths chain.
std::vector<std::size_t> Attributes(const uint8_t* record, std::size_t size) {
    std::vector<std::size_t> found;
    const std::size_t used = std::min<std::size_t>(Get(record + 0x18, 4), size);
    for (std::size_t at = Get(record + 0x14, 2); at + 16 <= used && found.size() < 64;) {
        if (Get(record + at, 4) == 0xFFFFFFFF) break;
        const std::size_t length = Get(record + at + 4, 4);
        if (length < 16 || length > used - at) break;
        found.push_back(at);
        at += length;
    }
    return found;
}

struct Run {
    int64_t lcn;  // -1: sparse
    uint64_t length;
};

std::vector<Run> DecodeRuns(const uint8_t* pairs, std::size_t room) {
    std::vector<Run> runs;
    int64_t lcn = 0;
    for (std::size_t at = 0; at < room && pairs[at] != 0;) {
        const unsigned lengthWidth = pairs[at] & 0x0F, offsetWidth = pairs[at] >> 4;
        if (lengthWidth == 0 || lengthWidth > 8 || offsetWidth > 8 ||
            at + 1 + lengthWidth + offsetWidth > room)
            break;
        Run run{-1, Get(pairs + at + 1, lengthWidth)};
        if (offsetWidth) {
            uint64_t delta = Get(pairs + at + 1 + lengthWidth, offsetWidth);
            if (offsetWidth < 8 && (delta >> (8 * offsetWidth - 1)) & 1)
                delta |= ~uint64_t{0} << (8 * offsetWidth);
            lcn += int64_t(delta);
            run.lcn = lcn;
        }
        runs.push_back(run);
        at += 1 + lengthWidth + offsetWidth;
    }
    return runs;
}

unsigned Width(uint64_t value, bool isSigned) {
    unsigned width = 1;
    while (width < 8) {
        const int64_t v = int64_t(value);
        const int64_t lo = -(int64_t{1} << (8 * width - 1)),
                      hi = (int64_t{1} << (8 * width - 1)) - 1;
        if (isSigned ? (v >= lo && v <= hi) : value < (uint64_t{1} << (8 * width))) break;
        ++width;
    }
    return width;
}

// False when the runs do not fit the room the attribute has for them.
bool EncodeRuns(const std::vector<Run>& runs, uint8_t* pairs, std::size_t room) {
    std::vector<uint8_t> out;
    int64_t previous = 0;
    for (const Run& run : runs) {
        const unsigned lengthWidth = Width(run.length, false);
        unsigned offsetWidth = 0;
        uint64_t delta = 0;
        if (run.lcn >= 0) {
            delta = uint64_t(run.lcn - previous);
            offsetWidth = Width(delta, true);
            previous = run.lcn;
        }
        out.push_back(uint8_t(offsetWidth << 4 | lengthWidth));
        for (unsigned i = 0; i < lengthWidth; ++i) out.push_back(uint8_t(run.length >> (8 * i)));
        for (unsigned i = 0; i < offsetWidth; ++i) out.push_back(uint8_t(delta >> (8 * i)));
    }
    out.push_back(0);
    if (out.size() > room) return false;
    std::copy(out.begin(), out.end(), pairs);
    return true;
}

uint64_t RunsLength(const std::vector<Run>& runs) {
    uint64_t total = 0;
    for (const Run& run : runs) total += run.length;
    return total;
}

// Edits the run list of a non-resident attribute; with `coherent`, the VCN range and sizes are
// made to agree with the new runs, which is what a hostile volume does to pass the checks.
void EditRuns(uint8_t* attribute, std::size_t length, uint64_t clusters, const Layout& layout,
              Random& random) {
    const std::size_t pairsOffset = Get(attribute + 0x20, 2);
    if (pairsOffset < 0x40 || pairsOffset >= length) return;
    uint8_t* pairs = attribute + pairsOffset;
    const std::size_t room = length - pairsOffset;
    std::vector<Run> runs = DecodeRuns(pairs, room);
    const std::size_t at = Pick(random, runs.size() + 1);
    switch (Pick(random, 7)) {
        case 0:  // a sparse stretch much larger than the volume
            runs.insert(runs.begin() + at,
                        Run{-1, Interesting(random, clusters) & ((uint64_t{1} << 48) - 1)});
            break;
        case 1:  // a run past the end of the volume
            runs.insert(runs.begin() + at,
                        Run{int64_t(clusters - Pick(random, 3)), 1 + Pick(random, 64)});
            break;
        case 2:  // a run over clusters another run already holds
            if (!runs.empty()) runs.insert(runs.begin() + at, runs[Pick(random, runs.size())]);
            break;
        case 3:  // a zero-length run
            runs.insert(runs.begin() + at, Run{int64_t(Pick(random, clusters)), 0});
            break;
        case 4:
            if (!runs.empty())
                runs[Pick(random, runs.size())].length = Interesting(random, clusters);
            break;
        case 5:
            if (!runs.empty())
                runs[Pick(random, runs.size())].lcn = int64_t(Pick(random, clusters * 2));
            break;
        default:
            if (!runs.empty()) runs.erase(runs.begin() + Pick(random, runs.size()));
    }
    if (!EncodeRuns(runs, pairs, room)) return;
    if (Pick(random, 4) == 0) return;
    const uint64_t lowest = Get(attribute + 0x10, 8);
    const uint64_t total = RunsLength(runs);
    Set(attribute + 0x18, 8, lowest + total - 1);
    if (lowest != 0) return;
    const uint64_t bytes = total * layout.cluster;
    Set(attribute + 0x28, 8, bytes);
    Set(attribute + 0x30, 8, bytes - Pick(random, 2) * Pick(random, layout.cluster));
    Set(attribute + 0x38, 8, Get(attribute + 0x30, 8));
}

// An edit of one field of an attribute, chosen by the attribute's form and type.
void EditAttribute(uint8_t* record, std::size_t at, uint64_t clusters, const Layout& layout,
                   uint64_t records, Random& random) {
    uint8_t* attribute = record + at;
    const std::size_t length = Get(attribute + 4, 4);
    const uint32_t type = uint32_t(Get(attribute, 4));
    const bool nonResident = attribute[8] != 0;
    switch (Pick(random, 8)) {
        case 0:
            Set(attribute + 4, 4, Interesting(random, length) & 0xFFFF);
            return;
        case 1: {
            const uint32_t types[] = {0x10, 0x20, 0x30, 0x80, 0xB0, 0xFFFFFFFF};
            Set(attribute, 4, types[Pick(random, std::size(types))]);
            return;
        }
        case 2:
            attribute[8] ^= 1;
            return;
        case 3:
            attribute[9] = uint8_t(Pick(random, 4) == 0 ? random() : 0);
            return;
        default:
            break;
    }
    if (nonResident && length >= 0x40) {
        if (Pick(random, 2) == 0) {
            EditRuns(attribute, length, clusters, layout, random);
        } else {
            const std::size_t fields[] = {0x10, 0x18, 0x28, 0x30, 0x38};
            const std::size_t field = fields[Pick(random, std::size(fields))];
            Set(attribute + field, 8, Interesting(random, Get(attribute + field, 8)));
            if (Pick(random, 2) == 0) Set(attribute + 0x38, 8, Get(attribute + 0x30, 8));
        }
        return;
    }
    if (length < 0x18) return;
    const std::size_t valueOffset = Get(attribute + 0x14, 2);
    const std::size_t valueLength = Get(attribute + 0x10, 4);
    uint8_t* value = attribute + valueOffset;
    const bool fits = valueOffset <= length && valueLength <= length - valueOffset;
    if (Pick(random, 4) == 0 || !fits) {
        if (Pick(random, 2) == 0)
            Set(attribute + 0x10, 4, Interesting(random, valueLength) & 0xFFFFFFFF);
        else
            Set(attribute + 0x14, 2, Interesting(random, valueOffset) & 0xFFFF);
        return;
    }
    if (type == 0x30 && valueLength >= 0x42) {
        // A parent that is the record itself, another record, the root or nothing: cycles.
        const uint64_t self = Get(record + 0x2C, 4);
        const uint64_t parents[] = {self, 5, Pick(random, records), Interesting(random, self)};
        const uint64_t parent =
            parents[Pick(random, std::size(parents))] & ((uint64_t{1} << 48) - 1);
        if (Pick(random, 4) == 0)
            value[0x40] = uint8_t(random());
        else
            Set(value, 8, parent | (Get(value + 6, 2) << 48));
        return;
    }
    if (type == 0x20 && valueLength >= 0x1A) {
        // Attribute list entries: a field, or two entries swapped out of their order.
        std::vector<std::size_t> entries;
        for (std::size_t e = 0; e + 0x1A <= valueLength && entries.size() < 256;) {
            entries.push_back(e);
            const std::size_t step = Get(value + e + 4, 2);
            if (step < 0x1A) break;
            e += step;
        }
        const std::size_t e = entries[Pick(random, entries.size())];
        switch (Pick(random, 5)) {
            case 0:
                Set(value + e + 8, 8, Interesting(random, Get(value + e + 8, 8)));
                break;
            case 1:
                Set(value + e + 0x10, 6, Pick(random, 3) == 0 ? 0 : Pick(random, records));
                break;
            case 2:
                Set(value + e + 4, 2, Interesting(random, 0x20) & 0xFFFF);
                break;
            case 3:
                Set(value + e, 4, Pick(random, 2) ? 0x80 : 0xB0);
                break;
            default: {
                const std::size_t other = entries[Pick(random, entries.size())];
                const std::size_t a = std::min(e, other), b = std::max(e, other);
                const std::size_t span = Get(value + a + 4, 2);
                if (a != b && span == Get(value + b + 4, 2) && b + span <= valueLength)
                    std::swap_ranges(value + a, value + a + span, value + b);
            }
        }
        return;
    }
    if (valueLength > 0) value[Pick(random, valueLength)] ^= uint8_t(1 + Pick(random, 255));
}

// Drops an attribute, moving the ones after it down, as a volume that lacks it would be laid out.
void DropAttribute(uint8_t* record, std::size_t size, std::size_t at) {
    const std::size_t used = std::min<std::size_t>(Get(record + 0x18, 4), size);
    const std::size_t length = Get(record + at + 4, 4);
    std::memmove(record + at, record + at + length, used - at - length);
    std::memset(record + used - length, 0, length);
    Set(record + 0x18, 4, used - length);
}

void EditRecord(uint8_t* record, std::size_t size, uint64_t clusters, const Layout& layout,
                uint64_t records, Random& random) {
    const bool wasProtected = Unprotect(record, size);
    const std::vector<std::size_t> attributes = Attributes(record, size);
    const uint64_t choice = Pick(random, 10);
    if (choice < 2 || attributes.empty()) {
        const std::size_t fields[] = {0x04, 0x06, 0x14, 0x16, 0x18, 0x1C, 0x20, 0x2C};
        const std::size_t field = fields[Pick(random, std::size(fields))];
        const unsigned width = field == 0x20 ? 8 : field >= 0x18 ? 4 : 2;
        Set(record + field, width,
            Interesting(random, Get(record + field, width)) & (~uint64_t{0} >> (64 - 8 * width)));
    } else if (choice == 2) {
        DropAttribute(record, size, attributes[Pick(random, attributes.size())]);
    } else {
        EditAttribute(record, attributes[Pick(random, attributes.size())], clusters, layout,
                      records, random);
    }
    // Mostly the fix-up is made whole again, so the edit is read past the fix-up check.
    if (wasProtected && Pick(random, 8) != 0) Protect(record, size);
}

}  // namespace

std::size_t MutateVolume(uint8_t* data, std::size_t size, unsigned seed) {
    Random random(seed);
    Layout layout;
    if (!ReadLayout(data, size, layout)) return 0;
    if (Pick(random, 8) == 0) {
        EditBootSector(data, size, random);
        return size;
    }
    const uint64_t clusters = size / layout.cluster;
    const uint64_t records = (size - layout.mftOffset) / layout.record;
    // Record 0 describes the $MFT itself; the others are found where the first run would put them.
    uint64_t number = Pick(random, 2) == 0 ? 0 : Pick(random, std::min<uint64_t>(records, 128));
    uint8_t* record = data + layout.mftOffset + number * layout.record;
    for (unsigned edits = 1 + unsigned(Pick(random, 3)); edits > 0; --edits)
        EditRecord(record, layout.record, clusters, layout, records, random);
    return size;
}
