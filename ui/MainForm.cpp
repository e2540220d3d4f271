// The main window's start and exit: settings, language, placements, the
// command line and dropped files, and the close questions.
#include "ui/MainForm.h"

#include <algorithm>
#include <filesystem>

#include <utility>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include "core/Error.h"
#include "core/FilesystemController.h"
#include "core/StorageTank.h"
#include "core/VersionController.h"
#include "frames/IFrame.h"
#include "grid/CropContainer.h"
#include "grid/ImageLoader.h"
#include "grid/ThumbnailPool.h"
#include "i18n/TranslateWindow.h"
#include "i18n/gnugettext.h"
#include "jobs/SharedSettings.h"
#include "jobs/Transformer.h"
#include "model/CropAspects.h"
#include "model/Options.h"
#include "ui/AboutBox.h"
#include "ui/AddRun.h"
#include "ui/AspectForm.h"
#include "ui/BottomBar.h"
#include "ui/CropPreview.h"
#include "ui/CropRun.h"
#include "ui/FrameList.h"
#include "ui/KeysForm.h"
#include "ui/LayoutHelpers.h"
#include "ui/MessageBoxPrompt.h"
#include "ui/OrderKeeper.h"
#include "ui/Placement.h"
#include "ui/SForm.h"
#include "ui/ShellServices.h"

namespace fs = std::filesystem;

namespace {
// The windows whose placement the settings keep. Dialogs are centred over the
// main window by the program, so only their state is stored for them.
struct TFormPlacement {
    const char* name;
    TPlacementKind kind;
};
constexpr TFormPlacement kMainPlacement{"MainForm", {true, true}};
constexpr TPlacementKind kDialogPlacement{false, false};
// a window manager puts its frame around a window just shown within moments; a
// window system without frames is given up on after a few seconds
constexpr int kFrameKnownAfter = 250;
constexpr int kFrameTries = 20;
} // namespace

TMainForm::TMainForm(TSettingsFile settingsFile, std::vector<std::string> files,
                     IUserPrompt* prompt, QWidget* parent)
    : QMainWindow(parent), settingsFile_(std::move(settingsFile)),
      boxPrompt_(std::make_unique<TMessageBoxPrompt>(this)),
      prompt_(prompt ? prompt : boxPrompt_.get()), commandLine_(std::move(files)) {
    setObjectName(QStringLiteral("MainForm"));
    resize(1000, 720);
    // what both pools decode is kept for frames shown again
    thumbnailCache_ = std::make_unique<TThumbnailCache>();
    thumbnails_ = std::make_unique<TThumbnailPool>();
    // thumbnails made again decode in the background: scrolling comes first
    reloads_ = std::make_unique<TThumbnailPool>(0, TThumbnailPool::TReader(), kReloadNiceness);
    thumbnails_->SetCache(thumbnailCache_.get());
    reloads_->SetCache(thumbnailCache_.get());
    CreateActions();
    CreateMenus();
    CreateBottomBar();
    FormCreate();

    // the other windows, in their fixed order, once the main window exists
    sForm_ = new TSForm(*settings_, GetCropAspects(), prompt_, this);
    sForm_->setObjectName(QStringLiteral("SForm"));
    // the thumbnail run's progress sits in the status bar: the window stays usable meanwhile
    loadForm_ = new TLoadForm(statusBar());
    statusBar()->addPermanentWidget(loadForm_);
    aboutBox_ = new TAboutBoxJ(this);
    keyboardForm_ = new TKeyboardForm(this);
    aspectForm_ = new TAspectForm(this);
    aspectForm_->setObjectName(QStringLiteral("AspectForm"));
    sForm_->SetAspectEditor(aspectForm_);
    adding_ = std::make_unique<TAddRun>(
        *list_, *loadForm_, *container_, *settings_, *prompt_,
        [this](const QString& text) { SetStatusText(text); },
        [this] { return devicePixelRatioF(); });
    connect(loadForm_, &TLoadForm::runEnded, adding_.get(), &TAddRun::RunEnded);
    connect(adding_.get(), &TAddRun::FramesIn, this, &TMainForm::AddRunFramesIn);
    connect(adding_.get(), &TAddRun::Finished, this, &TMainForm::addRunFinished);
    loadForm_->SetAddImage([this](const std::string& path) { adding_->AddImage(path); });
    thumbnails_->SetOnIdle([this] { ThumbnailsIdle(); });
    reloads_->SetOnIdle([this] { ThumbnailsIdle(); });
    // two decodes per worker may wait: the workers never idle, memory stays flat
    loadForm_->SetThumbnails(thumbnails_.get(), 2 * thumbnails_->Threads(),
                             [this](const std::string& path, TDecodedThumbnail decoded) {
                                 adding_->AddImage(path, decoded);
                             });
    loadForm_->SetStatusText([this](const QString& text) { SetStatusText(text); });

    qApp->installEventFilter(this);
    commandLineTimer_.setSingleShot(true);
    commandLineTimer_.setInterval(100);
    connect(&commandLineTimer_, &QTimer::timeout, this, &TMainForm::CommandLineTimerTimer);
}

