#include "search/search_driver.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "search/byte_needle.h"
#include "search/scan_pool.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// A folded query text as it is looked for in the stores.
struct ByteTerm {
    TermKind kind;
    ByteNeedle text;
    ByteNeedle prefix;
    ByteNeedle suffix;
};

// The terms left to test on one entry once the scan has found it; drive terms are settled per
// folder beforehand.
struct EntryTest {
    const FileTable& table;
    std::vector<ByteTerm> terms;  // every name term but the one the scan settles
    const std::vector<uint8_t>* folderPasses;
    int32_t typeFilter;

    bool Trivial() const { return typeFilter == 0 && folderPasses == nullptr && terms.empty(); }
    bool OnlyType() const { return typeFilter != 0 && folderPasses == nullptr && terms.empty(); }

    bool Holds(std::size_t entry) const {
        if (typeFilter != 0 && table.Category(entry) != typeFilter) return false;
        if (folderPasses && !(*folderPasses)[table.FolderOf()[entry]]) return false;
        if (terms.empty()) return true;
        const std::string_view name = table.NameBytes(entry);
        for (const ByteTerm& term : terms) {
            switch (term.kind) {
                case TermKind::Plain:
                    if (term.text.FindIn(name) == std::string_view::npos) return false;
                    break;
                case TermKind::Exclusion:
                    if (term.text.FindIn(name) != std::string_view::npos) return false;
                    break;
                case TermKind::Wildcard:
                    // The two halves may overlap, as in ‹ab*bc› over ‹abc›.
                    if (!term.prefix.Prefixes(name) || !term.suffix.Suffixes(name)) return false;
                    break;
                case TermKind::Drive:
                    break;
            }
        }
        return true;
    }
};

// Marks the folders whose path contains every drive term.
void MarkFolders(const FileTable& table, const ParsedQuery& query, std::vector<uint8_t>& passes) {
    passes.assign(table.FolderCount(), 0);
    std::vector<ByteNeedle> texts;
    for (const QueryTerm& term : query) {
        if (term.kind == TermKind::Drive) texts.emplace_back(FoldToBytes(term.text));
    }
    const std::string_view all(table.Folders());
    const std::vector<uint32_t>& starts = table.FolderStarts();
    std::size_t folder = 0;
    for (std::size_t pos = texts.front().FindIn(all); pos != std::string_view::npos;
         pos = texts.front().FindIn(all, starts[folder + 1])) {
        folder = table.FolderAt(pos, folder);
        bool every = true;
        for (std::size_t t = 1; t < texts.size() && every; ++t) {
            every = texts[t].FindIn(table.FolderBytes(folder)) != std::string_view::npos;
        }
        passes[folder] = every ? 1 : 0;
    }
}

// The starts at which a needle lies, one bit per byte of the folded names: bit k of word w
// stands for the start `from + 32 * w + k`.
struct MatchBits {
    std::vector<uint32_t> words;
    // The indices of the first `markedCount` words that are not zero, in order, up to
    // `markLimit` of them: past that the matches are read per entry, not per word.
    std::vector<uint32_t> marked;
    std::size_t markedCount = 0;
    std::size_t markLimit = 0;

    // Whether any start in [first, last) relative to `from` is marked.
    bool Any(std::size_t first, std::size_t last) const {
        // Most names are shorter than 33 bytes: one unaligned read of two words covers them, and
        // the answer is computed without a branch. The buffer ends in two zero words, so the
        // second word always exists.
        if (last - first <= 32) {
            uint64_t pair;
            std::memcpy(&pair, words.data() + first / 32, sizeof pair);
            const uint64_t span = (uint64_t{1} << (last - first)) - 1;
            return ((pair >> (first % 32)) & span) != 0;
        }
        while (first < last) {
            uint64_t pair;
            std::memcpy(&pair, words.data() + first / 32, sizeof pair);
            const std::size_t offset = first % 32;
            const std::size_t span = std::min<std::size_t>(last - first, 64 - offset);
            uint64_t bits = pair >> offset;
            if (span < 64) bits &= (uint64_t{1} << span) - 1;
            if (bits != 0) return true;
            first += span;
        }
        return false;
    }
};

