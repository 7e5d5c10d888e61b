// Writes the seed corpora made with the synthetic volume builder into fuzz/corpus/<target>/.
// Usage: fuzz_make_seeds CORPUS_DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_volumes.h"
#include "tests/index/ntfs_builder.h"

namespace {

void Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> Concatenated(const std::vector<testntfs::Bytes>& records) {
    std::vector<uint8_t> bytes;
    for (const testntfs::Bytes& record : records)
        bytes.insert(bytes.end(), record.begin(), record.end());
    return bytes;
}

std::vector<uint8_t> Utf16Query(uint8_t typeFilter, std::u16string_view text) {
    std::vector<uint8_t> bytes = {typeFilter};
    for (char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_seeds CORPUS_DIR\n");
        return 2;
    }
    using testntfs::RecordBuilder;
    const std::filesystem::path corpus = argv[1];
    Write(corpus / "fuzz_volume" / "sample", SampleVolume(SampleShape::Plain));
    Write(corpus / "fuzz_volume" / "sample-nonresident-bitmap",
          SampleVolume(SampleShape::NonResidentBitmap));
    Write(corpus / "fuzz_volume" / "sample-attribute-list",
          SampleVolume(SampleShape::AttributeList));
    Write(corpus / "fuzz_volume" / "sample-sparse-claims", SampleVolume(SampleShape::SparseClaims));

    const testntfs::Bytes runs = testntfs::EncodeRuns({{100, 3}, {-1, 2}, {300, 1}});
    Write(corpus / "fuzz_record" / "file-and-folder",
          Concatenated({RecordBuilder()
                            .StandardInformation(130000000000000000, 130000000100000000)
                            .FileName(37, u"report.txt")
                            .FileName(37, u"REPORT~1.TXT", 2)
                            .ResidentData(123)
                            .Plain(),
                        RecordBuilder(1024, testntfs::InUseFolder)
                            .StandardInformation(120000000000000000, 121000000000000000)
                            .FileName(5, u"报告")
                            .Plain()}));
    Write(corpus / "fuzz_record" / "extension-before-base",
          Concatenated(
              {RecordBuilder().BaseRecord(37 | uint64_t{1} << 48).FileName(5, u"link two").Plain(),
               RecordBuilder()
                   .StandardInformation(130000000000000000, 130000000000000000)
                   .FileName(5, u"link one")
                   .NonResidentData(5 * 4096 + 17, runs, 0, 5)
                   .ResidentData(10, u"stream")
                   .Plain()}));
    for (const auto& [name, text] :
         std::vector<std::pair<const char*, std::u16string>>{{"plain", u"report"},
                                                             {"drive-and-exclusion", u"d:  ab !cd"},
                                                             {"wildcard", u"rep*.log"},
                                                             {"star-only", u"* *t"},
                                                             {"cjk", u"报告 ！draft"},
                                                             {"empty", u""}}) {
        Write(corpus / "fuzz_query" / name, Utf16Query(0, text));
    }
    Write(corpus / "fuzz_query" / "folders-only", Utf16Query(5, u"a"));
    return 0;
}
