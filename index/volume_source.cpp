#include "index/volume_source.h"

#include <algorithm>

bool ReadRecordRange(const VolumeSource& source, uint32_t recordSize, uint64_t lo, uint64_t hi,
                     bool takeAnswerBelowLo, const RecordVisitor& visit) {
    if (hi <= lo) return true;
    if (source.readRange) return source.readRange(lo, hi, takeAnswerBelowLo, visit);
    std::vector<uint8_t> record(recordSize);
    uint64_t n = hi - 1;
    for (;;) {
        uint64_t number = n;
        const bool delivered = source.recordAtOrBelow(n, number, record);
        // A source that answers above the number asked for would otherwise never end the walk.
        number = std::min(number, n);
        if (!delivered && source.failure && !source.failure().empty()) return false;
        if (delivered && (number >= lo || takeAnswerBelowLo)) visit(number, record);
        if (number < lo + 1) return true;
        n = number - 1;
    }
}
