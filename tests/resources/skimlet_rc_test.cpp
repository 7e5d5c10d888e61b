// The compiled resource script: what Skimlet.exe carries under which type and id.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>

#include "index/classify.h"
#include "tests/resources/binary_files.h"

namespace {

constexpr uint16_t RtIcon = 3;
constexpr uint16_t RtBitmap = 2;
constexpr uint16_t RtGroupIcon = 14;
constexpr uint16_t RtManifest = 24;

struct CompiledResource {
    uint16_t type = 0;
    uint16_t id = 0;
    Bytes data;
};

// Reads a type or name field of a .res header: 0xFFFF and a number, or a string (not used here,
// reported as id 0). Returns the offset after the field.
size_t ReadIdField(const Bytes& res, size_t offset, uint16_t& id, bool& numeric) {
    if (ReadU16(res, offset) == 0xFFFF) {
        id = static_cast<uint16_t>(ReadU16(res, offset + 2));
        numeric = true;
        return offset + 4;
    }
    numeric = false;
    id = 0;
    while (offset + 2 <= res.size() && ReadU16(res, offset) != 0) offset += 2;
    return offset + 2;
}

// Every resource of a .res file keyed by (type, id); named resources count as failures.
std::map<std::pair<uint16_t, uint16_t>, Bytes> ReadRes(const std::string& path, int& namedCount) {
    Bytes res = ReadFileBytes(path);
    std::map<std::pair<uint16_t, uint16_t>, Bytes> resources;
    namedCount = 0;
    size_t offset = 0;
    while (offset + 8 <= res.size()) {
        uint32_t dataSize = ReadU32(res, offset);
        uint32_t headerSize = ReadU32(res, offset + 4);
        if (headerSize < 8 || offset + headerSize + dataSize > res.size()) break;
        uint16_t type = 0, id = 0;
        bool typeNumeric = false, idNumeric = false;
        size_t field = ReadIdField(res, offset + 8, type, typeNumeric);
        ReadIdField(res, field, id, idNumeric);
        size_t data = offset + headerSize;
        // The file starts with an empty entry of type 0 that only marks the format.
        if (!(dataSize == 0 && type == 0 && typeNumeric)) {
            if (!typeNumeric || !idNumeric) ++namedCount;
            resources[{type, id}] = Bytes(res.begin() + data, res.begin() + data + dataSize);
        }
        offset = (data + dataSize + 3) & ~size_t{3};
    }
    return resources;
}

class CompiledResources : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { resources = ReadRes(SKIMLET_COMPILED_RES, namedCount); }
    static const Bytes* Find(uint16_t type, uint16_t id) {
        auto found = resources.find({type, id});
        return found == resources.end() ? nullptr : &found->second;
    }
    static inline std::map<std::pair<uint16_t, uint16_t>, Bytes> resources;
    static inline int namedCount = 0;
};

TEST_F(CompiledResources, HoldOnlyIconsTheQRcodePictureAndTheManifest) {
    ASSERT_FALSE(resources.empty()) << SKIMLET_COMPILED_RES;
    EXPECT_EQ(namedCount, 0);
    std::map<uint16_t, int> perType;
    for (const auto& [key, data] : resources) ++perType[key.first];
    std::map<uint16_t, int> expected = {
        {RtIcon, IconKeyCount * 4}, {RtGroupIcon, IconKeyCount}, {RtBitmap, 1}, {RtManifest, 1}};
    EXPECT_EQ(perType, expected);
}

// Icon group 102 + i must carry exactly the images of the file drawn for icon key i, so that the
// classification's key order and the resource ids cannot drift apart.
TEST_F(CompiledResources, IconGroupOfEachKeyHoldsThatKeysPictures) {
    for (int i = 0; i < IconKeyCount; ++i) {
        SCOPED_TRACE(IconKeys[i]);
        const Bytes* group = Find(RtGroupIcon, static_cast<uint16_t>(FirstIconResource + i));
        ASSERT_NE(group, nullptr);
        std::vector<IcoImage> drawn = ReadIcoImages(
            ReadFileBytes(std::string(SKIMLET_RESOURCES_DIR) + "/icons/" + IconKeys[i] + ".ico"));
        ASSERT_EQ(ReadU16(*group, 0), 0u);
        ASSERT_EQ(ReadU16(*group, 2), 1u);
        ASSERT_EQ(ReadU16(*group, 4), drawn.size());
        ASSERT_FALSE(drawn.empty());
        for (size_t j = 0; j < drawn.size(); ++j) {
            size_t entry = 6 + 14 * j;
            EXPECT_EQ((*group)[entry], drawn[j].width % 256);
            EXPECT_EQ(ReadU32(*group, entry + 8), drawn[j].data.size());
            const Bytes* image = Find(RtIcon, static_cast<uint16_t>(ReadU16(*group, entry + 12)));
            ASSERT_NE(image, nullptr);
            EXPECT_TRUE(*image == drawn[j].data) << "image " << j << " differs from the file";
        }
    }
}

TEST_F(CompiledResources, QRcodePictureIsBitmap151At600By815In24Bits) {
    const Bytes* bitmap = Find(RtBitmap, 151);
    ASSERT_NE(bitmap, nullptr);
    struct Field {
        const char* name;
        uint32_t value;
        uint32_t expected;
    } fields[] = {
        {"header size", ReadU32(*bitmap, 0), 40},         {"width", ReadU32(*bitmap, 4), 600},
        {"height (bottom-up)", ReadU32(*bitmap, 8), 815}, {"planes", ReadU16(*bitmap, 12), 1},
        {"bits per pixel", ReadU16(*bitmap, 14), 24},     {"compression", ReadU32(*bitmap, 16), 0},
    };
    for (const Field& field : fields) EXPECT_EQ(field.value, field.expected) << field.name;
    // Rows of 600 pixels of 3 bytes are already 4-byte aligned.
    EXPECT_GE(bitmap->size(), 40u + 600u * 3u * 815u);

    // The resource is the committed picture without its 14-byte file header.
    Bytes file = ReadFileBytes(std::string(SKIMLET_RESOURCES_DIR) + "/qrcode.bmp");
    ASSERT_GT(file.size(), 14u);
    EXPECT_TRUE(Bytes(file.begin() + 14, file.end()) == *bitmap);
}

TEST_F(CompiledResources, ManifestIsResource1AndAsksForAdministratorWithoutUIAccess) {
    const Bytes* manifest = Find(RtManifest, 1);
    ASSERT_NE(manifest, nullptr);
    std::string text(manifest->begin(), manifest->end());
    struct Wanted {
        const char* fragment;
    } wanted[] = {
        {"<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>"},
        {"urn:schemas-microsoft-com:asm.v1"},
        {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""},
    };
    for (const Wanted& w : wanted)
        EXPECT_NE(text.find(w.fragment), std::string::npos) << w.fragment;
    EXPECT_EQ(text.find("asInvoker"), std::string::npos);
    EXPECT_EQ(text.find("highestAvailable"), std::string::npos);
}

}  // namespace
