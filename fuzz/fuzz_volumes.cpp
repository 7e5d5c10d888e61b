#include "fuzz/fuzz_volumes.h"

#include <cstring>
#include <string>

#include "index/index_build.h"
#include "index/raw_volume.h"
#include "tests/index/ntfs_builder.h"

std::shared_ptr<const PublishedTable> IndexImage(std::span<const uint8_t> image) {
    ReadAt read = [image](uint64_t offset, std::span<uint8_t> buffer) {
        if (offset > image.size() || buffer.size() > image.size() - offset) return false;
        std::memcpy(buffer.data(), image.data() + offset, buffer.size());
        return true;
    };
    VolumeOpener open = [&read](std::u16string_view) { return OpenRawVolume(read, nullptr); };
    return Publish(BuildIndex({u"\\\\.\\D:"}, open));
}

std::vector<uint8_t> SampleVolume(SampleShape shape) {
    using testntfs::RecordBuilder;
    // 512-byte clusters keep the image at 128 KiB, small enough to mutate quickly: 64 records.
    testntfs::VolumeLayout layout;
    layout.sectorsPerCluster = 1;
    layout.clusters = 256;
    layout.mftRuns = {{16, 128}};
    const char16_t* const folders[] = {u"Documents", u"报告", u"a.b", u"Deep"};
    const char16_t* const files[] = {
        u"readme.TXT", u"报告2023.pdf",   u"Report final.docx", u"a,b\"c.txt",       u"noext",
        u".hidden",    u"song.mp3",       u"clip.MKV",          u"setup.exe",        u"photo.jpeg",
        u"x",          u"archive.tar.gz", u"ÄÖÜ.txt",           u"report_99997.log", u"ab cd.ini",
        u"！感叹.png"};
    uint64_t number = 36;
    std::vector<uint64_t> folderNumbers = {5};
    for (const char16_t* name : folders) {
        const uint64_t parent = folderNumbers.back();
        layout.records[number] = RecordBuilder(1024, testntfs::InUseFolder)
                                     .StandardInformation(130000000000000000, 130000000600000000)
                                     .FileName(parent, name)
                                     .Protected();
        folderNumbers.push_back(number++);
    }
    std::size_t i = 0;
    for (const char16_t* name : files) {
        const uint64_t parent = folderNumbers[i % folderNumbers.size()];
        layout.records[number++] = RecordBuilder()
                                       .StandardInformation(120000000000000000 + i * 7777777777,
                                                            125000000000000000 + i * 999999999)
                                       .FileName(parent, name)
                                       .ResidentData(static_cast<uint32_t>(i * 37))
                                       .Protected();
        ++i;
    }
    layout.bitmapNonResident = shape != SampleShape::Plain;
    if (shape == SampleShape::AttributeList) {
        layout.mftRuns = {{16, 64}, {160, 32}, {200, 32}};
        layout.runsInBase = 1;
        layout.extensionRecords = {20, 21};
    }
    if (shape == SampleShape::SparseClaims) {
        layout.mftSparseTail = uint64_t{1} << 36;
        layout.bitmapClaimedSize = uint64_t{4} << 30;
    }
    return testntfs::MakeVolume(layout).image;
}

void TouchEveryRow(const ResultSet& rows) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < rows.Size(); ++i) {
        const FileTable& table = rows.Table();
        const uint32_t row = rows.RowNumber(i);
        const std::u16string texts[] = {table.Name(row),
                                        table.SizeText(row),
                                        std::u16string(table.CreatedText(row).View()),
                                        std::u16string(table.ModifiedText(row).View()),
                                        table.FolderPath(row),
                                        table.Extension(row),
                                        table.FullPath(row)};
        for (const std::u16string& text : texts)
            for (char16_t unit : text) units += unit;
        units += table[row].RecordNumber() + table[row].ParentRecordNumber() + table.IconIndex(row);
    }
    // Keeps the loop from being optimised away.
    volatile std::size_t sink = units;
    (void)sink;
}
