#include "index/classify.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "index/derived_texts.h"
#include "index/platform.h"
#include "index/utf8.h"

namespace {

// Replaces the icon list with one that records each resource asked for and hands out indices
// that differ from the key positions, so a map that ignored the returned index would show.
class RecordingIconList {
  public:
    RecordingIconList() : saved_(ThePlatform().appendIcon) {
        ThePlatform().appendIcon = [this](int resourceId) {
            resources.push_back(resourceId);
            return 1000 + 3 * static_cast<int>(resources.size() - 1);
        };
    }
    ~RecordingIconList() { ThePlatform().appendIcon = saved_; }
    std::vector<int> resources;

  private:
    std::function<int(int)> saved_;
};

int IconPosition(const char* key) {
    for (int i = 0; i < IconKeyCount; ++i)
        if (IconKeys[i] && std::strcmp(IconKeys[i], key) == 0) return i;
    return -1;
}

TEST(IconKeys, OrderGivesTheResourceNumbers) {
    struct Case {
        const char* key;
        int resource;
    } cases[] = {
        {"1logo", 102}, {"avi", 103}, {"disk", 113}, {"dll", 114}, {"fund", 118},
        {"isdir", 126}, {"mp3", 132}, {"recy", 140}, {"txt", 143}, {"zip", 150},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FirstIconResource + IconPosition(c.key), c.resource) << c.key;
    for (int i = 0; i < IconKeyCount; ++i) {
        ASSERT_NE(IconKeys[i], nullptr) << i;
        if (i > 0) {
            EXPECT_LT(std::strcmp(IconKeys[i - 1], IconKeys[i]), 0) << IconKeys[i];
        }
    }
}

TEST(IconKeys, MapHoldsTheIndexEachAppendReturned) {
    RecordingIconList iconList;
    IconMap icons = BuildIconMap();
    ASSERT_EQ(iconList.resources.size(), 49u);
    ASSERT_EQ(icons.size(), 49u);
    for (int i = 0; i < IconKeyCount; ++i) {
        EXPECT_EQ(iconList.resources[i], 102 + i);
        std::u16string key(IconKeys[i], IconKeys[i] + std::strlen(IconKeys[i]));
        EXPECT_EQ(icons.at(key), 1000 + 3 * i) << IconKeys[i];
    }
}

TEST(CategoryKeys, GroupsInTableOrder) {
    struct Case {
        char digit;
        int count;
        const char* first;
        const char* last;
    } cases[] = {
        {'1', 30, "ape", "wavpack"}, {'2', 9, "arj", "zip"},     {'3', 26, "c", "wps"},
        {'4', 6, "bat", "scr"},      {'5', 1, "isdir", "isdir"}, {'6', 28, "ani", "emf"},
        {'7', 22, "3gp", "wma"},
    };
    int position = 0;
    for (const Case& c : cases) {
        int start = position;
        while (position < CategoryKeyCount && CategoryKeys[position] &&
               CategoryKeys[position][0] == c.digit)
            ++position;
        EXPECT_EQ(position - start, c.count) << c.digit;
        if (position > start) {
            EXPECT_STREQ(CategoryKeys[start] + 1, c.first);
            EXPECT_STREQ(CategoryKeys[position - 1] + 1, c.last);
        }
    }
    EXPECT_EQ(position, CategoryKeyCount);
}

TEST(CategoryKeys, RepeatedKeysAndTheLastOneWins) {
    std::map<std::string, int> seen;
    for (const char* key : CategoryKeys) ++seen[key + 1];
    struct Case {
        const char* extension;
        int times;
    } repeats[] = {{"pdf", 2}, {"ppt", 2}, {"tag", 2}, {"asf", 2}};
    int repeated = 0;
    for (const auto& [extension, times] : seen) repeated += times - 1;
    EXPECT_EQ(repeated, 4);
    for (const Case& c : repeats) EXPECT_EQ(seen[c.extension], c.times) << c.extension;

    CategoryMap categories = BuildCategoryMap();
    EXPECT_EQ(categories.size(), 118u);
    EXPECT_EQ(categories.at(u"asf"), Video);
    EXPECT_EQ(categories.at(u"pdf"), Document);
    EXPECT_EQ(categories.at(u"tag"), Picture);
}

TEST(Classify, CategoryAndIconFromTheExtension) {
    struct Case {
        const char16_t* name;
        bool isFolder;
        int32_t category;
        const char* iconKey;
    } cases[] = {
        {u"song.MP3", false, Audio, "mp3"},
        {u"clip.asf", false, Video, "fund"},
        {u"movie.mkv", false, Video, "fund"},
        {u"lib.dll", false, Other, "dll"},
        {u"Music", true, Folder, "isdir"},
        {u"photos.2024.jpg", true, Folder, "isdir"},
        {u"archive.tar.gz", false, Compressed, "fund"},
        {u"photo.Jpg", false, Picture, "jpg"},
        {u"PHOTO.JPEG", false, Picture, "jpeg"},
        {u"readme", false, Other, "fund"},
        {u"abc.", false, Other, "fund"},
        {u"data.backup", false, Other, "fund"},
        {u"x.1logo", false, Other, "fund"},
        {u"x.isdir", false, Other, "fund"},
        {u"bin.recy", false, Other, "recy"},
        {u"vol.disk", false, Other, "disk"},
        {u"a.7z", false, Compressed, "fund"},
        {u"a.flac", false, Audio, "fund"},
        {u"a.sys", false, Other, "sys"},
        {u"setup.exe", false, Executable, "exe"},
        {u"run.CMD", false, Executable, "fund"},
        {u"report.docx", false, Document, "docx"},
        {u"main.c", false, Document, "c"},
        {u"tune.wav", false, Video, "wav"},
        {u"a.ÄBC", false, Other, "fund"},
        {u"a.ａｂｃ", false, Other, "fund"},
    };
    for (const Case& c : cases) {
        const Classification result = Classify(ExtensionFor(c.name, c.isFolder));
        EXPECT_EQ(result.category, c.category) << ToUtf8(c.name);
        EXPECT_STREQ(IconKeys[result.iconKey], c.iconKey) << ToUtf8(c.name);
    }
}

TEST(AppendIcons, EachKeyGetsTheIndexItsAppendReturned) {
    RecordingIconList iconList;
    const std::array<int32_t, IconKeyCount> icons = AppendIcons();
    ASSERT_EQ(iconList.resources.size(), 49u);
    for (int i = 0; i < IconKeyCount; ++i) {
        EXPECT_EQ(iconList.resources[i], 102 + i);
        EXPECT_EQ(icons[i], 1000 + 3 * i) << IconKeys[i];
    }
}

TEST(EntryClassifier, AgreesWithClassifyWhileRemembering) {
    const char16_t* extensions[] = {u"MP3", u"JPG", u"NOEXT", u"ISDIR", u"DLL", u"",
                                    u"GZ",  u"TXT", u"EXE",   u"ASF",   u"MKV", u"PNG",
                                    u"ÄBC", u"DOC", u"MP3",   u"ZIP",   u"A",   u"ZZZZ"};
    EntryClassifier classifier;
    // Long runs and short cycles, so entries are answered both from memory and from the maps.
    for (int round = 0; round < 40; ++round) {
        const char16_t* extension = extensions[(round * 7) % std::size(extensions)];
        for (int repeat = 0; repeat < round % 3 + 1; ++repeat) {
            const Classification viaMemory = classifier.Of(extension);
            const Classification viaMaps = Classify(extension);
            EXPECT_EQ(viaMemory.category, viaMaps.category) << ToUtf8(extension);
            EXPECT_EQ(viaMemory.iconKey, viaMaps.iconKey) << ToUtf8(extension);
        }
    }
}

}  // namespace