// Notes the words that are not zero into a MatchBits, from registers: stores into the words
// could otherwise alias its fields, which every word would then load again.
class WordNotes {
  public:
    explicit WordNotes(MatchBits& bits)
        : bits_(bits),
          marked_(bits.marked.data()),
          count_(bits.markedCount),
          limit_(bits.markLimit) {}
    ~WordNotes() { bits_.markedCount = count_; }
    WordNotes(const WordNotes&) = delete;
    WordNotes& operator=(const WordNotes&) = delete;

    // Without a branch: the slot past the last noted word is written and only kept when due.
    void Note(std::size_t word, uint32_t mask) {
        marked_[count_] = static_cast<uint32_t>(word);
        count_ += static_cast<std::size_t>((mask != 0) & (count_ < limit_));
    }

  private:
    MatchBits& bits_;
    uint32_t* marked_;
    std::size_t count_;
    std::size_t limit_;
};

// Clears the candidates of `mask` (starts `start`, `start` + 1, ...) whose middle bytes differ
// from the needle's; the first and the last have been compared.
inline uint32_t KeepWholeMatches(uint32_t mask, const char* bytes, std::size_t start,
                                 const ByteNeedle& needle) {
    if (needle.size() <= 2) return mask;
    for (uint32_t rest = mask; rest != 0; rest &= rest - 1) {
        const int bit = std::countr_zero(rest);
        if (!needle.At(bytes + start + static_cast<std::size_t>(bit)))
            mask &= ~(uint32_t{1} << bit);
    }
    return mask;
}

#if defined(__GNUC__) && defined(__x86_64__)
#define SKIMLET_HAVE_AVX2_SCAN 1
// Asked on first use: a static initializer could run before the processor features are read.
bool HasAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

// The bytes of the 32 at `at` that match a needle byte (`want`, `mask`), as 0xFF bytes. A macro,
// as a function returning a vector would need AVX2 on every caller.
#define SKIMLET_MATCHES_OF_BYTE(at, want, mask) \
    _mm256_cmpeq_epi8(                          \
        _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)), (mask)), (want))

// Thirty-two starts a word on processors that have AVX2, for the words whose starts all lie
// before `to`; returns the number of words written.
__attribute__((target("avx2"))) std::size_t MarkBlocksAvx2(const char* bytes, std::size_t from,
                                                           std::size_t to, const ByteNeedle& needle,
                                                           MatchBits& bits) {
    uint32_t* words = bits.words.data();
    WordNotes notes(bits);
    std::size_t w = 0;
    const __m256i firstWant = _mm256_set1_epi8(static_cast<char>(needle.Want(0)));
    const __m256i firstMask = _mm256_set1_epi8(static_cast<char>(needle.Mask(0)));
    if (needle.size() == 1) {
        // A single letter, the first keystroke of most searches, matches where its byte lies.
        for (std::size_t i = from; i + 32 <= to; i += 32, ++w) {
            const auto mask = static_cast<uint32_t>(
                _mm256_movemask_epi8(SKIMLET_MATCHES_OF_BYTE(bytes + i, firstWant, firstMask)));
            words[w] = mask;
            notes.Note(w, mask);
        }
        return w;
    }
    // The second byte too: in names of letters a first and a last letter agree often enough
    // that the compares of the middle would cost more than the third test.
    const __m256i secondWant = _mm256_set1_epi8(static_cast<char>(needle.Want(1)));
    const __m256i secondMask = _mm256_set1_epi8(static_cast<char>(needle.Mask(1)));
    const std::size_t lastOffset = needle.size() - 1;
    const __m256i lastWant = _mm256_set1_epi8(static_cast<char>(needle.Want(lastOffset)));
    const __m256i lastMask = _mm256_set1_epi8(static_cast<char>(needle.Mask(lastOffset)));
    for (std::size_t i = from; i + 32 <= to; i += 32, ++w) {
        const uint32_t mask = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_and_si256(
            _mm256_and_si256(SKIMLET_MATCHES_OF_BYTE(bytes + i, firstWant, firstMask),
                             SKIMLET_MATCHES_OF_BYTE(bytes + i + 1, secondWant, secondMask)),
            SKIMLET_MATCHES_OF_BYTE(bytes + i + lastOffset, lastWant, lastMask))));
        const uint32_t whole = mask == 0 ? 0 : KeepWholeMatches(mask, bytes, i, needle);
        words[w] = whole;
        notes.Note(w, whole);
    }
    return w;
}
#endif

