#pragma once

#include <stdexcept>
#include <string>

/// The one error type of Trimvale; its message is the text the user sees.
class TError : public std::runtime_error {
public:
    explicit TError(const std::string& message) : std::runtime_error(message) {}
};

/// A text that should have held a number did not.
class TConvertError : public TError {
public:
    using TError::TError;
};
