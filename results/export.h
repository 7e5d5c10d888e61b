// The comma-separated export of the rows the list shows.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "results/result_set.h"

// Converts text to the export's code page (the ANSI code page on Windows).
using CodePageConverter = std::function<std::string(std::u16string_view)>;

// Writes the header line from `headers`, then one line per row in order, CRLF line ends and a
// flush per line. The size column loses its commas; a field holding a comma, a double quote,
// CR or LF is quoted. The line ends are written as bytes, so open the file in binary mode.
// Returns false when a write fails.
bool WriteExport(std::FILE* file, const std::vector<std::u16string>& headers, const ResultSet& rows,
                 const CodePageConverter& convert);

enum class ExportOutcome { Written, CannotOpen, WriteFailed };

// WriteExport into `file` as it came from the open (nullptr when the open failed), then closes
// it; a failed close counts as a failed write, as it may be the one that flushes. `preamble` is
// written first, as it is.
ExportOutcome ExportToFile(std::FILE* file, const std::vector<std::u16string>& headers,
                           const ResultSet& rows, const CodePageConverter& convert,
                           std::string_view preamble = {});

// The byte-order mark that starts the UTF-8 export, so that spreadsheet programs read it as
// UTF-8 rather than in the ANSI code page.
inline constexpr std::string_view Utf8ByteOrderMark = "\xEF\xBB\xBF";

#ifndef _WIN32
// Natively: iconv to the named code page; unrepresentable characters become '?'. Nothing when
// iconv does not know the name.
std::optional<CodePageConverter> IconvConverter(const std::string& codePage);
#endif