// Marks every start in [from, to) where `needle` lies in `data` (it may run past `to`).
// A start survives the block test when both its first and its last byte agree with the
// needle's, which rejects almost every position before any full compare.
void MarkMatches(std::string_view data, std::size_t from, std::size_t to, const ByteNeedle& needle,
                 MatchBits& bits) {
    const std::size_t wordCount = (to - from + 31) / 32;
    bits.words.resize(wordCount + 2);
    bits.marked.resize(bits.markLimit + 1);
    bits.markedCount = 0;
    uint32_t* words = bits.words.data();
    const std::size_t length = needle.size();
    const std::size_t lastStart = data.size() >= length ? data.size() - length + 1 : 0;
    const std::size_t end = std::min(to, lastStart);
    const char* bytes = data.data();
    std::size_t w = 0;
#if defined(SKIMLET_HAVE_AVX2_SCAN)
    if (HasAvx2() && end > from) w = MarkBlocksAvx2(bytes, from, end, needle, bits);
#endif
    WordNotes notes(bits);
#if defined(__SSE2__)
    const __m128i firstWant = _mm_set1_epi8(static_cast<char>(needle.Want(0)));
    const __m128i firstMask = _mm_set1_epi8(static_cast<char>(needle.Mask(0)));
    const __m128i lastWant = _mm_set1_epi8(static_cast<char>(needle.Want(length - 1)));
    const __m128i lastMask = _mm_set1_epi8(static_cast<char>(needle.Mask(length - 1)));
    for (std::size_t i = from + 32 * w; i + 32 <= end; i += 32, ++w) {
        uint32_t mask = 0;
        for (std::size_t half = 0; half < 2; ++half) {
            const char* at = bytes + i + 16 * half;
            const __m128i atFirst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            const __m128i atLast =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + length - 1));
            mask |= static_cast<uint32_t>(_mm_movemask_epi8(
                        _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(atFirst, firstMask), firstWant),
                                      _mm_cmpeq_epi8(_mm_or_si128(atLast, lastMask), lastWant))))
                    << (16 * half);
        }
        const uint32_t whole = mask == 0 ? 0 : KeepWholeMatches(mask, bytes, i, needle);
        words[w] = whole;
        notes.Note(w, whole);
    }
#endif
    for (; w < wordCount + 2; ++w) {
        uint32_t mask = 0;
        for (std::size_t k = 0; k < 32; ++k) {
            const std::size_t start = from + 32 * w + k;
            if (start < end && needle.At(bytes + start)) mask |= uint32_t{1} << k;
        }
        words[w] = mask;
        notes.Note(w, mask);
    }
}

// Entries a slice looks at together: their matches are marked, then read, while the marks are
// still in the nearest cache.
constexpr std::size_t ChunkEntries = 4096;

// A text the scan marks in the names of a chunk: the needle that drives the scan, then the other
// plain and excluded texts, which are marked too once a chunk turns out to hold many candidates.
struct ScanTerm {
    ByteNeedle needle;
    bool excludes = false;
};

