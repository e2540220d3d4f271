#pragma once

#include <string>

#include "core/Error.h"

/// The sentence a person reads for a fault, in the current language: made
/// from its kind, with the file and the reporter's own words (the system's,
/// the decoder's or jpegtran's) where the sentence has room for them, else in
/// brackets after it. The one place where a fault becomes text; never throws.
std::string ErrorText(const TFault& fault);
inline std::string ErrorText(const TError& error) {
    return ErrorText(error.Fault());
}