TMainForm::~TMainForm() {
    qApp->removeEventFilter(this);
    // frames going withdraw their thumbnails: nothing is to be told of that
    thumbnails_->SetOnIdle({});
    reloads_->SetOnIdle({});
    // a thumbnail run still on stops before the pools it asks go
    loadForm_->Abort();
    // a run still out ends here: its jobs are killed and waited for
    cropRun_.reset();
    keeper_.reset();
    list_.reset();
}

void TMainForm::FormCreate() {
    settings_ = std::make_unique<TStorageTank>("Settings", prompt_);
    list_ = std::make_unique<TFrameList>(*container_, *settings_, *prompt_, *this, reloads_.get());
    connect(list_.get(), &TFrameList::ListChanged, this, &TMainForm::UpdateImageCommands);
    connect(list_.get(), &TFrameList::StepsChanged, this, &TMainForm::UpdateUndoCommands);
    MakeOrderKeeper();
    std::string previewFolder;
    try {
        previewFolder = GetTempDir();
    } catch (const TError&) {
        previewFolder = settingsFile_.SaveFolder() + "/"; // a folder that can hold files
    }
    preview_ = std::make_unique<TCropPreview>(previewFolder, *prompt_, this);
    settingsFile_.Load(*settings_, *prompt_);
    thumbnailCache_->SetBudget(std::size_t(std::clamp(Get(*settings_, Options::ThumbnailMemory), 16, 65536))
                               << 20);
    debugMenu_->menuAction()->setVisible(Get(*settings_, Options::Debug));

    SelectLanguage(Get(*settings_, Options::Language, CurrentLanguage()));
    InstallQtTranslation(CurrentLanguage());
    try {
        TranslateWindow(this);
    } catch (const TError& e) {
        // an unusable catalogue leaves the texts in English; the user learns why once
        prompt_->ShowMessage(e.what());
    }
    // the hint names the menu and the command as the user sees them
    const auto shown = [this](const char* name) {
        return Action(name)->text().remove('&').remove(QStringLiteral("...")).trimmed();
    };
    const QString file = menuBar()->actions().front()->text().remove('&');
    emptyHint_ = AddOverlayHint(container_, tr_("Add photos with %1 \u2192 %2, or drop them here.")
                                                .arg(file, shown("AddImagesAction")));
    emptyHint_->setObjectName(QStringLiteral("EmptyHint"));
    UpdateImageCommands();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
    commandLineTimer_.start();
    // the window manager frames the window some time after it is shown; then the
    // whole frame is brought onto the screen
    FitFrameWhenKnown(kFrameTries);
}

void TMainForm::FitFrameWhenKnown(int tries) {
    QTimer::singleShot(kFrameKnownAfter, this, [this, tries] {
        if (!KeepFrameOnScreen(*this) && tries > 1) FitFrameWhenKnown(tries - 1);
    });
}

void TMainForm::FormShow() {
    setWindowTitle(tr_("Trimvale v%1 beta").arg(QString::fromStdString(ShortVersion())));
    restorePlacement(*settings_, *this, kMainPlacement.name, kMainPlacement.kind);
    for (QWidget* dialog :
         {static_cast<QWidget*>(sForm_), static_cast<QWidget*>(aboutBox_),
          static_cast<QWidget*>(keyboardForm_), static_cast<QWidget*>(aspectForm_)})
        restorePlacement(*settings_, *dialog, dialog->objectName().toStdString(), kDialogPlacement);

    LoadAspectRegistry(*settings_, GetCropAspects());

    const int size = Get(*settings_, Options::ImageSize);
    const int huge = Get(*settings_, Options::HugeHeight);
    const char* view = "MediumAction";
    if (size == 200)
        view = "SmallAction";
    else if (size == 500)
        view = "LargeAction";
    else if (size == huge && size != 350)
        view = "HugeAction";
    Action(view)->setChecked(true);
    ViewSizeExecute(Action(view));

    DirEdit()->setText(QString::fromStdString(CroppedDir(*settings_)));
    DirEdit()->setFocus();
    setAcceptDrops(true);

    if (FindTransformer().empty()) prompt_->ShowError(MissingTransformerMessage());

    SetProcessing(false);
    const int columns = Get(*settings_, Options::MaxColumns);
    if (columns == 0)
        Action("UnlimitedAction")->setChecked(true);
    else if (columns >= 1 && columns <= 9)
        Action(("Columns" + std::to_string(columns) + "Action").c_str())->setChecked(true);
    container_->SetMargins();
    container_->SetMaxColumns(columns);
    container_->LayoutNow();

    const std::string details = Get(*settings_, Options::Details);
    Action(details == "None"    ? "NoneAction"
           : details == "Brief" ? "BriefAction"
                                : "FullAction")
        ->setChecked(true);
}

