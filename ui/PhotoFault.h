#pragma once

#include <string>

/// What is wrong with a photo that could not be read or cut, in the user's
/// language and judged from the file itself: gone, empty, no JPEG, cut short,
/// too large. The technical detail (the decoder's or jpegtran's own words)
/// follows in brackets. Where the file shows none of these faults, otherwise
/// stands for the words; "" when it is "" too, so that the caller's own message stands.
std::string PhotoFault(const std::string& path, const std::string& detail,
                       const std::string& otherwise = "");
