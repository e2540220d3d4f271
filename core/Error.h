#pragma once

#include <stdexcept>
#include <string>
#include <utility>

/// What went wrong, as a person is told it: the kind picks the sentence
/// (ErrorText in i18n/ErrorText.h makes it, translated), never the code that
/// noticed it, so no text names a part of the program.
enum class TErrorKind {
    Other,                 ///< Detail is the whole text, already in the user's words
    Missing,               ///< the file does not exist
    NotAFile,              ///< a folder, FIFO or device where a photo was expected
    CannotRead,            ///< the system refused to read File; Detail says why
    Empty,                 ///< the file holds no byte
    NotJpeg,               ///< the data is no JPEG at all; Detail: the decoder's words
    CutShort,              ///< the JPEG data ends before its picture does
    Damaged,               ///< a JPEG the decoder cannot read; Detail: its words
    TooLarge,              ///< more pixels than Trimvale takes on
    Implausible,           ///< far too few bytes for the picture the header claims
    Changed,               ///< File was replaced or rewritten since its area was chosen
    NoOutputName,          ///< File has no output name
    BadOutputName,         ///< the destination name File names no file
    NoDestination,         ///< no destination folder is set
    SameFile,              ///< the output File is the source itself
    AnotherPhoto,          ///< the output File is another photo of the run
    Exists,                ///< the output File's name is taken and not to be replaced
    CannotWrite,           ///< nothing can be written into the folder File; Detail says why
    CannotReplace,         ///< the output File cannot take the new picture; Detail says why
    DiskFull,              ///< the disk holding the folder File is full; Detail: jpegtran's words
    RecordsNotUpdated,     ///< the cut's records could not be rewritten; Detail says why
    TransformerFailed,     ///< jpegtran failed; Detail: its own words
    TransformerStatus,     ///< jpegtran failed without words; Value: its exit status
    TransformerSignal,     ///< jpegtran was ended by signal Value; Detail: its words
    TransformerIncomplete, ///< jpegtran's file does not reach its end-of-image marker
    WrongSize,             ///< jpegtran wrote a picture of Detail pixels where Value were planned
    TimeOut,               ///< jpegtran did not finish in Value seconds
    Cancelled,             ///< the user ended the run
};

/// One failure: its kind, the file it concerns and the words of whoever
/// reported it (the system, libjpeg, jpegtran), untranslated.
struct TFault {
    TErrorKind Kind = TErrorKind::Other;
    std::string File;
    std::string Detail;
    std::string Value; ///< a number or size the sentence names (a time limit, a status)
    bool operator==(const TFault&) const = default;
};

/// The one error type of Trimvale. It carries a fault; what() is the
/// fault's own words (the whole text for TErrorKind::Other).
class TError : public std::runtime_error {
public:
    explicit TError(const std::string& message)
        : std::runtime_error(message), fault_{TErrorKind::Other, "", message, ""} {}
    explicit TError(TFault fault) : std::runtime_error(fault.Detail), fault_(std::move(fault)) {}
    TError(TErrorKind kind, const std::string& file, const std::string& detail = "")
        : TError(TFault{kind, file, detail, ""}) {}

    const TFault& Fault() const { return fault_; }
    TErrorKind Kind() const { return fault_.Kind; }
    const std::string& File() const { return fault_.File; }
    const std::string& Detail() const { return fault_.Detail; }

private:
    TFault fault_;
};

/// A text that should have held a number did not.
class TConvertError : public TError {
public:
    using TError::TError;
};