void TMainForm::CommandLineTimerTimer() {
    commandLineTimer_.stop();
    // the window has been painted by now; folders add their photos as Add Folder does,
    // in their place among the files
    if (!MayChangeList()) return;
    // what an unclean end left comes first; the command line's photos join it
    keeper_->OfferRestore();
    // an order named on the command line (a file manager's double click) opens
    std::vector<std::string> photos;
    for (const std::string& arg : commandLine_)
        if (fs::path(arg).extension() == ".tvorder")
            keeper_->OpenFile(arg);
        else
            photos.push_back(arg);
    adding_->AddCommandLine(photos);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && !processing_) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    event->acceptProposedAction();
    // the application the files came from waits until the drop returns: accept it now
    // and run the thumbnails afterwards
    QMetaObject::invokeMethod(
        this, [this, paths] { AddDropped(paths); }, Qt::QueuedConnection);
}

void TMainForm::AddDropped(const std::vector<std::string>& paths) {
    if (MayChangeList()) adding_->AddDropped(paths);
}

bool TMainForm::FormCloseQuery() {
    if (processing_)
        return prompt_->Confirm(Translate("Trimvale is currently processing!\n\nExit anyway?"));
    // photos left with changes not saved: Save / Discard / Cancel, as editors ask
    return keeper_->MayClose();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!closing_) {
        if (!FormCloseQuery()) {
            event->ignore();
            return;
        }
        closing_ = true;
    }
    if (processing_) {
        // the crop run stops before its next frame and closes the window again
        // when its jobs have ended
        if (cropRun_) cropRun_->StopForClose();
        event->ignore();
        return;
    }
    // frames that would still come have no window to go to
    loadForm_->Abort();
    FormClose();
    keyboardForm_->hide();
    event->accept();
}

void TMainForm::FormClose() {
    savePlacement(*settings_, *this, kMainPlacement.name, kMainPlacement.kind);
    for (QWidget* dialog :
         {static_cast<QWidget*>(sForm_), static_cast<QWidget*>(aboutBox_),
          static_cast<QWidget*>(keyboardForm_), static_cast<QWidget*>(aspectForm_)})
        savePlacement(*settings_, *dialog, dialog->objectName().toStdString(), kDialogPlacement);
    settings_->remove(Options::ImageSize.key);
    Set(*settings_, Options::ImageSize, ImageSize());
    Set(*settings_, Options::CroppedDir, DirEdit()->text().toStdString());
    Set(*settings_, Options::ProgramVersion, ShortVersion());
    settings_->remove("Aspects");
    settings_->add(GetCropAspects().SaveToTank());
    preview_->Remove();
    keeper_->EndCleanly();
    std::string status;
    if (!settingsFile_.Save(*settings_, *prompt_, status))
        SetStatusText(QString::fromStdString(status));
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    const auto* widget = qobject_cast<QWidget*>(watched);
    // the window sees every key and wheel turn of its own controls first
    if (!widget || widget->window() != this || QApplication::activeModalWidget())
        return QMainWindow::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
            list_->CurrentIndex() >= 0 &&
            Get(*settings_, Options::EnterCropsCurrentImage)) {
            CropCurrentActionExecute();
            return true;
        }
    } else if (event->type() == QEvent::Wheel) {
        container_->Big()->WheelScroll(static_cast<QWheelEvent*>(event)->angleDelta().y());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::SetProcessing(bool on) {
    processing_ = on;
    bar_->SetLocked(on);
    // nothing may change the image list or start a second run meanwhile
    for (const char* name :
         {"AddImagesAction", "AddFolderAction", "AddFoldersRecursivelyAction", "PreferencesAction"})
        Action(name)->setEnabled(!on);
    UpdateImageCommands();
}

void TMainForm::SetBusy(bool on) {
    if (on == busy_) return;
    busy_ = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

QString TMainForm::StatusText() const {
    return status_->text();
}

void TMainForm::SetStatusText(const QString& text) {
    status_->setText(text);
}

std::string TMainForm::PreviewFile() const {
    return preview_->File();
}

void TMainForm::SetOpener(std::function<void(const std::string&)> opener) {
    preview_->SetOpener(std::move(opener));
}
