#pragma once

#include <string>

#include "core/Error.h"

/// What is wrong with a photo that could not be read or cut, judged from the
/// file itself: gone, no file, empty, no JPEG, cut short. The reporter's
/// fault follows in brackets (the decoder's own words, or jpegtran's failure
/// as the user reads it). "" when the file shows none of these faults, so
/// that the caller's own message stands.
std::string PhotoFault(const std::string& path, const TFault& fault);
