#include "ui/SForm.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/Error.h"
#include "core/Events.h"
#include "core/StorageTank.h"
#include "core/UserPrompt.h"
#include "i18n/TranslateWindow.h"
#include "i18n/gnugettext.h"
#include "model/CropAspects.h"
#include "model/DestinationNaming.h"
#include "model/Options.h"
#include "ui/AspectForm.h"
#include "ui/LayoutHelpers.h"

namespace {

// combo position <-> stored language code. "System language" stores no code,
// so that LANG keeps deciding; English also stands for any unknown code.
struct TLanguageChoice {
    const char* shown;
    const char* code;
};
constexpr TLanguageChoice kLanguages[] = {{N_("System language"), ""}, {N_("English"), "en_US"},
                                          {N_("Danish"), "da_DK"},     {N_("Polish"), "pl_PL"},
                                          {N_("Dutch"), "nl_NL"},      {N_("German"), "de_DE"},
                                          {N_("Hungarian"), "hu_HU"}};
constexpr int kEnglish = 1;

constexpr const char* kLooks[] = {N_("Box"), N_("Black"), N_("Inverse"), N_("Fade"), N_("Grey")};

constexpr int kRowGap = 5;

QString Q(const char* text) {
    return QString::fromUtf8(text);
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* caption, const char* hint) {
    auto* check = new QCheckBox(Q(caption), parent);
    check->setObjectName(Q(name));
    if (hint) check->setToolTip(Q(hint));
    return check;
}

QLabel* MakeLabel(QWidget* parent, const char* caption, const char* hint, QWidget* buddy) {
    auto* label = new QLabel(Q(caption), parent);
    if (hint) label->setToolTip(Q(hint));
    if (buddy) label->setBuddy(buddy);
    return label;
}

// Sizes the children of a layout-free row to their needs, centres them on one
// line (or aligns their tops) and makes the row ask for the room they take.
void FitRow(QWidget* row, bool alignTops) {
    int height = 0;
    int right = 0;
    for (QWidget* child : row->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        child->ensurePolished();
        child->resize(child->sizeHint());
        height = std::max(height, child->height());
    }
    for (QWidget* child : row->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        child->move(child->x(), alignTops ? 0 : (height - child->height()) / 2);
        right = std::max(right, child->x() + child->width());
    }
    row->setMinimumSize(right, height);
}

} // namespace

TSForm::TSForm(TStorageTank& settings, TCropAspects& registry, IUserPrompt* prompt, QWidget* parent)
    : QDialog(parent), settings_(settings), registry_(registry), prompt_(prompt),
      working_(std::make_unique<TCropAspects>()) {
    BuildControls();
    TranslateWindow(this);
    working_->Attach(this);
    LayOutRows();
    resize(sizeHint().expandedTo(QSize(418, 388)));
}

TSForm::~TSForm() {
    working_->Detach(this);
}

void TSForm::SetAspectEditor(IAspectEditor* editor) {
    editor_ = editor;
}

void TSForm::BuildControls() {
    setObjectName(QStringLiteral("SForm"));
    setWindowTitle(Q(N_("Settings")));
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(10, 10, 10, 10);

    auto* pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("PageControl"));
    pages->addTab(BuildCroppingPage(), Q(N_("&Cropping")));
    pages->addTab(BuildFilesPage(), Q(N_("&Files")));
    pages->addTab(BuildMiscPage(), Q(N_("&Misc")));
    root->addWidget(pages, 1);

    auto* buttons = new QHBoxLayout;
    auto* okBtn = new QPushButton(Q(N_("&OK")), this);
    okBtn->setObjectName(QStringLiteral("OKBtn"));
    okBtn->setDefault(true);
    auto* cancelBtn = new QPushButton(Q(N_("Cancel")), this);
    cancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(okBtn, &QPushButton::clicked, this, &TSForm::OkBtnClick);
    connect(cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addStretch(1);
    buttons->addWidget(okBtn);
    buttons->addWidget(cancelBtn);
    root->addLayout(buttons);
}

