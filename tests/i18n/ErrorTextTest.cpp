#include "i18n/ErrorText.h"

#include <string>

#include <gtest/gtest.h>

#include "i18n/gnugettext.h"

// The sentences both the window and the command line show, in English: the
// file and the reporter's words where the sentence has room, in brackets
// after it where it has none, on one line, and no name of a part of the program.
TEST(ErrorTextTest, EachKindHasItsSentence) {
    SelectLanguage("en_US");
    using enum TErrorKind;
    const struct {
        TFault fault;
        std::string text;
    } cases[] = {
        {{Other, "", "Cropping stopped by the user", ""}, "Cropping stopped by the user"},
        {{Missing, "/p/a.jpg", "No such file or directory", ""}, "The file does not exist"},
        {{CannotRead, "/p/a.jpg", "Permission denied", ""},
         "Unable to read /p/a.jpg: Permission denied"},
        {{Empty, "/p/a.jpg", "", ""}, "The file is empty"},
        {{NotJpeg, "/p/a.jpg", "Not a JPEG file: starts with 0x6e 0x6f", ""},
         "The file is not a JPEG photo (Not a JPEG file: starts with 0x6e 0x6f)"},
        {{CutShort, "/p/a.jpg", "", ""}, "The photo is cut short: its data ends early"},
        {{Damaged, "/p/a.jpg", "Bogus marker length\n", ""},
         "The photo cannot be read (Bogus marker length)"},
        {{TooLarge, "/p/a.jpg", "", ""}, "The photo is too large to be read"},
        {{Changed, "/p/a.jpg", "", ""}, "The photo /p/a.jpg has changed since it was added"},
        {{BadOutputName, "..", "", ""}, "The destination file name \"..\" names no file"},
        {{DiskFull, "/out", "", ""}, "The disk holding /out is full"},
        {{DiskFull, "/out", "Output file write error --- out of disk space?", ""},
         "The disk holding /out is full (jpegtran: Output file write error --- out of disk "
         "space?)"},
        {{TransformerFailed, "/p/a.jpg", "Premature end of JPEG file", ""},
         "jpegtran failed: Premature end of JPEG file"},
        {{TransformerStatus, "/p/a.jpg", "", "1"}, "jpegtran failed with exit status 1"},
        {{TransformerSignal, "/p/a.jpg", "", "SIGKILL"}, "jpegtran was ended by signal SIGKILL"},
        {{TransformerSignal, "/p/a.jpg", "Corrupt data", "SIGSEGV"},
         "jpegtran was ended by signal SIGSEGV: Corrupt data"},
        {{WrongSize, "/o/a.jpg", "64x48", "80x48"},
         "jpegtran wrote a picture of 64x48 pixels where 80x48 were planned"},
        {{TimeOut, "/p/a.jpg", "", "120"}, "jpegtran did not finish in 120 s"},
        // a value holding a placeholder is written as it is, never filled again
        {{CannotWrite, "/out/%2", "No space left on device", ""},
         "Unable to write into /out/%2: No space left on device"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ErrorText(c.fault), c.text);
        EXPECT_EQ(ErrorText(TError(c.fault)), c.text);
    }
}
