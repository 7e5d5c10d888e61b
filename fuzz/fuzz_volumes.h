// What the fuzz targets share: indexing a volume image held in memory exactly as the program
// indexes a drive, and a small volume with names of every kind for the query target.
#pragma once

#include <cstdint>
#include <span>

#include "search/search_driver.h"

// Reads `image` as the raw reader reads a volume device (reads past its end fail), walks it and
// publishes the table.
std::shared_ptr<const PublishedTable> IndexImage(std::span<const uint8_t> image);

// How the sample's $MFT is laid out: its bitmap in record 0 or in clusters of its own; split over
// extension records named by an attribute list; or claiming far more than it stores, as a volume
// edited by hand does (2^36 sparse clusters after its runs, a sparse bitmap of 4 GiB).
enum class SampleShape { Plain, NonResidentBitmap, AttributeList, SparseClaims };

// A volume of a few dozen files and folders: ASCII in both cases, CJK, names with dots, spaces,
// commas and quotes, nested folders.
std::vector<uint8_t> SampleVolume(SampleShape shape = SampleShape::Plain);

// Reads every field and text of every row, so that a text pointing outside its storage is caught
// by the sanitizers.
void TouchEveryRow(const ResultSet& rows);
