#include "ui/MainActions.h"

#include <string>

#include <QAction>
#include <QActionGroup>
#include <QWidget>

#include "i18n/gnugettext.h"

namespace {
struct TActionSpec {
    const char* name;
    const char* caption;
    const char* hint;
    const char* shortcut;
};

// Ctrl+R rotates right (beside Ctrl+L); the recursive add moves to Ctrl+Shift+F,
// next to Ctrl+F for one folder. Enter is handled by the window, which honours
// the "Enter crops" option; the menu only shows the key.
constexpr TActionSpec kActions[] = {
    {"ExitAction", N_("E&xit"), N_("Quits the application"), "Alt+F4"},
    {"OpenOrderAction", N_("&Open Order..."),
     N_("Open a saved print order: its photos with their crop areas"), "Ctrl+O"},
    {"SaveOrderAction", N_("&Save Order"), N_("Save the print order to its file"), "Ctrl+S"},
    {"SaveOrderAsAction", N_("Sa&ve Order As..."), N_("Save the print order to a new file"),
     "Ctrl+Shift+S"},
    {"ExportSummaryAction", N_("Export Order Su&mmary..."),
     N_("Write the prints per size and the photos of low resolution to a text or CSV file"), ""},
    {"AddImagesAction", N_("&Add Images..."), N_("Add images to the list"), "Ctrl+I"},
    {"AddFolderAction", N_("Add &Folder..."), N_("Add all images from a folder to the list"),
     "Ctrl+F"},
    {"AddFoldersRecursivelyAction", N_("Add Folders &Recursively..."),
     N_("Add all images from a folder and its subfolders to the list"), "Ctrl+Shift+F"},
    {"PreferencesAction", N_("&Preferences..."), N_("Opens the preferences dialog"), "Ctrl+P"},
    {"PreviewAction", N_("&Preview"), N_("Preview the crop externally"), "Shift+Return"},
    {"CropCurrentAction", N_("&Crop Current"), N_("Crop the image and remove it from the list"),
     ""},
    {"RotateLeftAction", N_("Rotat&e 90° Left"), N_("Rotate 90° left"), "Ctrl+L"},
    {"RotateRightAction", N_("Rotate 90° Ri&ght"), N_("Rotate 90° right"), "Ctrl+R"},
    {"RemoveAction", N_("&Remove"), N_("Remove current image from the list"), "Ctrl+D"},
    {"UndoAction", N_("&Undo"), N_("Undo the last change to the list or to an image"), "Ctrl+Z"},
    {"RedoAction", N_("Re&do"), N_("Do again the change last undone"), "Ctrl+Shift+Z"},
    {"SelectAllAction", N_("Select &All"), N_("Choose all images in the list"), "Ctrl+A"},
    {"ClearListAction", N_("C&lear List"), N_("Remove all images from the list"), ""},
    {"SmallAction", N_("&Small"), N_("Switch to small thumbnails view"), "Ctrl+1"},
    {"MediumAction", N_("&Medium"), N_("Switch to medium thumbnails view"), "Ctrl+2"},
    {"LargeAction", N_("&Large"), N_("Switch to large thumbnails view"), "Ctrl+3"},
    {"HugeAction", N_("&Huge"), N_("Switch to huge thumbnails view"), "Ctrl+4"},
    {"UnlimitedAction", N_("&Unlimited"), N_("No maximum on the number of columns"), ""},
    {"NoneAction", N_("&None"), N_("Show the images only"), ""},
    {"BriefAction", N_("&Brief"), N_("Show images, name and aspect"), ""},
    {"FullAction", N_("&Full"), N_("Show all details for each image"), ""},
    {"AboutAction", N_("&About"), N_("Shows the about box"), ""},
    {"ShortcutsAction", N_("&Shortcuts"), N_("Shows available shortcuts"), ""},
    {"RearrangeAction", N_("Rearrange"), "", ""},
};

constexpr const char* kColumnCaptions[9] = {N_("At most &1"), N_("At most &2"), N_("At most &3"),
                                            N_("At most &4"), N_("At most &5"), N_("At most &6"),
                                            N_("At most &7"), N_("At most &8"), N_("At most &9")};
constexpr const char* kColumnHints[9] = {
    N_("Show a maximum of 1 column"), N_("Show a maximum of 2 column"),
    N_("Show a maximum of 3 column"), N_("Show a maximum of 4 column"),
    N_("Show a maximum of 5 column"), N_("Show a maximum of 6 column"),
    N_("Show a maximum of 7 column"), N_("Show a maximum of 8 column"),
    N_("Show a maximum of 9 column")};

QAction* MakeAction(QObject* parent, const char* name, const char* caption, const char* hint,
                    const char* shortcut) {
    auto* action = new QAction(QString::fromUtf8(caption), parent);
    action->setObjectName(QString::fromUtf8(name));
    if (*hint) {
        action->setToolTip(QString::fromUtf8(hint));
        action->setStatusTip(QString::fromUtf8(hint));
    }
    if (*shortcut) action->setShortcut(QKeySequence(QString::fromUtf8(shortcut)));
    return action;
}
} // namespace

TMainActions MakeMainActions(QWidget& window) {
    const auto find = [&window](const char* name) {
        return window.findChild<QAction*>(QString::fromUtf8(name));
    };
    TMainActions groups;
    for (const TActionSpec& a : kActions)
        MakeAction(&window, a.name, a.caption, a.hint, a.shortcut);
    // shown in the menu, but a key press reaches the window's own Enter handling
    QAction* crop = find("CropCurrentAction");
    crop->setShortcut(QKeySequence(Qt::Key_Return));
    crop->setShortcutContext(Qt::WidgetShortcut);

    groups.Sizes = new QActionGroup(&window);
    for (const char* name : {"SmallAction", "MediumAction", "LargeAction", "HugeAction"}) {
        QAction* a = find(name);
        a->setCheckable(true);
        groups.Sizes->addAction(a);
    }
    groups.Columns = new QActionGroup(&window);
    for (int n = 1; n <= 9; ++n) {
        QAction* a = MakeAction(&window, ("Columns" + std::to_string(n) + "Action").c_str(),
                                kColumnCaptions[n - 1], kColumnHints[n - 1], "");
        a->setCheckable(true);
        a->setData(n);
        groups.Columns->addAction(a);
    }
    QAction* unlimited = find("UnlimitedAction");
    unlimited->setCheckable(true);
    unlimited->setData(0);
    unlimited->setChecked(true);
    groups.Columns->addAction(unlimited);
    groups.Details = new QActionGroup(&window);
    for (const char* name : {"NoneAction", "BriefAction", "FullAction"}) {
        QAction* a = find(name);
        a->setCheckable(true);
        groups.Details->addAction(a);
    }
    find("FullAction")->setChecked(true);

    return groups;
}
