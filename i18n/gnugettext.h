#pragma once

#include <string>

/// The translation of one English text in the current language, or the text itself.
std::string Translate(const std::string& text);
