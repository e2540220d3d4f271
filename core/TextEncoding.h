#pragma once

#include <cstddef>
#include <string>

/// Text in Trimvale is UTF-8. The settings format separates fields with the
/// single byte 0xA4, which is also a UTF-8 continuation byte; these helpers
/// tell the two apart.

/// The field separator of the settings format.
inline constexpr char kSeparator = '\xA4';

/// Length of the well-formed UTF-8 character starting at position i, or 0 when
/// the bytes there do not form one.
std::size_t Utf8CharLength(const std::string& text, std::size_t i);

/// Position of the first separator byte at or after from that is not part of
/// a UTF-8 character, or npos.
std::size_t FindSeparator(const std::string& text, std::size_t from = 0);

/// True when every byte belongs to a well-formed UTF-8 character or is a
/// stand-alone separator byte.
bool IsUtf8WithSeparators(const std::string& text);

/// The text with each stand-alone separator byte as the character "¤", for
/// messages that quote a settings line.
std::string ShowSeparators(const std::string& text);

/// Converts Windows-1252 text to UTF-8; separator bytes stay single bytes.
std::string Cp1252ToUtf8(const std::string& text);

/// Lower-cases ASCII and the Latin letters of U+00C0..U+017F; other bytes stay.
std::string LowerCase(const std::string& text);

/// Case-insensitive equality in the sense of LowerCase.
bool SameText(const std::string& a, const std::string& b);

/// Decodes one UTF-8 character at i (length from Utf8CharLength); 0xFFFD when invalid.
char32_t DecodeUtf8(const std::string& text, std::size_t i, std::size_t* length);

/// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string& out, char32_t cp);
