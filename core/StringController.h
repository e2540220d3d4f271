#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// Text helpers shared across Trimvale. Positions are 1-based where they appear.

/// Smallest position p >= start where find occurs in text, or 0.
std::size_t PosFrom(const std::string& find, const std::string& text, std::size_t start);
/// Replaces every non-overlapping occurrence of find, left to right.
std::string ReplaceAll(const std::string& text, const std::string& find,
                       const std::string& replacement);
/// Trims blanks, CR and LF at both ends, never below one character; a lone blank becomes empty.
std::string RemoveExtraSpaces(const std::string& text);

/// Makes a text safe for one line of the settings file; CR LF becomes "<Br>" and
/// a lone CR or LF "&#13;" or "&#10;", so no value can break its line.
std::string MarkupEscape(const std::string& text);
/// Reverses MarkupEscape.
std::string MarkupUnescape(const std::string& text);

/// n in decimal, padded with leading zeros to at least width characters.
std::string ZeroPad(int64_t n, int width);
/// x with at most the given decimals and no trailing zeros; "." always separates.
std::string FormatDecimal(int decimals, double x);
/// Reads a number with "." or "," as the decimal separator; throws TConvertError.
double ReadDecimal(const std::string& text);
/// Reads a decimal 32-bit integer; throws TConvertError.
int32_t ReadInteger(const std::string& text);

/// The decimal separator used for numbers written to the settings file: the C
/// library's LC_NUMERIC separator unless a test has chosen one.
char DecimalSeparator();
/// Chooses the decimal separator (0 returns to the locale's).
void SetDecimalSeparator(char separator);

/// "Jan 5 2007" or "Jan 5 2007, 14:05:09", from days since 30 Dec 1899.
std::string DateTimeToText(double days);
/// Reads what DateTimeToText writes; 2147483647.0 when a part is out of range.
double TextToDateTime(const std::string& text);
/// "0 hours 5 minutes 3 seconds 0 milliseconds" from a duration in days.
std::string DurationToText(double days);
/// Reads what DurationToText writes; throws TConvertError on other text and on
/// durations over ten million days (longer ones are written as that).
double TextToDuration(const std::string& text);

/// Days since 30 Dec 1899 for a calendar date and time; false when out of range.
bool EncodeDateTime(int year, int month, int day, int hour, int minute, int second, double* days);

/// Text for one line of a report: LF is shown as "\n", every other control
/// character (C0 and DEL) as "\xNN"; everything else, backslashes included,
/// stays as it is.
std::string EscapeControlCharacters(const std::string& text);
/// A translated sentence with "%1", "%2"... replaced by the values in one
/// pass, so that a value holding "%2" stays as it is.
std::string FillPlaceholders(const std::string& text, const std::vector<std::string>& values);