// What is left to test of an entry once every scanned text has been settled by the marks.
struct DenseTest {
    const FileTable& table;
    const std::vector<uint8_t>* folderPasses;
    int32_t typeFilter;
    const EntryTest* rest;  // the wildcards, when there are any; else nothing

    // Whether an entry that the marks keep holds, without a branch when only the folder and the
    // type are left.
    bool Holds(std::size_t entry) const {
        if (rest) return rest->Holds(entry);
        bool holds = true;
        if (typeFilter != 0) holds &= table.Category(entry) == typeFilter;
        if (folderPasses) holds &= (*folderPasses)[table.FolderOf()[entry]] != 0;
        return holds;
    }
};

// The hits of the entries [begin, end), in table order. `scans` holds at least the driving
// needle; `test` checks a candidate in full, `dense` what the marks of every scan leave.
void ScanSlice(const FileTable& table, const std::vector<ScanTerm>& scans, const EntryTest& test,
               const DenseTest& dense, std::size_t begin, std::size_t end,
               std::vector<uint32_t>& hits) {
    if (begin >= end) return;
    const bool trivial = test.Trivial();
    const ByteNeedle& needle = scans.front().needle;
    const bool needleExcludes = scans.front().excludes;
    if (needle.empty()) {
        if (test.OnlyType()) {
            // A type filter alone reads one byte an entry.
            const uint8_t* category = table.Categories().data();
            const auto wanted = static_cast<uint8_t>(test.typeFilter);
            for (std::size_t entry = begin; entry < end; ++entry) {
                if (category[entry] == wanted) hits.push_back(static_cast<uint32_t>(entry));
            }
            return;
        }
        for (std::size_t entry = begin; entry < end; ++entry) {
            if (trivial || test.Holds(entry)) hits.push_back(static_cast<uint32_t>(entry));
        }
        return;
    }
    // A match may begin at the space before a name; the name is the one after it. A wildcard
    // found this way is tested again in full, as a space may stand inside a name. The starts of
    // a chunk run from the space before its first name to the space before the next chunk's.
    const std::size_t inName = needle.Want(0) == ' ' ? 1 : 0;
    const std::vector<uint32_t>& nameStart = table.NameStarts();
    std::vector<MatchBits> bits(scans.size());
    uint32_t chunkHits[ChunkEntries];
    for (std::size_t first = begin; first < end; first += ChunkEntries) {
        const std::size_t last = std::min(end, first + ChunkEntries);
        const std::size_t from = nameStart[first] - 1;
        const std::size_t to = nameStart[last] - 1;
        // Words with a mark stand in for the matches: a count of bits would cost a library call
        // per word where the processor is not known to count them.
        bits[0].markLimit = (last - first) / 16 + 1;
        MarkMatches(table.Names(), from, to, needle, bits[0]);
        if (needleExcludes || bits[0].markedCount >= bits[0].markLimit) {
            // Many candidates, or an excluded text: every entry of the chunk is looked at.
            std::size_t count = 0;
            const MatchBits& driving = bits[0];
            for (std::size_t entry = first; entry < last; ++entry) {
                const bool found = driving.Any(nameStart[entry] - inName - from,
                                               nameStart[entry + 1] - inName - from);
                chunkHits[count] = static_cast<uint32_t>(entry);
                count += found != needleExcludes ? 1 : 0;
            }
            if (trivial) {
                hits.insert(hits.end(), chunkHits, chunkHits + count);
                continue;
            }
            std::size_t kept = 0;
            // The other texts are marked over the whole chunk when the candidates are more than
            // an eighth of it; fewer are each tested in full, which costs less than the marks.
            if (scans.size() > 1 && count * 8 >= last - first) {
                for (std::size_t k = 1; k < scans.size(); ++k) {
                    bits[k].markLimit = 0;
                    MarkMatches(table.Names(), from, to, scans[k].needle, bits[k]);
                }
                for (std::size_t i = 0; i < count; ++i) {
                    const uint32_t entry = chunkHits[i];
                    const std::size_t start = nameStart[entry] - from;
                    const std::size_t stop = nameStart[entry + 1] - from;
                    bool candidate = true;
                    for (std::size_t k = 1; k < scans.size(); ++k)
                        candidate &= bits[k].Any(start, stop) != scans[k].excludes;
                    chunkHits[kept] = entry;
                    // Without wildcards the rest is branch-free: folder and type bytes.
                    if (dense.rest == nullptr)
                        kept += (candidate & dense.Holds(entry)) ? 1 : 0;
                    else
                        kept += candidate && dense.Holds(entry) ? 1 : 0;
                }
            } else {
                for (std::size_t i = 0; i < count; ++i) {
                    const uint32_t entry = chunkHits[i];
                    chunkHits[kept] = entry;
                    kept += test.Holds(entry) ? 1 : 0;
                }
            }
            count = kept;
            hits.insert(hits.end(), chunkHits, chunkHits + count);
            continue;
        }
        // Few candidates: each leads to its entry, which is tested in full, and the rest of that
        // entry's matches are passed.
        std::size_t entry = first;
        std::size_t next = 0;  // the first start, relative to `from`, still to be read
        for (std::size_t m = 0; m < bits[0].markedCount; ++m) {
            const std::size_t w = bits[0].marked[m];
            uint32_t word = bits[0].words[w];
            while (word != 0) {
                if (next >= 32 * (w + 1)) break;
                if (next > 32 * w) word &= ~uint32_t{0} << (next - 32 * w);
                if (word == 0) break;
                const std::size_t start =
                    from + 32 * w + static_cast<std::size_t>(std::countr_zero(word));
                entry = table.RowAt(start + inName, entry);
                if (trivial || test.Holds(entry)) hits.push_back(static_cast<uint32_t>(entry));
                next = nameStart[entry + 1] - inName - from;
            }
        }
    }
}

}  // namespace

