// The main window's menus, bottom bar and view commands.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/StorageTank.h"
#include "frames/IFrame.h"
#include "grid/CropContainer.h"
#include "i18n/gnugettext.h"
#include "model/Options.h"
#include "ui/AboutBox.h"
#include "ui/FrameList.h"
#include "ui/KeysForm.h"
#include "ui/MainForm.h"
#include "ui/ShellServices.h"

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

QAction* TMainForm::Action(const char* name) const {
    return findChild<QAction*>(QString::fromUtf8(name));
}

void TMainForm::CreateActions() {
    for (const TActionSpec& a : kActions)
        MakeAction(this, a.name, a.caption, a.hint, a.shortcut);
    // shown in the menu, but a key press reaches the window's own Enter handling
    QAction* crop = Action("CropCurrentAction");
    crop->setShortcut(QKeySequence(Qt::Key_Return));
    crop->setShortcutContext(Qt::WidgetShortcut);

    sizeGroup_ = new QActionGroup(this);
    for (const char* name : {"SmallAction", "MediumAction", "LargeAction", "HugeAction"}) {
        QAction* a = Action(name);
        a->setCheckable(true);
        sizeGroup_->addAction(a);
    }
    columnGroup_ = new QActionGroup(this);
    for (int n = 1; n <= 9; ++n) {
        QAction* a = MakeAction(this, ("Columns" + std::to_string(n) + "Action").c_str(),
                                kColumnCaptions[n - 1], kColumnHints[n - 1], "");
        a->setCheckable(true);
        a->setData(n);
        columnGroup_->addAction(a);
    }
    QAction* unlimited = Action("UnlimitedAction");
    unlimited->setCheckable(true);
    unlimited->setData(0);
    unlimited->setChecked(true);
    columnGroup_->addAction(unlimited);
    detailGroup_ = new QActionGroup(this);
    for (const char* name : {"NoneAction", "BriefAction", "FullAction"}) {
        QAction* a = Action(name);
        a->setCheckable(true);
        detailGroup_->addAction(a);
    }
    Action("FullAction")->setChecked(true);

    connect(Action("ExitAction"), &QAction::triggered, this, &QWidget::close);
    connect(Action("AddImagesAction"), &QAction::triggered, this, [this] { AddImagesExecute(); });
    connect(Action("AddFolderAction"), &QAction::triggered, this,
            [this] { AddFolderExecute(false); });
    connect(Action("AddFoldersRecursivelyAction"), &QAction::triggered, this,
            [this] { AddFolderExecute(true); });
    connect(Action("PreferencesAction"), &QAction::triggered, this, &TMainForm::PreferencesExecute);
    connect(Action("PreviewAction"), &QAction::triggered, this, &TMainForm::PreviewActionExecute);
    connect(Action("CropCurrentAction"), &QAction::triggered, this,
            &TMainForm::CropCurrentActionExecute);
    connect(Action("RotateLeftAction"), &QAction::triggered, this, &TMainForm::RotateLeftExecute);
    connect(Action("RotateRightAction"), &QAction::triggered, this, &TMainForm::RotateRightExecute);
    connect(Action("RemoveAction"), &QAction::triggered, this, &TMainForm::RemoveExecute);
    connect(sizeGroup_, &QActionGroup::triggered, this, &TMainForm::ViewSizeExecute);
    connect(columnGroup_, &QActionGroup::triggered, this,
            [this](QAction* a) { ColumnsExecute(a->data().toInt()); });
    connect(Action("NoneAction"), &QAction::triggered, this, [this] { DetailsExecute("None"); });
    connect(Action("BriefAction"), &QAction::triggered, this, [this] { DetailsExecute("Brief"); });
    connect(Action("FullAction"), &QAction::triggered, this, [this] { DetailsExecute("Full"); });
    connect(Action("AboutAction"), &QAction::triggered, this, [this] { aboutBox_->exec(); });
    connect(Action("ShortcutsAction"), &QAction::triggered, this, [this] {
        keyboardForm_->show();
        keyboardForm_->raise();
        keyboardForm_->activateWindow();
    });
    connect(Action("RearrangeAction"), &QAction::triggered, this,
            [this] { container_->RequestLayout(); });
    connect(Action("UndoAction"), &QAction::triggered, this, [this] {
        if (!processing_) list_->Undo();
    });
    connect(Action("RedoAction"), &QAction::triggered, this, [this] {
        if (!processing_) list_->Redo();
    });
    Action("RedoAction")
        ->setShortcuts(
            {QKeySequence(QStringLiteral("Ctrl+Shift+Z")), QKeySequence(QStringLiteral("Ctrl+Y"))});
    connect(Action("SelectAllAction"), &QAction::triggered, this, &TMainForm::SelectAllExecute);
    connect(Action("ClearListAction"), &QAction::triggered, this, &TMainForm::ClearListExecute);
}

