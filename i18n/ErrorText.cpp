#include "i18n/ErrorText.h"

#include <array>
#include <utility>

#include "core/StringController.h"
#include "i18n/gnugettext.h"

namespace {
using enum TErrorKind;

/// What fills a sentence's %1 and %2, and whether the words follow in brackets.
enum class TFill { None, File, FileDetail, Detail, Value, DetailValue, Signal };

struct TSentence {
    TErrorKind Kind;
    const char* Text;
    TFill Fill;
    bool WordsAfter; ///< the reporter's words follow the sentence in brackets
};

// one sentence a kind; %1 and %2 as the fill says
constexpr std::array kSentences{
    TSentence{Missing, N_("The file does not exist"), TFill::None, false},
    TSentence{NotAFile, N_("The file is no JPEG photo that can be read"), TFill::None, true},
    TSentence{CannotRead, N_("Unable to read %1: %2"), TFill::FileDetail, false},
    TSentence{Empty, N_("The file is empty"), TFill::None, true},
    TSentence{NotJpeg, N_("The file is not a JPEG photo"), TFill::None, true},
    TSentence{CutShort, N_("The photo is cut short: its data ends early"), TFill::None, true},
    TSentence{Damaged, N_("The photo cannot be read"), TFill::None, true},
    TSentence{TooLarge, N_("The photo is too large to be read"), TFill::None, true},
    TSentence{Implausible, N_("The file is far too small for the picture its header claims"),
              TFill::None, false},
    TSentence{Changed, N_("The photo %1 has changed since it was added"), TFill::File, false},
    TSentence{NoOutputName, N_("No output file name for %1"), TFill::File, false},
    TSentence{BadOutputName, N_("The destination file name \"%1\" names no file"), TFill::File,
              false},
    TSentence{NoDestination, N_("No destination folder is set"), TFill::None, false},
    TSentence{SameFile, N_("The output file %1 is the source file itself"), TFill::File, false},
    TSentence{AnotherPhoto, N_("The output file is another photo named: %1"), TFill::File, false},
    TSentence{Exists, N_("File exists"), TFill::None, false},
    TSentence{CannotWrite, N_("Unable to write into %1: %2"), TFill::FileDetail, false},
    TSentence{CannotReplace, N_("Unable to replace %1: %2"), TFill::FileDetail, false},
    TSentence{DiskFull, N_("The disk holding %1 is full"), TFill::File, false},
    TSentence{RecordsNotUpdated, N_("Unable to update the records of %1: %2"), TFill::FileDetail,
              false},
    TSentence{TransformerFailed, N_("jpegtran failed: %1"), TFill::Detail, false},
    TSentence{TransformerStatus, N_("jpegtran failed with exit status %1"), TFill::Value, false},
    TSentence{TransformerSignal, N_("jpegtran was ended by signal %1"), TFill::Signal, false},
    TSentence{TransformerIncomplete, N_("jpegtran wrote an incomplete file"), TFill::None, false},
    TSentence{WrongSize, N_("jpegtran wrote a picture of %1 pixels where %2 were planned"),
              TFill::DetailValue, false},
    TSentence{TimeOut, N_("jpegtran did not finish in %1 s"), TFill::Value, false},
    TSentence{Cancelled, N_("Cropping cancelled"), TFill::None, false},
};

// the reporter's words on one line: a report is one line, a message box one sentence
std::string OneLine(std::string words) {
    for (char& c : words)
        if (c == '\n' || c == '\r') c = ' ';
    while (!words.empty() && words.back() == ' ')
        words.pop_back();
    return words;
}
} // namespace

std::string ErrorText(const TFault& fault) {
    const TSentence* sentence = nullptr;
    for (const TSentence& s : kSentences)
        if (s.Kind == fault.Kind) sentence = &s;
    if (!sentence) return fault.Detail;
    const std::string text = TranslateOrKeep(sentence->Text);
    const std::string words = OneLine(fault.Detail);
    std::string said;
    switch (sentence->Fill) {
    case TFill::None:
        said = text;
        break;
    case TFill::File:
        said = FillPlaceholders(text, {fault.File, ""});
        break;
    case TFill::FileDetail:
        said = FillPlaceholders(text, {fault.File, words});
        break;
    case TFill::Detail:
        said = FillPlaceholders(text, {words, ""});
        break;
    case TFill::Value:
        said = FillPlaceholders(text, {fault.Value, ""});
        break;
    case TFill::DetailValue:
        said = FillPlaceholders(text, {words, fault.Value});
        break;
    case TFill::Signal:
        said = FillPlaceholders(text, {fault.Value, ""}) + (words.empty() ? "" : ": " + words);
        break;
    }
    // a full disk names it first; jpegtran's words, when it said so, follow with its name
    if (fault.Kind == DiskFull && !words.empty()) return said + " (jpegtran: " + words + ")";
    if (sentence->WordsAfter && !words.empty()) return said + " (" + words + ")";
    return said;
}