std::shared_ptr<const PublishedTable> Publish(FileTable table) {
    return std::make_shared<const PublishedTable>(std::move(table));
}

ScanPlan PlanScan(const ParsedQuery& query) {
    ScanPlan plan;
    // A plain term drives the scan as it is; a wildcard's prefix behind the space before each
    // name, or its suffix before the space after. Lengths are compared in units, as the
    // folded bytes of one unit say nothing more about its rarity.
    std::size_t needleUnits = 0;
    const QueryTerm* exclusion = nullptr;
    for (const QueryTerm& term : query) {
        if (term.kind == TermKind::Exclusion && term.text.empty()) plan.impossible = true;
        if (term.kind == TermKind::Exclusion &&
            (exclusion == nullptr || term.text.size() > exclusion->text.size())) {
            exclusion = &term;
        }
        if (term.kind == TermKind::Drive) plan.anyDrive = true;
        if (term.kind == TermKind::Plain && term.text.size() > needleUnits) {
            plan.scanned = &term;
            plan.needle = FoldToBytes(term.text);
            needleUnits = term.text.size();
        }
        if (term.kind == TermKind::Wildcard) {
            if (!term.prefix.empty() && term.prefix.size() + 1 > needleUnits) {
                plan.scanned = nullptr;
                plan.needle = ' ' + FoldToBytes(term.prefix);
                needleUnits = term.prefix.size() + 1;
            }
            // Suffixes are mostly extensions, shared by many names; a prefix is the better guide.
            if (term.prefix.empty() && !term.suffix.empty() &&
                term.suffix.size() + 1 > needleUnits) {
                plan.scanned = nullptr;
                plan.needle = FoldToBytes(term.suffix) + ' ';
                needleUnits = term.suffix.size() + 1;
            }
        }
    }
    // With nothing to look for, the occurrences of an excluded text mark what to leave out.
    if (plan.needle.empty() && exclusion != nullptr && !plan.impossible) {
        plan.scanned = exclusion;
        plan.needle = FoldToBytes(exclusion->text);
        plan.needleExcludes = true;
    }
    return plan;
}