QWidget* TSForm::BuildCroppingPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);

    autoRotateCheck_ = MakeCheck(page, "AutoRotateCheck", N_("A&uto flip aspect"),
                                 N_("Flip aspect if the imageheight is larger than its width"));
    keepFacesCheck_ = MakeCheck(
        page, "KeepFacesCheck", N_("&Keep faces in the first crop area"),
        N_("Looks for faces in each photo added and moves its first crop area to keep them whole"));
    auto* checks = new QHBoxLayout;
    checks->addWidget(autoRotateCheck_);
    checks->addWidget(keepFacesCheck_, 1);
    grid->addLayout(checks, 0, 0, 1, 2);

    defaultCropBox_ = new QComboBox(page);
    defaultCropBox_->setObjectName(QStringLiteral("DefaultCropBox"));
    auto* defaultRow = new QHBoxLayout;
    defaultRow->addWidget(MakeLabel(page, N_("&Default:"), N_("Default aspect"), defaultCropBox_));
    defaultRow->addWidget(defaultCropBox_, 1);
    grid->addLayout(defaultRow, 1, 0, 1, 2);
    connect(defaultCropBox_, &QComboBox::activated, this, &TSForm::DefaultCropBoxChange);

    aspectGrid_ = new QTableWidget(0, 1, page);
    aspectGrid_->setObjectName(QStringLiteral("AspectGrid"));
    aspectGrid_->setToolTip(Q(N_("Available aspects")));
    aspectGrid_->horizontalHeader()->hide();
    aspectGrid_->verticalHeader()->hide();
    // the one column always fills the grid's client area
    aspectGrid_->horizontalHeader()->setStretchLastSection(true);
    aspectGrid_->verticalHeader()->setDefaultSectionSize(
        std::max(18, aspectGrid_->fontMetrics().height() + 2));
    aspectGrid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    aspectGrid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    aspectGrid_->setSelectionMode(QAbstractItemView::SingleSelection);
    aspectGrid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    aspectGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    aspectGrid_->setShowGrid(false);
    grid->addWidget(
        MakeLabel(page, N_("A&spects:"), N_("Avaliable aspects for cropping"), aspectGrid_), 2, 0,
        1, 2);
    grid->addWidget(aspectGrid_, 3, 0);
    connect(aspectGrid_, &QTableWidget::cellDoubleClicked, this, [this] { EditBtnClick(); });

    auto* side = new QVBoxLayout;
    auto button = [&](QPushButton*& b, const char* name, const char* caption, const char* hint) {
        b = new QPushButton(Q(caption), page);
        b->setObjectName(Q(name));
        b->setToolTip(Q(hint));
        b->setAutoDefault(false);
        side->addWidget(b);
    };
    button(addBtn_, "AddBtn", N_("&Add..."), N_("Create an aspect and add it to the list"));
    button(editBtn_, "EditBtn", N_("&Edit..."), N_("Edit the selected aspect"));
    button(removeBtn_, "RemoveBtn", N_("&Remove"), N_("Remove the selected aspect"));
    auto arrow = [&](QToolButton*& b, const char* name, Qt::ArrowType type, const char* hint) {
        b = new QToolButton(page);
        b->setObjectName(Q(name));
        b->setArrowType(type);
        b->setToolTip(Q(hint));
    };
    arrow(downBtn_, "DownBtn", Qt::DownArrow, N_("Move the selected aspect down in the list"));
    arrow(upBtn_, "UpBtn", Qt::UpArrow, N_("Move the selected aspect up in the list"));
    auto* arrows = new QHBoxLayout;
    arrows->addWidget(downBtn_);
    arrows->addWidget(upBtn_);
    arrows->addStretch(1);
    side->addLayout(arrows);
    side->addStretch(1);
    button(defaultsBtn_, "Button1", N_("Defaul&ts"), N_("Restore default aspects"));
    grid->addLayout(side, 3, 1);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(0, 1);
    connect(addBtn_, &QPushButton::clicked, this, &TSForm::AddBtnClick);
    connect(editBtn_, &QPushButton::clicked, this, &TSForm::EditBtnClick);
    connect(removeBtn_, &QPushButton::clicked, this, &TSForm::RemoveBtnClick);
    connect(downBtn_, &QToolButton::clicked, this, &TSForm::DownBtnClick);
    connect(upBtn_, &QToolButton::clicked, this, &TSForm::UpBtnClick);
    connect(defaultsBtn_, &QPushButton::clicked, this, &TSForm::DefaultsBtnClick);

    lookCombo_ = new QComboBox(page);
    lookCombo_->setObjectName(QStringLiteral("LookCombo"));
    const char* lookHint = N_("The look of the box indicating the crop area");
    lookCombo_->setToolTip(Q(lookHint));
    for (const char* look : kLooks)
        lookCombo_->addItem(Q(look));
    auto* lookRow = new QHBoxLayout;
    lookRow->addWidget(MakeLabel(page, N_("&Look:"), lookHint, lookCombo_));
    lookRow->addWidget(lookCombo_);
    lookRow->addStretch(1);
    grid->addLayout(lookRow, 4, 0, 1, 2);

    // kept only to carry their settings through the dialog; never shown
    showCropsizeCheck_ = MakeCheck(page, "ShowCropsizeCheck", N_("Show Crop &Information"),
                                   N_("Show informations about the crop area"));
    enterCheck_ = MakeCheck(page, "EnterCheck", N_("E&nter crops current image"), nullptr);
    showCropsizeCheck_->hide();
    enterCheck_->hide();
    return page;
}

