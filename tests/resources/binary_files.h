// Reading the resource compiler's output and the committed picture files byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline Bytes ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Little-endian reads that return 0 past the end, so a short file fails the checks, not the test.
inline uint32_t ReadU16(const Bytes& bytes, size_t offset) {
    if (offset + 2 > bytes.size()) return 0;
    return bytes[offset] | bytes[offset + 1] << 8;
}

inline uint32_t ReadU32(const Bytes& bytes, size_t offset) {
    if (offset + 4 > bytes.size()) return 0;
    return ReadU16(bytes, offset) | ReadU16(bytes, offset + 2) << 16;
}

inline int32_t ReadI32(const Bytes& bytes, size_t offset) {
    return static_cast<int32_t>(ReadU32(bytes, offset));
}

// One image of an .ico file as its directory describes it.
struct IcoImage {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    Bytes data;
};

// The images of an .ico file in directory order; empty if the header is not an icon header or an
// image lies outside the file.
inline std::vector<IcoImage> ReadIcoImages(const Bytes& file) {
    std::vector<IcoImage> images;
    if (ReadU16(file, 0) != 0 || ReadU16(file, 2) != 1) return images;
    uint32_t count = ReadU16(file, 4);
    for (uint32_t i = 0; i < count; ++i) {
        size_t entry = 6 + 16 * i;
        uint32_t size = ReadU32(file, entry + 8);
        uint32_t offset = ReadU32(file, entry + 12);
        if (entry + 16 > file.size() || offset > file.size() || size > file.size() - offset) {
            return {};
        }
        IcoImage image;
        image.width = file[entry] == 0 ? 256 : file[entry];
        image.height = file[entry + 1] == 0 ? 256 : file[entry + 1];
        image.bitCount = static_cast<int>(ReadU16(file, entry + 6));
        image.data.assign(file.begin() + offset, file.begin() + offset + size);
        images.push_back(std::move(image));
    }
    return images;
}
