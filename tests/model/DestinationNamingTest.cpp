#include "model/DestinationNaming.h"

#include <gtest/gtest.h>

#include "core/Error.h"

namespace {

struct NamingCase {
    const char* input;
    const char* expected;
};

TEST(DestinationNaming, SafeNamesKeepOnlyPlainCharacters) {
    const NamingCase cases[] = {
        {"\xC3\x86r\xC3\xB8 Caf\xC3\xA9 (2).jpg", "Aeroe_Cafe__2_.jpg"},
        {"\xC3\x9C"
         "ber$5=ok.jpg",
         "UberS5-ok.jpg"},
        {"IMG_0001-a.JPG", "IMG_0001-a.JPG"},
        {"100%'&\"#!.jpg", "100______.jpg"},
        {"a/b\\c:d\t\n.jpg", "a_b_c_d__.jpg"},
        // ß, ©, ®, ², ×, ÷, ¬, ÿ, Å
        {"\xC3\x9F\xC2\xA9\xC2\xAE\xC2\xB2\xC3\x97\xC3\xB7\xC2\xAC\xC3\xBF\xC3\x85", "ssCR2x--yAa"},
        // Þ, ð, þ and the unlisted upper-half signs ¡ £ ¤ µ
        {"\xC3\x9E\xC3\xB0\xC3\xBE\xC2\xA1\xC2\xA3\xC2\xA4\xC2\xB5", "_______"},
        // beyond Latin-1: each character is one "_", whatever its length in bytes
        {"\xE6\x97\xA5\xE6\x9C\xAC.jpg", "__.jpg"},
        {"\xF0\x9F\x93\xB7x\xC5\x81", "_x_"},
        // stray bytes that are no UTF-8 read as Latin-1 (e acute, y diaeresis, the currency sign)
        {"a\xE9"
         "b\xFF\xA4.jpg",
         "aeby_.jpg"},
        {"", ""},
    };
    for (const NamingCase& c : cases)
        EXPECT_EQ(MakeSafeFileName(c.input), c.expected) << c.input;
}

TEST(DestinationNaming, SafeNamesMapTheAccentedLettersByTheirBase) {
    // À..ß and à..ÿ in code order, with the letters that have no plain form as "_"
    std::string upper, lower;
    for (char32_t c = 0xC0; c <= 0xDF; ++c) {
        upper += static_cast<char>(0xC3);
        upper += static_cast<char>(0x80 + (c - 0xC0));
        lower += static_cast<char>(0xC3);
        lower += static_cast<char>(0xA0 + (c - 0xC0));
    }
    EXPECT_EQ(MakeSafeFileName(upper), "AAAAAeAaAeCEEEEIIIIDNOOOOOexOeUUUUY_ss");
    EXPECT_EQ(MakeSafeFileName(lower), "aaaaaeaaaeceeeeiiii_noooooe-oeuuuuy_y");
}

struct TemplateCase {
    const char* name;
    const char* templ;
    const char* expected;
};

TEST(DestinationNaming, TemplatesReplaceTheBaseAndKeepAJpegExtension) {
    const TemplateCase cases[] = {
        {"IMG_0001.JPG", "%N_Crop", "IMG_0001_Crop.JPG"},
        {"IMG_0001.JPG", "crop_%n.jpg", "crop_IMG_0001.jpg"},
        {"IMG_0001.JPG", "crop_%n.JPEG", "crop_IMG_0001.JPEG"},
        {"a.b.jpeg", "%N", "a.b.jpeg"},
        {"photo", "%N_x", "photo_x"},
        {"photo.jpg", "%N.jpe", "photo.jpe.jpg"},
        {"photo.Jpg", "%n-%N-%n", "photo-photo-photo.Jpg"},
        {"photo.jpg", "fixed", "fixed.jpg"},
        {"photo.jpg", "%x%%N", "%x%photo.jpg"},
        {"photo.jpg", "", ".jpg"},
        {".jpg", "%N_c", "_c.jpg"},
        {"photo.", "%N_c", "photo_c."},
        // the extension is taken from the last path component only
        {"photo.tif", "v1.0/%N", "v1.0/photo.tif"},
        {"photo.jpg", "%N.jpg\\sub", "photo.jpg\\sub.jpg"},
        // "%n" is replaced first, so a base holding "%N" is replaced again
        {"a%N.jpg", "%n", "aa%N.jpg"},
    };
    for (const TemplateCase& c : cases)
        EXPECT_EQ(ApplyNameTemplate(c.name, c.templ), c.expected) << c.name << " " << c.templ;
}

struct PathCase {
    const char* folder;
    const char* name;
    const char* expected;
};

TEST(DestinationNaming, OutputPathJoinsFolderAndLastComponent) {
    const PathCase cases[] = {
        {"/home/u/out", "x.jpg", "/home/u/out/x.jpg"},
        {"/home/u/out/", "x.jpg", "/home/u/out/x.jpg"},
        {"/home/u/out\\", "x.jpg", "/home/u/out/x.jpg"},
        {"/home/u/out//", "x.jpg", "/home/u/out//x.jpg"},
        {"/", "x.jpg", "/x.jpg"},
        {"out", "sub\\x.jpg", "out/x.jpg"},
        {"out", "../../etc/x.jpg", "out/x.jpg"},
        {"out", "/abs/x.jpg", "out/x.jpg"},
        {"out", "...", "out/..."},
        {"out", ".hidden", "out/.hidden"},
        {"out", " x .jpg", "out/ x .jpg"},
    };
    for (const PathCase& c : cases)
        EXPECT_EQ(OutputPath(c.folder, c.name), c.expected) << c.folder << " " << c.name;
}

TEST(DestinationNaming, OutputPathRefusesNamesThatAreNoFile) {
    for (const char* name : {"", ".", "..", "sub/", "sub\\", "a/..", "a\\.", "/"}) {
        try {
            OutputPath("/home/u/out", name);
            ADD_FAILURE() << "no error for \"" << name << "\"";
        } catch (const TError& e) {
            EXPECT_EQ(e.Fault(), (TFault{TErrorKind::BadOutputName, name, "", ""}));
        }
    }
    try {
        OutputPath("", "x.jpg");
        ADD_FAILURE() << "no error without a folder";
    } catch (const TError& e) {
        EXPECT_EQ(e.Kind(), TErrorKind::NoDestination);
    }
}

} // namespace