QWidget* TSForm::BuildFilesPage() {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    copyMetaCheck_ = MakeCheck(page, "CopyMetaCheck", N_("Copy M&etadata (EXIF, JFIF...)"),
                               N_("Copy comments, IPTC, EXIF, JFIF info and more"));
    copyDateCheck_ = MakeCheck(page, "CopyDateCheck", N_("Copy &Timestamp"),
                               N_("Copy the timestamp from source to destination file"));
    permissionCheck_ = MakeCheck(page, "PermissionCheck", N_("Copy &Permissions"),
                                 N_("Copy the readonly/attribute if it is present for the source"));
    safeNamesCheck_ = MakeCheck(
        page, "SafeNamesCheck", N_("Con&vert to safe filename"),
        N_("Replaces national characters, spaces, commas and more to ensure compatible filenames"));
    previewImagesCheck_ =
        MakeCheck(page, "PreviewImagesCheck", N_("&Show preview when selecting images"), nullptr);
    transformFilenameCheck_ = MakeCheck(page, "TransformFilenameCheck",
                                        N_("T&ransform filename (%N = original filename)"),
                                        N_("Automatic transformation of the filename"));
    honourOrientationCheck_ =
        MakeCheck(page, "HonourOrientationCheck", N_("Show photos &upright by their orientation"),
                  N_("Turn photos as their EXIF orientation says, and crop them upright"));
    for (QCheckBox* check : {copyMetaCheck_, copyDateCheck_, permissionCheck_, safeNamesCheck_,
                             previewImagesCheck_, honourOrientationCheck_, transformFilenameCheck_})
        column->addWidget(check);

    transformFilenameEdit_ = new QLineEdit(page);
    transformFilenameEdit_->setObjectName(QStringLiteral("TransformFilenameEdit"));
    transformFilenameEdit_->setToolTip(
        Q(N_("Template for filename transformation. Sample: crop_%N")));
    sampleLabel_ = new QLabel(page);
    sampleLabel_->setObjectName(QStringLiteral("SampleLabel"));
    sampleLabel_->setToolTip(Q(N_("This is a sample of a destination filename")));
    sampleLabel_->setTextFormat(Qt::PlainText);
    auto* templateBlock = new QVBoxLayout;
    templateBlock->setContentsMargins(20, 0, 0, 0);
    templateBlock->addWidget(transformFilenameEdit_);
    templateBlock->addWidget(sampleLabel_);
    column->addLayout(templateBlock);
    connect(transformFilenameCheck_, &QCheckBox::toggled, transformFilenameEdit_,
            &QLineEdit::setEnabled);
    connect(transformFilenameEdit_, &QLineEdit::textChanged, this,
            &TSForm::TransformFilenameEditChange);

    existingFileRow_ = new QWidget(page);
    const char* existingHint = N_("What to do when Trimvale encounters an existing file?");
    existingFilePanel_ = new QWidget(existingFileRow_);
    existingFilePanel_->setObjectName(QStringLiteral("ExistingFilePanel"));
    auto* radios = new QVBoxLayout(existingFilePanel_);
    radios->setContentsMargins(0, 0, 0, 0);
    warnRadio_ = new QRadioButton(Q(N_("&Warn on overwrite")), existingFilePanel_);
    warnRadio_->setObjectName(QStringLiteral("WarnRadio"));
    overwriteRadio_ = new QRadioButton(Q(N_("&Just overwrite")), existingFilePanel_);
    overwriteRadio_->setObjectName(QStringLiteral("OverwriteRadio"));
    for (QRadioButton* radio : {warnRadio_, overwriteRadio_}) {
        radio->setToolTip(Q(existingHint));
        radios->addWidget(radio);
    }
    existingFileLabel_ =
        MakeLabel(existingFileRow_, N_("E&xisting file:"), existingHint, warnRadio_);
    column->addSpacing(6);
    column->addWidget(existingFileRow_);
    column->addStretch(1);
    return page;
}

