// Texts and memory blocks that the result list and the item actions hand to the system, made
// from a row of the ResultSet. Portable so that their layout can be checked natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "index/file_table.h"

// Copies `text` into a caller's buffer of `capacity` units: at most capacity - 1 units and a
// terminating zero. Nothing is written when the capacity is 0 or less.
void CopyCellText(std::u16string_view text, char16_t* buffer, int capacity);

// "创建时间: <created>,  修改时间: <modified>,  路径: <folder>", each text cut to 99 units.
std::u16string SelectionDescription(const FileTable& table, uint32_t row);

// The folder to open for "打开路径": the row's folder text, with a backslash added to a bare
// drive ("C:") so that the shell opens the drive's root, not its current folder.
std::u16string FolderToOpen(std::u16string_view folderPath);

// The DROPFILES header as the system lays it out (20 bytes, 4-byte fields).
struct DropFilesLayout {
    static constexpr std::size_t FilesOffsetField = 0;  // pFiles
    static constexpr std::size_t PointXField = 4;
    static constexpr std::size_t PointYField = 8;
    static constexpr std::size_t NonClientField = 12;  // fNC
    static constexpr std::size_t WideField = 16;       // fWide
    static constexpr std::size_t HeaderSize = 20;
};

// A CF_HDROP block naming one file: the header with a wide file list, then the path, its zero
// and the zero that ends the list, all UTF-16 little-endian.
std::vector<uint8_t> DropFilesBlock(std::u16string_view path);

// The program file beside the running one: the folder of `modulePath` and "Skimlet.exe". Empty
// when `modulePath` names no folder.
std::u16string SiblingExecutablePath(std::u16string_view modulePath);
