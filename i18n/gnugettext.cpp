#include "gnugettext.h"

std::string Translate(const std::string& text) { return text; }