QWidget* TSForm::BuildMiscPage() {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    landscapeCheck_ =
        MakeCheck(page, "LandscapeCheck", N_("&Auto rotate to landscape after crop"),
                  N_("Ensures that the destination image is always in landscape format"));
    huffmanCheck_ = MakeCheck(page, "HuffmanCheck", N_("H&uffman optimization"),
                              N_("Might result in smaller files. Lossless, but increases "
                                 "conversion time a bit. Does not affect decoding time"));
    updatePPICheck_ =
        MakeCheck(page, "UpdatePPICheck", N_("U&pdate PPI on crop (experimental)"),
                  N_("Updates the PPI (also refered to as DPI) for the cropped images. Makes the "
                     "cropping proces slower"));
    sizeFoldersCheck_ =
        MakeCheck(page, "SizeFoldersCheck", N_("Each si&ze in a subfolder named after its aspect"),
                  N_("For labs that take their uploads per print size"));
    for (QCheckBox* check : {landscapeCheck_, huffmanCheck_, updatePPICheck_, sizeFoldersCheck_})
        column->addWidget(check);

    const char* lowHint = N_("The crop run's account and the order summary list the photos "
                             "whose print would have fewer pixels per inch");
    lowRow_ = new QWidget(page);
    lowSpin_ = new QSpinBox(lowRow_);
    lowSpin_->setObjectName(QStringLiteral("LowResolutionSpin"));
    lowSpin_->setRange(1, 2400);
    lowSpin_->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    lowSpin_->setToolTip(Q(lowHint));
    lowLabel_ = MakeLabel(lowRow_, N_("Lo&w resolution below"), lowHint, lowSpin_);
    lowUnitLabel_ = MakeLabel(lowRow_, N_("ppi at the print size"), lowHint, nullptr);
    column->addSpacing(6);
    column->addWidget(lowRow_);

    const char* hugeHint = N_("The size of huge thumbnails");
    hugeRow_ = new QWidget(page);
    hugeSpin_ = new QSpinBox(hugeRow_);
    hugeSpin_->setObjectName(QStringLiteral("HugeSpin"));
    hugeSpin_->setRange(100, 9999);
    hugeSpin_->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    hugeSpin_->setToolTip(Q(hugeHint));
    hugeLabel_ = MakeLabel(hugeRow_, N_("&Huge images are"), hugeHint, hugeSpin_);
    hugeUnitLabel_ = MakeLabel(hugeRow_, N_("pixels high"), hugeHint, nullptr);
    hugeEstimateLabel_ = new QLabel(page);
    hugeEstimateLabel_->setObjectName(QStringLiteral("HugeEstimateLabel"));
    connect(hugeSpin_, &QSpinBox::valueChanged, this, &TSForm::HugeSpinChange);
    column->addSpacing(6);
    column->addWidget(hugeRow_);
    column->addWidget(hugeEstimateLabel_);

    const char* timeoutHint = N_("A photo whose jpegtran call takes longer fails, and jpegtran "
                                 "is ended");
    timeoutRow_ = new QWidget(page);
    timeoutSpin_ = new QSpinBox(timeoutRow_);
    timeoutSpin_->setObjectName(QStringLiteral("TimeoutSpin"));
    timeoutSpin_->setRange(1, 86400);
    // a number typed out of range becomes the nearest allowed one, where the user sees it
    timeoutSpin_->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    timeoutSpin_->setToolTip(Q(timeoutHint));
    timeoutLabel_ =
        MakeLabel(timeoutRow_, N_("Time l&imit for jpegtran:"), timeoutHint, timeoutSpin_);
    timeoutUnitLabel_ = MakeLabel(timeoutRow_, N_("seconds per photo"), timeoutHint, nullptr);
    column->addSpacing(6);
    column->addWidget(timeoutRow_);

    const char* languageHint = N_("The language used by Trimvale");
    languageRow_ = new QWidget(page);
    languageCombo_ = new QComboBox(languageRow_);
    languageCombo_->setObjectName(QStringLiteral("LanguageCombo"));
    languageCombo_->setToolTip(Q(languageHint));
    for (const TLanguageChoice& language : kLanguages)
        languageCombo_->addItem(Q(language.shown));
    languageLabel_ = MakeLabel(languageRow_, N_("&Language:"), languageHint, languageCombo_);
    languageLabel_->setObjectName(QStringLiteral("LanguageLabel"));
    column->addSpacing(6);
    column->addWidget(languageRow_);
    column->addWidget(MakeLabel(page, N_("Changing language takes effect on next program run"),
                                nullptr, nullptr));
    column->addStretch(1);
    return page;
}

