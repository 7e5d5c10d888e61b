#include "results/export.h"

#include "results/ordering.h"

#ifndef _WIN32
#include <iconv.h>

#include <bit>
#include <cerrno>
#include <memory>
#endif

namespace {

bool NeedsQuotes(std::u16string_view field) {
    for (char16_t unit : field) {
        // All four characters lie at or below the comma, so one compare clears most units.
        if (unit <= u',' && (unit == u',' || unit == u'"' || unit == u'\r' || unit == u'\n')) {
            return true;
        }
    }
    return false;
}

// A field with a separator, a quote or a line break is quoted and its quotes doubled, so every
// line still has five fields; any other field is written as it is.
void AppendField(std::u16string& line, std::u16string_view field) {
    if (!NeedsQuotes(field)) {
        line.append(field);
        return;
    }
    line.push_back(u'"');
    for (char16_t unit : field) {
        if (unit == u'"') line.push_back(u'"');
        line.push_back(unit);
    }
    line.push_back(u'"');
}

bool WriteLine(std::FILE* file, const std::u16string& line, const CodePageConverter& convert) {
    const std::string bytes = convert(line);
    // Every line reaches the file as soon as it ends.
    return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
           std::fwrite("\r\n", 1, 2, file) == 2 && std::fflush(file) == 0;
}

}  // namespace

bool WriteExport(std::FILE* file, const std::vector<std::u16string>& headers, const ResultSet& rows,
                 const CodePageConverter& convert) {
    std::u16string line;
    for (std::size_t column = 0; column < headers.size(); ++column) {
        if (column > 0) line.push_back(u',');
        AppendField(line, headers[column]);
    }
    if (!WriteLine(file, line, convert)) return false;

    const FileTable& table = rows.Table();
    for (std::size_t position = 0; position < rows.Size(); ++position) {
        const uint32_t row = rows.RowNumber(position);
        line.clear();
        for (int field = 0; field < ColumnCount; ++field) {
            const Column column = static_cast<Column>(field);
            if (field > 0) line.push_back(u',');
            std::u16string cell = CellText(table, row, column);
            if (column == Column::Size) std::erase(cell, u',');
            AppendField(line, cell);
        }
        if (!WriteLine(file, line, convert)) return false;
    }
    return true;
}

ExportOutcome ExportToFile(std::FILE* file, const std::vector<std::u16string>& headers,
                           const ResultSet& rows, const CodePageConverter& convert,
                           std::string_view preamble) {
    if (file == nullptr) return ExportOutcome::CannotOpen;
    // An empty view may hold no pointer at all, which fwrite must not be given.
    const bool written = (preamble.empty() || std::fwrite(preamble.data(), 1, preamble.size(),
                                                          file) == preamble.size()) &&
                         WriteExport(file, headers, rows, convert);
    const bool closed = std::fclose(file) == 0;
    return written && closed ? ExportOutcome::Written : ExportOutcome::WriteFailed;
}

#ifndef _WIN32
std::optional<CodePageConverter> IconvConverter(const std::string& codePage) {
    iconv_t handle = iconv_open(codePage.c_str(), "UTF-16LE");
    if (handle == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    auto shared =
        std::shared_ptr<void>(handle, [](void* h) { iconv_close(static_cast<iconv_t>(h)); });
    return CodePageConverter([shared](std::u16string_view text) {
        iconv_t cd = static_cast<iconv_t>(shared.get());
        // iconv reads UTF-16LE bytes; on a little-endian machine those are the text itself.
        std::string input;
        char* in = nullptr;
        if constexpr (std::endian::native == std::endian::little) {
            in = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
        } else {
            input.resize(text.size() * 2);
            for (std::size_t i = 0; i < text.size(); ++i) {
                input[2 * i] = static_cast<char>(text[i] & 0xFF);
                input[2 * i + 1] = static_cast<char>(text[i] >> 8);
            }
            in = input.data();
        }
        std::size_t inLeft = text.size() * 2;
        std::string out(text.size() * 3 + 16, '\0');
        char* next = out.data();
        std::size_t outLeft = out.size();
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        while (inLeft > 0) {
            if (iconv(cd, &in, &inLeft, &next, &outLeft) != static_cast<std::size_t>(-1)) break;
            if (errno == E2BIG) {
                const std::size_t used = static_cast<std::size_t>(next - out.data());
                out.resize(out.size() * 2);
                next = out.data() + used;
                outLeft = out.size() - used;
                continue;
            }
            // A character the code page lacks (or a lone surrogate) becomes one question mark;
            // a surrogate pair is one character.
            std::size_t skip = 2;
            const char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(in[0]) |
                                                        static_cast<unsigned char>(in[1]) << 8);
            if (unit >= 0xD800 && unit <= 0xDBFF && inLeft >= 4) {
                const char16_t low = static_cast<char16_t>(static_cast<unsigned char>(in[2]) |
                                                           static_cast<unsigned char>(in[3]) << 8);
                if (low >= 0xDC00 && low <= 0xDFFF) skip = 4;
            }
            if (outLeft == 0) {
                const std::size_t used = static_cast<std::size_t>(next - out.data());
                out.resize(out.size() * 2);
                next = out.data() + used;
                outLeft = out.size() - used;
            }
            *next++ = '?';
            --outLeft;
            in += skip;
            inLeft -= skip > inLeft ? inLeft : skip;
        }
        // Let a stateful code page return to its initial shift state.
        for (;;) {
            if (iconv(cd, nullptr, nullptr, &next, &outLeft) != static_cast<std::size_t>(-1)) break;
            const std::size_t used = static_cast<std::size_t>(next - out.data());
            out.resize(out.size() * 2);
            next = out.data() + used;
            outLeft = out.size() - used;
        }
        out.resize(static_cast<std::size_t>(next - out.data()));
        return out;
    });
}
#endif
