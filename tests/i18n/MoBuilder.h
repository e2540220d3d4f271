#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>

/// Writes a GNU gettext MO catalogue for tests: the header entry plus the given
/// English texts and translations, in either byte order and without hash table.
inline std::string MakeMo(const std::map<std::string, std::string>& messages,
                          bool bigEndian = false) {
    std::map<std::string, std::string> all = messages;
    all.emplace("", "Content-Type: text/plain; charset=UTF-8\n");
    const auto word = [bigEndian](std::string& out, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>(bigEndian ? v >> (24 - 8 * i) : v >> (8 * i));
    };
    const auto n = static_cast<std::uint32_t>(all.size());
    const std::uint32_t originals = 28, translations = originals + 8 * n;
    std::string head, strings;
    word(head, 0x950412DE);
    for (std::uint32_t v : {0u, n, originals, translations, 0u, translations + 8 * n})
        word(head, v);
    std::string origTable, transTable;
    std::uint32_t pos = translations + 8 * n;
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& [id, text] : all) {
            const std::string& s = pass == 0 ? id : text;
            word(pass == 0 ? origTable : transTable, static_cast<std::uint32_t>(s.size()));
            word(pass == 0 ? origTable : transTable, pos);
            strings += s;
            strings += '\0';
            pos += static_cast<std::uint32_t>(s.size()) + 1;
        }
    }
    return head + origTable + transTable + strings;
}