void TSForm::LayOutRows() {
    // the translated captions decide where the controls beside them start
    FitRow(hugeRow_, false);
    ChainRightOf(hugeLabel_, hugeSpin_, hugeUnitLabel_, kRowGap);
    FitRow(hugeRow_, false);
    FitRow(timeoutRow_, false);
    ChainRightOf(timeoutLabel_, timeoutSpin_, timeoutUnitLabel_, kRowGap);
    FitRow(timeoutRow_, false);
    FitRow(lowRow_, false);
    ChainRightOf(lowLabel_, lowSpin_, lowUnitLabel_, kRowGap);
    FitRow(lowRow_, false);
    FitRow(languageRow_, false);
    PlaceRightOf(languageLabel_, languageCombo_, kRowGap);
    FitRow(languageRow_, false);
    FitRow(existingFileRow_, true);
    PlaceRightOf(existingFileLabel_, existingFilePanel_, kRowGap);
    FitRow(existingFileRow_, true);
    setMinimumSize(layout()->minimumSize().expandedTo(QSize(300, 335)));
}

void TSForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // the window system re-showing a minimised dialog is no new showing
    if (!event->spontaneous()) LoadFromSettings();
}

void TSForm::LoadFromSettings() {
    LayOutRows();
    // a fresh copy, so that what an earlier, cancelled showing did is gone
    working_->LoadFromTank(*registry_.SaveToTank());

    showCropsizeCheck_->setChecked(Get(settings_, Options::ShowCropsize3));
    enterCheck_->setChecked(Get(settings_, Options::EnterCropsCurrentImage));
    autoRotateCheck_->setChecked(Get(settings_, Options::AutoRotateCrop));
    Update(working_.get(), Events::AspectListChanged, TVariant(std::string()));
    Update(working_.get(), Events::NewDefaultAspect, TVariant(std::string()));
    lookCombo_->setCurrentIndex(
        std::clamp(Get(settings_, Options::CropAreaLook), 0, int(std::size(kLooks)) - 1));

    copyMetaCheck_->setChecked(Get(settings_, Options::CopyMetadats));
    copyDateCheck_->setChecked(Get(settings_, Options::CopyFileDates));
    permissionCheck_->setChecked(Get(settings_, Options::CopyFilepermissions));
    landscapeCheck_->setChecked(Get(settings_, Options::AutoRotateToLandscapeAfterCrop));
    huffmanCheck_->setChecked(Get(settings_, Options::HuffmanOptimize));
    updatePPICheck_->setChecked(Get(settings_, Options::UpdatePPI));
    sizeFoldersCheck_->setChecked(Get(settings_, Options::SizeSubfolders));
    lowSpin_->setValue(Get(settings_, Options::LowResolutionPPI));
    hugeSpin_->setValue(Get(settings_, Options::HugeHeight));
    HugeSpinChange(hugeSpin_->value()); // an unchanged value sends no signal
    timeoutSpin_->setValue(Get(settings_, Options::TransformerTimeout));
    safeNamesCheck_->setChecked(Get(settings_, Options::SafeNames));
    previewImagesCheck_->setChecked(Get(settings_, Options::PreviewImages));
    honourOrientationCheck_->setChecked(Get(settings_, Options::HonourOrientation));
    keepFacesCheck_->setChecked(Get(settings_, Options::KeepFaces));
    transformFilenameCheck_->setChecked(Get(settings_, Options::TransformFilename));
    transformFilenameEdit_->setText(
        QString::fromStdString(Get(settings_, Options::TransformTemplate)));
    TransformFilenameEditChange(transformFilenameEdit_->text());
    transformFilenameEdit_->setEnabled(transformFilenameCheck_->isChecked());

    if (Get(settings_, Options::ExistingFile) == "Overwrite")
        overwriteRadio_->setChecked(true);
    else
        warnRadio_->setChecked(true);

    // nothing stored: the system's language, whichever the program speaks now
    const std::string language = Get(settings_, Options::Language, "");
    int position = language.empty() ? 0 : kEnglish;
    for (int i = 1; i < int(std::size(kLanguages)); ++i)
        if (language == kLanguages[i].code) position = i;
    languageCombo_->setCurrentIndex(position);
}

