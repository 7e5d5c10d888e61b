// A folded query text to look for in the table's stores, which keep names as they are: an ASCII
// letter of the needle matches either case of that letter, every other byte only itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The byte form of the stores (unit_bytes.h) of a folded text.
std::string FoldToBytes(std::u16string_view text);

class ByteNeedle {
  public:
    ByteNeedle() = default;
    // `folded` is in the byte form, its letters upper case.
    explicit ByteNeedle(std::string_view folded);

    std::size_t size() const { return want_.size(); }
    bool empty() const { return want_.empty(); }
    // A byte of the store matches byte i of the needle when it equals Want(i) once or-ed with
    // Mask(i): 0x20 for a letter, which folds both cases onto the lower one, 0 otherwise.
    uint8_t Want(std::size_t i) const { return static_cast<uint8_t>(want_[i]); }
    uint8_t Mask(std::size_t i) const { return static_cast<uint8_t>(mask_[i]); }
    // Whether the needle lies at `at`, which has at least size() bytes.
    bool At(const char* at) const {
        for (std::size_t i = 0; i < want_.size(); ++i)
            if ((static_cast<uint8_t>(at[i]) | Mask(i)) != Want(i)) return false;
        return true;
    }
    // The first position at or after `from` where the needle lies in `text`, or npos.
    std::size_t FindIn(std::string_view text, std::size_t from = 0) const;
    bool Prefixes(std::string_view text) const { return text.size() >= size() && At(text.data()); }
    bool Suffixes(std::string_view text) const {
        return text.size() >= size() && At(text.data() + text.size() - size());
    }

  private:
    std::string want_;
    std::string mask_;
};
