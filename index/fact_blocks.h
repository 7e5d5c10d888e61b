// Facts appended in blocks and let go from the front or in slices: a walk that makes its entries
// from its facts frees each block once its entries are made, so it never holds every fact beside
// every entry.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// Four megabytes a block by default: small next to a large volume's facts, so that most are freed
// early, and large enough that the allocator gives a freed block back to the system.
template <typename Fact, std::size_t BlockBytes = (std::size_t{4} << 20)>
class FactBlocks {
  public:
    static constexpr std::size_t BlockSize = std::max<std::size_t>(1, BlockBytes / sizeof(Fact));

    // About how many facts will come: a small volume's one block is made that large, not
    // BlockSize; a block grows past what was expected when it must, never past BlockSize.
    void Expect(std::size_t count) { expected_ = count; }
    void push_back(const Fact& fact) {
        if (size_ % BlockSize == 0) {
            blocks_.emplace_back();
            const std::size_t left = expected_ > size_ ? expected_ - size_ : BlockSize;
            blocks_.back().reserve(
                std::clamp<std::size_t>(left, std::min<std::size_t>(64, BlockSize), BlockSize));
        }
        std::vector<Fact>& block = blocks_.back();
        if (block.size() == block.capacity())
            block.reserve(std::min(BlockSize, 2 * block.capacity()));
        block.push_back(fact);
        ++size_;
    }
    std::size_t size() const { return size_; }
    Fact& operator[](std::size_t i) { return blocks_[i / BlockSize][i % BlockSize]; }
    const Fact& operator[](std::size_t i) const { return blocks_[i / BlockSize][i % BlockSize]; }

    // Frees every block that lies wholly below `index`; those facts must not be read again.
    void ReleaseBelow(std::size_t index) {
        for (; released_ < index / BlockSize && released_ < blocks_.size(); ++released_)
            blocks_[released_] = std::vector<Fact>();
    }
    // Frees every block that lies wholly inside [from, to). Threads may do this at once, each
    // inside a slice of its own, as no block lies wholly inside two slices.
    void ReleaseInside(std::size_t from, std::size_t to) {
        to = std::min(to, size_);
        for (std::size_t b = (from + BlockSize - 1) / BlockSize; b < to / BlockSize; ++b)
            blocks_[b] = std::vector<Fact>();
    }
    // The bytes the blocks still hold.
    std::size_t BytesHeld() const {
        std::size_t bytes = 0;
        for (const std::vector<Fact>& block : blocks_) bytes += block.capacity() * sizeof(Fact);
        return bytes;
    }

  private:
    std::vector<std::vector<Fact>> blocks_;
    std::size_t expected_ = 0;
    std::size_t size_ = 0;
    std::size_t released_ = 0;
};
