// The main window's menus, bottom bar and view commands.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include "core/StorageTank.h"
#include "frames/IFrame.h"
#include "grid/CropContainer.h"
#include "i18n/gnugettext.h"
#include "model/Options.h"
#include "ui/AboutBox.h"
#include "ui/BottomBar.h"
#include "ui/FrameList.h"
#include "ui/KeysForm.h"
#include "ui/MainActions.h"
#include "ui/MainForm.h"
#include "ui/ShellServices.h"

QAction* TMainForm::Action(const char* name) const {
    return findChild<QAction*>(QString::fromUtf8(name));
}

QLineEdit* TMainForm::DirEdit() const {
    return bar_->DirEdit();
}

void TMainForm::CreateActions() {
    const TMainActions groups = MakeMainActions(*this);
    sizeGroup_ = groups.Sizes;
    columnGroup_ = groups.Columns;
    detailGroup_ = groups.Details;
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
    file->addAction(Action("OpenOrderAction"));
    recentMenu_ = file->addMenu(QString::fromUtf8(N_("Rece&nt Orders")));
    recentMenu_->setObjectName(QStringLiteral("RecentOrdersMenu"));
    file->addAction(Action("SaveOrderAction"));
    file->addAction(Action("SaveOrderAsAction"));
    file->addAction(Action("ExportSummaryAction"));
    file->addSeparator();
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
    bar_ = new TBottomBar(central);
    connect(bar_->AddButton(), &QPushButton::clicked, this, [this] { AddImagesExecute(); });
    connect(bar_->CropButton(), &QPushButton::clicked, this, &TMainForm::CropImagesActionExecute);

    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(container_, 1);
    column->addWidget(bar_);
    setCentralWidget(central);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("StatusText"));
    statusBar()->addWidget(status_, 1);
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
    list_->SetDetails(Get(*settings_, Options::Details));
    SetBusy(false);
}