void TSForm::OkBtnClick() {
    hugeSpin_->interpretText();
    timeoutSpin_->interpretText();
    lowSpin_->interpretText();
    Set(settings_, Options::ShowCropsize3, showCropsizeCheck_->isChecked());
    Set(settings_, Options::EnterCropsCurrentImage, enterCheck_->isChecked());
    Set(settings_, Options::AutoRotateCrop, autoRotateCheck_->isChecked());
    Set(settings_, Options::CropAreaLook, lookCombo_->currentIndex());
    Set(settings_, Options::CopyMetadats, copyMetaCheck_->isChecked());
    Set(settings_, Options::CopyFileDates, copyDateCheck_->isChecked());
    Set(settings_, Options::CopyFilepermissions, permissionCheck_->isChecked());
    Set(settings_, Options::AutoRotateToLandscapeAfterCrop, landscapeCheck_->isChecked());
    Set(settings_, Options::HuffmanOptimize, huffmanCheck_->isChecked());
    Set(settings_, Options::UpdatePPI, updatePPICheck_->isChecked());
    Set(settings_, Options::HugeHeight, hugeSpin_->value());
    Set(settings_, Options::SafeNames, safeNamesCheck_->isChecked());
    Set(settings_, Options::PreviewImages, previewImagesCheck_->isChecked());
    Set(settings_, Options::HonourOrientation, honourOrientationCheck_->isChecked());
    Set(settings_, Options::KeepFaces, keepFacesCheck_->isChecked());
    Set(settings_, Options::TransformFilename, transformFilenameCheck_->isChecked());
    Set(settings_, Options::TransformTemplate, transformFilenameEdit_->text().toStdString());
    Set(settings_, Options::ExistingFile,
        std::string(overwriteRadio_->isChecked() ? "Overwrite" : "Warn"));
    const int position = languageCombo_->currentIndex();
    Set(settings_, Options::Language,
        std::string(position >= 0 && position < int(std::size(kLanguages))
                        ? kLanguages[position].code
                        : ""));
    // after the older keys, so that a settings file keeps its order
    Set(settings_, Options::TransformerTimeout, timeoutSpin_->value());
    Set(settings_, Options::SizeSubfolders, sizeFoldersCheck_->isChecked());
    Set(settings_, Options::LowResolutionPPI, lowSpin_->value());

    // the registry tells the image frames itself
    registry_.LoadFromTank(*working_->SaveToTank());
    accept();
}

