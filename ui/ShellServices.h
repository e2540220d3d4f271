#pragma once

#include <string>

class QWidget;

/// Opens a file or address with the program the desktop associates with it.
bool ShellOpen(const std::string& pathOrAddress);

/// Lets the user pick a folder. The initial folder is preselected when it
/// exists (and cleared otherwise); on confirmation it receives the choice.
bool SelectFolder(QWidget* parent, const std::string& title, std::string& folder);