void CollectHits(const FileTable& table, const ParsedQuery& query, const ScanPlan& plan,
                 int32_t typeFilter, std::size_t sliceCount, std::vector<uint32_t>& hits,
                 std::vector<std::vector<uint32_t>>& sliceHits) {
    if (plan.impossible) return;
    std::vector<uint8_t> folderPasses;
    if (plan.anyDrive) MarkFolders(table, query, folderPasses);
    const std::vector<uint8_t>* passes = plan.anyDrive ? &folderPasses : nullptr;
    EntryTest test{table, {}, passes, typeFilter};
    // The wildcards alone, for the entries whose plain and excluded texts the marks settle.
    EntryTest wildcards{table, {}, passes, typeFilter};
    std::vector<ScanTerm> scans = {{ByteNeedle(plan.needle), plan.needleExcludes}};
    for (const QueryTerm& term : query) {
        if (&term == plan.scanned || term.kind == TermKind::Drive) continue;
        // "*" holds for every name.
        if (term.kind == TermKind::Wildcard && term.prefix.empty() && term.suffix.empty()) continue;
        ByteTerm byteTerm{term.kind, ByteNeedle(FoldToBytes(term.text)),
                          ByteNeedle(FoldToBytes(term.prefix)),
                          ByteNeedle(FoldToBytes(term.suffix))};
        if (term.kind == TermKind::Wildcard)
            wildcards.terms.push_back(byteTerm);
        else
            scans.push_back({byteTerm.text, term.kind == TermKind::Exclusion});
        test.terms.push_back(std::move(byteTerm));
    }
    const DenseTest dense{table, passes, typeFilter,
                          wildcards.terms.empty() ? nullptr : &wildcards};

    const std::size_t count = table.Size();
    sliceCount = std::clamp<std::size_t>(sliceCount, 1, std::max<std::size_t>(count, 1));
    if (sliceCount == 1) {
        ScanSlice(table, scans, test, dense, 0, count, hits);
        return;
    }
    if (sliceHits.size() < sliceCount - 1) sliceHits.resize(sliceCount - 1);
    // Slices of equal entry counts; the first slice writes straight into `hits`.
    auto sliceBegin = [&](std::size_t slice) { return count * slice / sliceCount; };
    ScanPool::Shared().Run(sliceCount, [&](std::size_t slice) {
        std::vector<uint32_t>& out = slice == 0 ? hits : sliceHits[slice - 1];
        if (slice != 0) out.clear();
        ScanSlice(table, scans, test, dense, sliceBegin(slice), sliceBegin(slice + 1), out);
    });
    std::size_t total = hits.size();
    for (std::size_t slice = 1; slice < sliceCount; ++slice) total += sliceHits[slice - 1].size();
    hits.reserve(total);
    for (std::size_t slice = 1; slice < sliceCount; ++slice) {
        hits.insert(hits.end(), sliceHits[slice - 1].begin(), sliceHits[slice - 1].end());
    }
}

std::size_t SliceCountFor(std::size_t entries) {
    // Below this a slice costs less than waking a thread.
    constexpr std::size_t SmallestSplit = 1 << 16;
    if (entries < SmallestSplit) return 1;
    return ScanPool::Shared().Workers() + 1;
}

std::size_t RunSearch(ResultSet& results, std::u16string_view queryText) {
    const ParsedQuery query = ParseQuery(queryText);
    if (query.empty() && results.TypeFilter() == 0) {
        results.ShowAll();
        return results.Size();
    }
    // The view's buffers are reused, so their capacity carries over from one keystroke to the
    // next.
    std::vector<uint32_t> hits = results.TakeRows();
    hits.clear();
    CollectHits(results.Table(), query, PlanScan(query), results.TypeFilter(),
                SliceCountFor(results.Table().Size()), hits, results.SliceScratch());
    results.ShowRows(std::move(hits));
    return results.Size();
}
