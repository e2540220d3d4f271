#include "i18n/EmbeddedFiles.h"

#include <gtest/gtest.h>

#include "TempDir.h"
#include "core/Error.h"
#include "i18n/EmbeddedFilesWriter.h"

namespace {

const std::string kMarker = "6637DB2E-62E1-4A60-AC19-C23867046A89";

std::uint64_t U64At(const std::string& bytes, std::size_t pos) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[pos + i]);
    return value;
}

std::string U64(std::uint64_t value) {
    std::string out;
    for (int i = 0; i < 8; ++i)
        out += static_cast<char>(value >> (8 * i));
    return out;
}

std::string Entry(std::uint64_t next, std::uint64_t offset, std::uint64_t size,
                  const std::string& name) {
    return U64(next) + U64(offset) + U64(size) + name;
}

std::string ErrorOf(const std::vector<TFileToEmbed>& files) {
    try {
        MakeEmbeddedBlock(files);
    } catch (const TError& error) {
        return error.what();
    }
    return "embedded";
}

} // namespace

TEST(EmbeddedFilesTest, WritesTheBlockAndReadsItBack) {
    TTempDir dir;
    WriteFileBytes(dir.file("default.mo"), "header only");
    WriteFileBytes(dir.file("da.mo"), "Danish catalogue");
    const std::string block =
        MakeEmbeddedBlock({{"default.mo", dir.file("default.mo")},
                           {"locale/da/LC_MESSAGES/default.mo", dir.file("da.mo")}});

    EXPECT_EQ(block.substr(0, 36), kMarker);
    const std::uint64_t first = U64At(block, 36);
    // Marker and offset, the files, two 256-byte entries, eight zero bytes closing the chain.
    EXPECT_EQ(first, 44u + 11 + 16);
    EXPECT_EQ(block.substr(44, 11), "header only");
    ASSERT_EQ(block.size(), first + 2 * 256 + 8);
    EXPECT_EQ(U64At(block, first), first + 256);
    EXPECT_EQ(U64At(block, first + 256), first + 512);
    EXPECT_EQ(U64At(block, first + 512), 0u);
    EXPECT_EQ(block.substr(first + 256 + 24, 32) + "|", "locale\\da\\LC_MESSAGES\\default.mo|");
    EXPECT_EQ(block.substr(first + 256 + 24 + 32), std::string(200, ' ') + U64(0));

    const auto table = ReadEmbeddedBlock(block);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].name, "default.mo");
    EXPECT_EQ(block.substr(table[0].offset, table[0].size), "header only");
    const TEmbeddedFile* da = FindEmbeddedFile(table, "LOCALE\\DA\\lc_messages\\Default.MO");
    ASSERT_NE(da, nullptr);
    EXPECT_EQ(block.substr(da->offset, da->size), "Danish catalogue");
    EXPECT_EQ(FindEmbeddedFile(table, "locale/da/LC_MESSAGES/default.mo"), nullptr);
    EXPECT_EQ(FindEmbeddedFile(table, "locale\\de\\LC_MESSAGES\\default.mo"), nullptr);

    // nothing to carry: the marker with a zero offset, which reads as no table
    EXPECT_EQ(MakeEmbeddedBlock({}), kMarker + U64(0));
    EXPECT_TRUE(ReadEmbeddedBlock(kMarker + U64(0)).empty());
    std::string foreign = block;
    foreign[0] = '7';
    EXPECT_TRUE(ReadEmbeddedBlock(foreign).empty());
}

TEST(EmbeddedFilesTest, TheGeneratedSourceHoldsTheBlockByteForByte) {
    std::string block = kMarker + U64(0);
    for (int i = 0; i < 256; ++i)
        block += static_cast<char>(i);
    const std::string source = EmbeddedBlockSource(block);
    EXPECT_NE(source.find("const std::size_t trimvale_embedded_files_size ="), std::string::npos);
    std::string bytes;
    for (std::size_t at = source.find("{\n"); (at = source.find("0x", at)) != std::string::npos;
         at += 4)
        bytes += static_cast<char>(std::stoi(source.substr(at + 2, 2), nullptr, 16));
    EXPECT_EQ(bytes, block);
}

TEST(EmbeddedFilesTest, RefusesNamesItCannotServe) {
    TTempDir dir;
    WriteFileBytes(dir.file("a.mo"), "a");
    EXPECT_EQ(ErrorOf({{"a.mo", dir.file("a.mo")}, {"A.MO", dir.file("a.mo")}}),
              "EmbedFiles: \"A.MO\" given twice");
    EXPECT_EQ(ErrorOf({{std::string(233, 'n'), dir.file("a.mo")}}),
              "EmbedFiles: unusable name \"" + std::string(233, 'n') + "\"");
    EXPECT_EQ(ErrorOf({{"b.mo", dir.file("b.mo")}}), "EmbedFiles: cannot read " + dir.file("b.mo"));
}

TEST(EmbeddedFilesTest, DamagedChainsCountAsNoTable) {
    // Image of 100 bytes, a 10-byte file at 100, entries at 110 and 366, end at 622.
    const std::string image(100, 'x'), file(10, 'f');
    const auto build = [&](std::uint64_t next1, std::uint64_t next2, std::uint64_t offset,
                           std::uint64_t size) {
        std::string bytes = image + file;
        bytes += Entry(next1, offset, size, "a.mo");
        bytes.resize(366, ' ');
        bytes += Entry(next2, 100, 10, "b.mo");
        bytes.resize(622, ' ');
        return bytes + U64(0);
    };
    const std::string good = build(366, 622, 100, 10);
    ASSERT_EQ(ReadEmbeddedTable(good, 110).size(), 2u);
    EXPECT_EQ(ReadEmbeddedTable(good, 110)[1].name, "b.mo");
    EXPECT_TRUE(ReadEmbeddedTable(good, 622).empty()); // just the closing zeros

    const std::pair<const char*, std::string> cases[] = {
        {"loops back to the first entry", build(366, 110, 100, 10)},
        {"points at itself", build(110, 622, 100, 10)},
        {"overlaps its own numbers", build(120, 622, 100, 10)},
        {"points past the end", build(366, 5000, 100, 10)},
        {"points at the last bytes", build(366, 627, 100, 10)},
        {"file past the end", build(366, 622, 620, 20)},
        {"file size wraps around", build(366, 622, 100, ~std::uint64_t{0} - 50)},
        {"no closing zeros", good.substr(0, 622)},
    };
    for (const auto& [what, bytes] : cases)
        EXPECT_TRUE(ReadEmbeddedTable(bytes, 110).empty()) << what;
    for (std::uint64_t first : {std::uint64_t{626}, std::uint64_t{700}, ~std::uint64_t{0} - 3})
        EXPECT_TRUE(ReadEmbeddedTable(good, first).empty()) << first;
}

TEST(EmbeddedFilesTest, ProgramsWithoutTablesReadAsEmpty) {
    // this test program is linked without the catalogues' block
    EXPECT_TRUE(EmbeddedFilesBlock().empty());
    EXPECT_EQ(EmbeddedTableOffset(), 0u);
}