void TSForm::Update(TObject*, const std::string& event, const TVariant&) {
    if (working_->Count() == 0) return;
    const TCropAspectList& list = working_->CurrentList();
    if (event == Events::AspectListChanged) {
        defaultCropBox_->clear();
        const int count = list.Count();
        aspectGrid_->setRowCount(count);
        for (int i = 0; i < count; ++i) {
            const QString description = QString::fromStdString(list.Items(i).Description());
            defaultCropBox_->addItem(description);
            // reusing the cells keeps the grid's selection where it was
            if (QTableWidgetItem* cell = aspectGrid_->item(i, 0))
                cell->setText(description);
            else
                aspectGrid_->setItem(i, 0, new QTableWidgetItem(description));
        }
        // The box shows the default the list will keep; the default stays at its
        // position when aspects move, so the text alone would point elsewhere.
        defaultCropBox_->setCurrentIndex(list.DefaultIndex());
        if (count > 0) SelectRow(std::clamp(SelectedRow(), 0, count - 1));
    } else if (event == Events::NewDefaultAspect) {
        defaultCropBox_->setCurrentIndex(list.DefaultIndex());
    }
}

int TSForm::SelectedRow() const {
    const QModelIndexList rows = aspectGrid_->selectionModel()->selectedRows();
    int top = -1;
    for (const QModelIndex& index : rows)
        if (top < 0 || index.row() < top) top = index.row();
    return top;
}

void TSForm::SelectRow(int row) {
    aspectGrid_->setCurrentCell(row, 0);
    aspectGrid_->selectRow(row);
}

void TSForm::DefaultCropBoxChange(int index) {
    working_->CurrentList().SetDefault(index);
}

IAspectEditor& TSForm::Editor() {
    if (editor_) return *editor_;
    if (!ownEditor_) ownEditor_ = new TAspectForm(this);
    return *ownEditor_;
}

void TSForm::AddBtnClick() {
    if (std::unique_ptr<TCropAspect> aspect = Editor().AddAspect())
        working_->CurrentList().Add(std::move(aspect));
}

void TSForm::EditBtnClick() {
    TCropAspectList& list = working_->CurrentList();
    const int row = SelectedRow();
    if (row < 0 || row >= list.Count()) return;
    // the aspect announces its own changes, which refresh the grid
    Editor().EditAspect(list.Items(row));
}

void TSForm::RemoveBtnClick() {
    TCropAspectList& list = working_->CurrentList();
    const int row = SelectedRow();
    // the last aspect stays: the image frames need one to offer
    if (row < 0 || row >= list.Count() || list.Count() < 2) return;
    list.Delete(row);
    SelectRow(std::min(list.Count() - 1, row));
}

void TSForm::DownBtnClick() {
    const int row = SelectedRow();
    if (working_->CurrentList().MoveDown(row)) SelectRow(row + 1);
}

void TSForm::UpBtnClick() {
    const int row = SelectedRow();
    if (working_->CurrentList().MoveUp(row)) SelectRow(row - 1);
}

void TSForm::DefaultsBtnClick() {
    const QString text = tr_("This will erase all custom aspects!\n\nContinue?");
    const bool yes =
        prompt_ ? prompt_->Confirm(text.toStdString())
                : QMessageBox::warning(this, windowTitle(), text,
                                       QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    if (yes) working_->LoadDefaults();
}

int TSForm::HugeEstimateKB(int height) {
    // a thumbnail height - 20 pixels high, four thirds as wide, 3 bytes a pixel
    const double h = height - 20;
    return static_cast<int>(std::trunc(h * (h / 3 * 4) * 3 / 1024));
}

void TSForm::HugeSpinChange(int value) {
    hugeEstimateLabel_->setText(
        tr_("Approximate memory use for each huge image is %1 KB").arg(HugeEstimateKB(value)));
}

void TSForm::TransformFilenameEditChange(const QString& text) {
    try {
        const std::string sample =
            ApplyNameTemplate(Translate("MyHouse") + ".jpg", text.toStdString());
        sampleLabel_->setText(tr_("Sample: %1").arg(QString::fromStdString(sample)));
    } catch (const TError&) {
        // the label keeps its last sample
    }
}
