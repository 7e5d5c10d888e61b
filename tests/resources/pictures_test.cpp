// The committed pictures: the icon files drawn for the icon keys and the QR-code picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "index/classify.h"
#include "resources/maker_texts.h"
#include "tests/resources/binary_files.h"

namespace {

std::string IconPath(const char* key) {
    return std::string(SKIMLET_RESOURCES_DIR) + "/icons/" + key + ".ico";
}

// The most frequent fully opaque colour of a 32-bit icon image (0xRRGGBB), or -1 if the image
// is not a 32-bit DIB of its stated size.
long DominantColour(const IcoImage& image) {
    const Bytes& dib = image.data;
    if (ReadU32(dib, 0) != 40 || ReadI32(dib, 4) != image.width ||
        ReadI32(dib, 8) != 2 * image.height || ReadU16(dib, 14) != 32) {
        return -1;
    }
    size_t pixels = static_cast<size_t>(image.width) * image.height;
    if (dib.size() < 40 + 4 * pixels) return -1;
    std::map<long, int> counts;
    for (size_t p = 0; p < pixels; ++p) {
        const uint8_t* bgra = &dib[40 + 4 * p];
        if (bgra[3] == 255) ++counts[bgra[2] << 16 | bgra[1] << 8 | bgra[0]];
    }
    long best = -1;
    int bestCount = 0;
    for (const auto& [colour, count] : counts) {
        if (count > bestCount) best = colour, bestCount = count;
    }
    return best;
}

TEST(IconFiles, EveryKeyHas16_20_32And48PixelImagesIn32Bits) {
    const int wantedSizes[] = {16, 20, 32, 48};
    for (const char* key : IconKeys) {
        SCOPED_TRACE(key);
        std::vector<IcoImage> images = ReadIcoImages(ReadFileBytes(IconPath(key)));
        ASSERT_EQ(images.size(), 4u);
        for (size_t j = 0; j < images.size(); ++j) {
            EXPECT_EQ(images[j].width, wantedSizes[j]);
            EXPECT_EQ(images[j].height, wantedSizes[j]);
            EXPECT_EQ(images[j].bitCount, 32);
        }
    }
}

// A file-type icon is a tile in the colour of the key's category: keys of one category share a
// colour and different categories never do. The categories come from the classification table,
// not from the drawing script. The program icon and the folder are drawn differently.
TEST(IconFiles, TileColourFollowsTheKeysCategory) {
    CategoryMap categories = BuildCategoryMap();
    std::map<int, long> colourOfCategory;
    std::map<long, int> categoryOfColour;
    for (const char* key : IconKeys) {
        std::string name(key);
        if (name == "1logo" || name == "isdir") continue;
        SCOPED_TRACE(name);
        auto found = categories.find(std::u16string(name.begin(), name.end()));
        int category = found == categories.end() ? Other : found->second;
        std::vector<IcoImage> images = ReadIcoImages(ReadFileBytes(IconPath(key)));
        ASSERT_FALSE(images.empty());
        long colour = DominantColour(images.back());
        ASSERT_NE(colour, -1);
        auto [byCategory, newCategory] = colourOfCategory.emplace(category, colour);
        EXPECT_EQ(byCategory->second, colour) << "category " << category;
        auto [byColour, newColour] = categoryOfColour.emplace(colour, category);
        EXPECT_EQ(byColour->second, category) << "colour " << std::hex << colour;
    }
    // Every category except the folder's has at least one icon key.
    EXPECT_EQ(colourOfCategory.size(), 7u);
}

std::string RunAndRead(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string output;
    if (!pipe) return output;
    char buffer[256];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe.get())) output.append(buffer, n);
    return output;
}

// Decoded by an independent QR reader, the picture must give the product web address.
TEST(QRcodePicture, DecodesToTheProductWebAddress) {
    ASSERT_EQ(RunAndRead("command -v zbarimg >/dev/null && echo found"), "found\n")
        << "zbarimg (Debian package zbar-tools) is needed to read the picture";
    std::string decoded = RunAndRead("zbarimg --raw -q '" + std::string(SKIMLET_RESOURCES_DIR) +
                                     "/qrcode.bmp' 2>/dev/null");
    std::string address;
    for (const wchar_t* c = ProductWebAddress; *c; ++c) address += static_cast<char>(*c);
    EXPECT_EQ(decoded, address + "\n");
}

TEST(MakerTexts, AddressesHaveTheirForms) {
    std::wstring web = ProductWebAddress, email = MakerEmailAddress, notice = MakerNoticeLine;
    struct Case {
        const char* what;
        bool holds;
    } cases[] = {
        {"web address is an https URL", web.rfind(L"https://", 0) == 0 && web.size() > 8},
        {"web address has no blank", web.find(L' ') == std::wstring::npos},
        {"e-mail has one @ inside", email.find(L'@') != std::wstring::npos &&
                                        email.find(L'@') == email.rfind(L'@') &&
                                        email.front() != L'@' && email.back() != L'@'},
        {"e-mail has no scheme", email.find(L':') == std::wstring::npos},
        {"notice line names a year", notice.find(L"20") != std::wstring::npos},
    };
    for (const Case& c : cases) EXPECT_TRUE(c.holds) << c.what;
}

}  // namespace
