#include "ui/item_texts.h"

#include <algorithm>

namespace {

// The list hands the description's texts over in 100-unit buffers.
constexpr std::size_t DescriptionTextLimit = 99;

std::u16string_view Cut(std::u16string_view text) {
    return text.substr(0, std::min(text.size(), DescriptionTextLimit));
}

void PutLittleEndian32(std::vector<uint8_t>& block, std::size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) block[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

void CopyCellText(std::u16string_view text, char16_t* buffer, int capacity) {
    if (buffer == nullptr || capacity <= 0) return;
    const std::size_t count = std::min(text.size(), static_cast<std::size_t>(capacity - 1));
    std::copy_n(text.data(), count, buffer);
    buffer[count] = u'\0';
}

std::u16string SelectionDescription(const FileTable& table, uint32_t row) {
    std::u16string text = u"创建时间: ";
    text += Cut(table.CreatedText(row).View());
    text += u",  修改时间: ";
    text += Cut(table.ModifiedText(row).View());
    text += u",  路径: ";
    text += Cut(table.FolderPath(row));
    return text;
}

std::u16string FolderToOpen(std::u16string_view folderPath) {
    std::u16string folder(folderPath);
    if (folder.size() == 2 && folder[1] == u':') folder += u'\\';
    return folder;
}

std::vector<uint8_t> DropFilesBlock(std::u16string_view path) {
    std::vector<uint8_t> block(DropFilesLayout::HeaderSize + (path.size() + 2) * 2, 0);
    PutLittleEndian32(block, DropFilesLayout::FilesOffsetField, DropFilesLayout::HeaderSize);
    PutLittleEndian32(block, DropFilesLayout::WideField, 1);
    std::size_t offset = DropFilesLayout::HeaderSize;
    for (char16_t unit : path) {
        block[offset++] = static_cast<uint8_t>(unit & 0xFF);
        block[offset++] = static_cast<uint8_t>(unit >> 8);
    }
    return block;
}

std::u16string SiblingExecutablePath(std::u16string_view modulePath) {
    const std::size_t slash = modulePath.find_last_of(u'\\');
    if (slash == std::u16string_view::npos) return {};
    std::u16string path(modulePath.substr(0, slash + 1));
    path += u"Skimlet.exe";
    return path;
}
