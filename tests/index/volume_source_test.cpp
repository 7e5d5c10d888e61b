#include "index/volume_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t RecordSize = 16;

// Answers as the driver does: the in-use record with the highest number at or below n, whose
// first byte is its number; a refused record is not delivered, and the walk goes on below it.
VolumeSource FakeSource(std::set<uint64_t> inUse, std::set<uint64_t> refused = {}) {
    VolumeSource source;
    source.recordAtOrBelow = [inUse, refused](uint64_t n, uint64_t& number,
                                              std::span<uint8_t> record) {
        std::fill(record.begin(), record.end(), 0);
        auto found = inUse.upper_bound(n);
        if (found == inUse.begin()) {
            number = 0;
            return true;
        }
        number = *--found;
        if (refused.count(number)) return false;
        record[0] = static_cast<uint8_t>(number);
        return true;
    };
    return source;
}

std::vector<uint64_t> Read(const VolumeSource& source, uint64_t lo, uint64_t hi, bool below) {
    std::vector<uint64_t> numbers;
    ReadRecordRange(source, RecordSize, lo, hi, below,
                    [&](uint64_t number, std::span<const uint8_t> record) {
                        EXPECT_EQ(record.size(), RecordSize);
                        EXPECT_EQ(record[0], static_cast<uint8_t>(number));
                        numbers.push_back(number);
                    });
    return numbers;
}

TEST(ReadRecordRange, HandsBackTheRangeHighestFirst) {
    const VolumeSource source = FakeSource({10, 12, 26, 36, 40, 41, 50}, {12, 40});
    struct Case {
        uint64_t lo, hi;
        bool below;
        std::vector<uint64_t> numbers;
    } cases[] = {
        {36, 50, true, {41, 36}},  // 50 lies outside, the refused 40 is skipped
        {36, 51, true, {50, 41, 36}},
        {37, 51, true, {50, 41, 36}},  // the answer for 37 is 36, taken as asked
        {37, 51, false, {50, 41}},     // and left to the part below
        {27, 36, true, {26}},          // the answer for 27 lies below: 26
        {27, 36, false, {}},
        {11, 26, true, {10}},  // 12 is refused, the walk goes on below it
        {1, 5, true, {0}},     // nothing in use below 5: a zeroed record, number 0
        {1, 5, false, {}},
        {0, 11, true, {10, 0}},
        {40, 40, true, {}},
        {41, 40, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "[" << c.lo << ", " << c.hi << ") " << c.below);
        EXPECT_EQ(Read(source, c.lo, c.hi, c.below), c.numbers);
    }
}

// Parts that split a range, each but the lowest leaving the answer below it to the next, give
// exactly the records the whole range gives, once each.
TEST(ReadRecordRange, PartsGiveWhatTheWholeRangeGives) {
    const VolumeSource source = FakeSource({5, 26, 36, 37, 38, 45, 46, 60, 61, 99}, {46});
    const std::vector<uint64_t> whole = Read(source, 36, 100, true);
    for (const std::vector<uint64_t>& cuts :
         std::vector<std::vector<uint64_t>>{{50}, {37, 38, 39}, {40, 60, 61}, {45, 47, 98}}) {
        std::vector<uint64_t> joined;
        uint64_t hi = 100;
        for (auto cut = cuts.rbegin(); cut != cuts.rend(); ++cut) {
            for (uint64_t number : Read(source, *cut, hi, false)) joined.push_back(number);
            hi = *cut;
        }
        for (uint64_t number : Read(source, 36, hi, true)) joined.push_back(number);
        EXPECT_EQ(joined, whole) << cuts.size();
    }
}

}  // namespace

namespace {

// A source that fails the whole volume when the walk reaches record `failsAt`.
TEST(ReadRecordRange, StopsWhereTheSourceFailsTheVolume) {
    struct Case {
        uint64_t failsAt;
        bool whole;
        std::vector<uint64_t> numbers;
    } cases[] = {
        {41, false, {50}}, {36, false, {50, 41}}, {0, true, {50, 41, 36}},  // never reached
    };
    for (const Case& c : cases) {
        auto failure = std::make_shared<std::string>();
        VolumeSource source = FakeSource({36, 41, 50}, {});
        auto answer = source.recordAtOrBelow;
        source.recordAtOrBelow = [answer, failure, c](uint64_t n, uint64_t& number,
                                                      std::span<uint8_t> record) {
            bool delivered = answer(n, number, record);
            if (c.failsAt != 0 && number == c.failsAt) {
                *failure = "gone";
                return false;
            }
            return delivered;
        };
        source.failure = [failure] { return *failure; };
        std::vector<uint64_t> numbers;
        bool whole = ReadRecordRange(
            source, RecordSize, 36, 51, true,
            [&](uint64_t number, std::span<const uint8_t>) { numbers.push_back(number); });
        EXPECT_EQ(whole, c.whole) << c.failsAt;
        EXPECT_EQ(numbers, c.numbers) << c.failsAt;
    }
}

}  // namespace
