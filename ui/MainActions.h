#pragma once

class QActionGroup;
class QWidget;

/// The groups of the main window's checkable view commands.
struct TMainActions {
    QActionGroup* Sizes = nullptr;   ///< Small, Medium, Large, Huge
    QActionGroup* Columns = nullptr; ///< At most 1 to 9, Unlimited
    QActionGroup* Details = nullptr; ///< None, Brief, Full
};

/// Makes the main window's commands, children of the window named "...Action"
/// with their captions, hints and keys, and the groups of the view commands.
TMainActions MakeMainActions(QWidget& window);