void TMainForm::CreateMenus() {
    QMenu* file = menuBar()->addMenu(QString::fromUtf8(N_("&File")));
    file->addAction(Action("AddImagesAction"));
    file->addAction(Action("AddFolderAction"));
    file->addAction(Action("AddFoldersRecursivelyAction"));
    file->addAction(Action("ClearListAction"));
    file->addSeparator();
    file->addAction(Action("PreferencesAction"));
    file->addSeparator();
    file->addAction(Action("ExitAction"));

    QMenu* edit = menuBar()->addMenu(QString::fromUtf8(N_("&Edit")));
    edit->addAction(Action("UndoAction"));
    edit->addAction(Action("RedoAction"));
    edit->addSeparator();
    edit->addAction(Action("SelectAllAction"));
    edit->addSeparator();
    edit->addAction(Action("PreviewAction"));
    edit->addAction(Action("CropCurrentAction"));
    edit->addSeparator();
    edit->addAction(Action("RotateLeftAction"));
    edit->addAction(Action("RotateRightAction"));
    edit->addSeparator();
    edit->addAction(Action("RemoveAction"));

    QMenu* view = menuBar()->addMenu(QString::fromUtf8(N_("&View")));
    view->addActions(sizeGroup_->actions());
    view->addSeparator();
    QMenu* columns = view->addMenu(QString::fromUtf8(N_("&Columns")));
    columns->addActions(columnGroup_->actions());
    QMenu* details = view->addMenu(QString::fromUtf8(N_("&Details")));
    details->addActions(detailGroup_->actions());

    QMenu* help = menuBar()->addMenu(QString::fromUtf8(N_("&Help")));
    help->addAction(Action("AboutAction"));
    help->addAction(Action("ShortcutsAction"));

    debugMenu_ = menuBar()->addMenu(QString::fromUtf8(N_("Debug")));
    debugMenu_->addAction(Action("RearrangeAction"));
}

void TMainForm::CreateBottomBar() {
    auto* central = new QWidget(this);
    container_ = new TCContainer(central);

    auto* bar = new QWidget(central);
    bar->setObjectName(QStringLiteral("BottomPanel"));
    addBtn_ = new QPushButton(QString::fromUtf8(N_("&Add Images...")), bar);
    addBtn_->setObjectName(QStringLiteral("AddBtn"));
    addBtn_->setToolTip(QString::fromUtf8(N_("Add images to the list")));
    connect(addBtn_, &QPushButton::clicked, this, [this] { AddImagesExecute(); });
    exeBtn_ = new QPushButton(QString::fromUtf8(N_("&Crop Images")), bar);
    exeBtn_->setObjectName(QStringLiteral("ExeBtn"));
    exeBtn_->setToolTip(QString::fromUtf8(N_("Crop all images and remove them from the list")));
    exeBtn_->setDefault(true);
    connect(exeBtn_, &QPushButton::clicked, this, &TMainForm::CropImagesActionExecute);
    toDirLabel_ = new QLabel(QString::fromUtf8(N_("to dir")), bar);
    toDirLabel_->setObjectName(QStringLiteral("ToDirLabel"));
    dirEdit_ = new QLineEdit(bar);
    dirEdit_->setObjectName(QStringLiteral("DirEdit"));
    dirEdit_->setToolTip(QString::fromUtf8(N_("Destination directory")));
    browseBtn_ = new QToolButton(bar);
    browseBtn_->setObjectName(QStringLiteral("BrowseBtn"));
    browseBtn_->setText(QStringLiteral("..."));
    browseBtn_->setToolTip(QString::fromUtf8(N_("Choose destination directory")));
    connect(browseBtn_, &QToolButton::clicked, this, &TMainForm::BrowseBtnClick);

    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(6, 4, 6, 4);
    row->addWidget(addBtn_);
    row->addWidget(exeBtn_);
    // the same room on both sides keeps the caption midway between the crop button and the
    // folder, however long its translation
    row->addSpacing(8);
    row->addWidget(toDirLabel_);
    row->addSpacing(8);
    row->addWidget(dirEdit_, 1);
    row->addWidget(browseBtn_);

    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(container_, 1);
    column->addWidget(bar);
    setCentralWidget(central);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("StatusText"));
    statusBar()->addWidget(status_, 1);
}

void TMainForm::BrowseBtnClick() {
    std::string folder = dirEdit_->text().toStdString();
    if (SelectFolder(this, Translate("Select output directory"), folder))
        dirEdit_->setText(QString::fromStdString(folder));
}

void TMainForm::ViewSizeExecute(QAction* action) {
    if (!action->isChecked()) return;
    int height = 350;
    if (action == Action("SmallAction"))
        height = 200;
    else if (action == Action("LargeAction"))
        height = 500;
    else if (action == Action("HugeAction"))
        height = Get(*settings_, Options::HugeHeight);
    ApplyViewSize(height);
}

void TMainForm::ApplyViewSize(int height) {
    SetBusy(true);
    list_->SetImageSize(height);
    for (TIFrame* frame : Images())
        frame->resize(frame->width(), height);
    container_->RequestLayout();
    for (TIFrame* frame : Images())
        frame->Reload();
    SetBusy(false);
}

void TMainForm::ColumnsExecute(int limit) {
    SetBusy(true);
    Set(*settings_, Options::MaxColumns, limit);
    container_->SetMaxColumns(limit);
    SetBusy(false);
}

void TMainForm::DetailsExecute(const std::string& level) {
    SetBusy(true);
    Set(*settings_, Options::Details, level);
    const std::string stored = Get(*settings_, Options::Details);
    for (TIFrame* frame : Images())
        frame->SetDetails(stored);
    container_->RequestLayout();
    SetBusy(false);
}
