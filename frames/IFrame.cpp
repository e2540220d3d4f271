// The image frame's state, its aspect choice and read-outs, and the input it
// passes on to the main window.
#include "frames/IFrame.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

#include "core/Events.h"
#include "i18n/TranslateWindow.h"
#include "i18n/gnugettext.h"
#include "model/CropAspects.h"
#include "model/DestinationNaming.h"

namespace {
const QColor kSkyBlue(166, 202, 240);
const QColor kLowResolution(255, 102, 102);
const QColor kMediumResolution(255, 255, 0);
const QColor kHighResolution(102, 204, 102);

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
} // namespace

TIFrame::TIFrame(QWidget* parent, TCropAspects* registry)
    : QWidget(parent), registry_(registry ? registry : &GetCropAspects()) {
    setObjectName("IFrame");
    setFocusPolicy(Qt::NoFocus);
    resize(kFullMinWidth, 407);
    setMinimumSize(kFullMinWidth, 135);
    SetPanelColor(this, palette().color(QPalette::Button));

    margin_ = new QWidget(this);
    margin_->setObjectName("MarginPanel");
    SetPanelColor(margin_, palette().color(QPalette::Button));
    cropBorder_ = new QWidget(margin_);
    cropBorder_->setObjectName("CropAreaBorder");
    SetPanelColor(cropBorder_, palette().color(QPalette::Button));
    cropper_ = new TCFrame(cropBorder_);
    cropper_->setContextMenuPolicy(Qt::CustomContextMenu);
    BuildDetailPanel();
    BuildMenu();
    connect(cropper_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        CropperMenuPopup();
        menu_->popup(cropper_->mapToGlobal(pos));
    });
    // focus that lands on any of the frame's controls (a click on the flip box, Tab) makes
    // it the current frame, so that Enter and the image commands act on the photo at work;
    // the editor's receiver reports its own focus
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        if (!now || now == cropper_->NewHandler() || !isAncestorOf(now)) return;
        if (!selected_ || !old || !isAncestorOf(old)) emit SelectRequested();
    });

    // the editor first, then the detail panel from left to right
    setTabOrder(cropper_->NewHandler(), fileNameEdit_);
    setTabOrder(fileNameEdit_, counterBtn_);
    setTabOrder(counterBtn_, clockBtn_);
    setTabOrder(clockBtn_, aspectCombo_);
    setTabOrder(aspectCombo_, rotateCheck_);
    setTabOrder(rotateCheck_, cropBtn_);

    posLabel_->clear();
    sizeLabel_->clear();
    fileNameEdit_->clear();
    cropper_->Area().Edit([](TCropArea& area) { area.UseBlockGrid(); });
    ConnectEditor();
    registry_->Attach(this);
    TranslateWindow(this);
    FillAspects();
    if (registry_->Count() > 0 && registry_->CurrentList().Count() > 0)
        aspectCombo_->setCurrentIndex(registry_->CurrentList().DefaultIndex());
    fullDetailHeight_ = detailHeight_;
    fullMinWidth_ = minimumWidth();
    UpdateFlipKey();
    LayoutChildren();
}

TIFrame::~TIFrame() {
    // focus moving while the children go must not reach a half-destroyed frame
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    disconnect(cropper_, nullptr, this, nullptr);
    registry_->Detach(this);
}

void TIFrame::ConnectEditor() {
    connect(cropper_, &TCFrame::Recalculated, this, &TIFrame::UpdateReadouts);
    connect(cropper_, &TCFrame::Recalculated, this, &TIFrame::Changed);
    connect(cropper_, &TCFrame::Selected, this, [this] {
        emit SelectRequested();
        // the editor shows that it has the keys
        SetPanelColor(cropBorder_, kSkyBlue);
    });
    connect(cropper_, &TCFrame::DoubleClick, this, [this] { RunCommand(TFrameCommand::Preview); });
    // the check box's own handler applies the flipped aspect
    connect(cropper_, &TCFrame::FlipAspect, this,
            [this] { rotateCheck_->setChecked(!rotateCheck_->isChecked()); });
    connect(cropper_, &TCFrame::Navigate, this, &TIFrame::Navigate);
    connect(cropper_, &TCFrame::DragEnded, this, &TIFrame::Edited);
    connect(cropper_, &TCFrame::KeyEdited, this, &TIFrame::KeyEdited);
    cropper_->installEventFilter(this);
}

bool TIFrame::Reload() {
    // a hidden frame gets no resize event: place the editor for the frame's new height first
    LayoutChildren();
    try {
        cropper_->Reload();
        FitNewThumbnail();
        return true;
    } catch (const std::exception&) {
        // the file went away after loading: keep showing the old thumbnail
        cropper_->Area().Refit();
        return false;
    }
}

// --- state ---

bool TIFrame::LoadFile(const std::string& fileName) {
    LayoutChildren(); // the editor's height decides the thumbnail's
    if (!cropper_->LoadImage(fileName)) return false;
    return AfterLoad(fileName);
}

bool TIFrame::LoadFile(const std::string& fileName, TThumbnail thumb, int32_t height) {
    LayoutChildren();
    if (!cropper_->LoadThumbnail(fileName, std::move(thumb), height)) return false;
    return AfterLoad(fileName);
}

bool TIFrame::AfterLoad(const std::string& fileName) {
    FitNewThumbnail();
    AspectComboChange();
    SetDestFileName(LastComponent(fileName));
    return true;
}

std::string TIFrame::DestFileName() const {
    return fileNameEdit_->text().toStdString();
}

void TIFrame::SetDestFileName(const std::string& name) {
    fileNameEdit_->setText(Q(name));
    fileNameEdit_->setCursorPosition(0); // show the name's start in a narrow edit
}

void TIFrame::SetRotation(int32_t degrees) {
    const int32_t old = Rotation();
    cropper_->SetRotation(degrees);
    // the area turned its aspect with the picture: the flip box follows without
    // proposing a new area
    const std::string& kind = Kind();
    if ((Rotation() - old + 360) % 180 == 90 && (kind == "defined" || kind == "fixed")) {
        const QSignalBlocker block(rotateCheck_);
        rotateCheck_->setChecked(!rotateCheck_->isChecked());
    }
    FitNewThumbnail();
}

void TIFrame::FitNewThumbnail() {
    // a decode sizes the thumbnail by the editor's height alone; a wide photo must also fit
    // the editor's width, or its sides and the crop edges are out of reach
    TCropView& area = cropper_->Area();
    area.SetSurfaceSize(cropper_->width(), cropper_->height());
    area.Refit();
}

void TIFrame::SetMarked(bool marked) {
    marked_ = marked;
    SetSelected(selected_);
}

void TIFrame::SetSelected(bool selected) {
    selected_ = selected;
    // a frame chosen beside the current one shows a paler highlight
    const QColor highlight = palette().color(QPalette::Highlight);
    SetPanelColor(this, selected  ? highlight
                        : marked_ ? highlight.lighter(160)
                                  : palette().color(QPalette::Button));
    SetPanelColor(cropBorder_, selected ? kSkyBlue : palette().color(QPalette::Button));
    cropper_->SetFaceMarks(selected);
    UpdateFlipKey();
}

TFrameState TIFrame::State() const {
    TFrameState state;
    state.File = SourceFileName();
    state.DestName = DestFileName();
    state.Rotation = Rotation();
    state.AspectIndex = aspectCombo_->currentIndex();
    state.Aspect = aspectCombo_->currentText().toStdString();
    state.Flipped = rotateCheck_->isChecked();
    state.Crop = GetCrop();
    return state;
}

TOrderPhoto TIFrame::Photo() const {
    TOrderPhoto photo;
    photo.Choice = State();
    photo.Source = SourceLayout();
    photo.Kind = Kind();
    photo.Orientation = Orientation();
    photo.Resolution = Resolution();
    photo.Incomplete = Incomplete();
    photo.Faces = cropper_->Area().Faces();
    return photo;
}

void TIFrame::Show(const TOrderPhoto& photo, const TCropArea& area) {
    const QSignalBlocker blockFrame(this);
    {
        const QSignalBlocker blockCombo(aspectCombo_);
        const QSignalBlocker blockCheck(rotateCheck_);
        int index = aspectCombo_->findText(QString::fromStdString(photo.Choice.Aspect));
        if (index < 0) index = photo.Choice.AspectIndex;
        if (index >= 0 && index < aspectCombo_->count()) aspectCombo_->setCurrentIndex(index);
        rotateCheck_->setChecked(photo.Choice.Flipped);
        if (registry_->Count() > 0 && index >= 0 && index < registry_->CurrentList().Count()) {
            const std::string& unit = registry_->CurrentList().Items(index).Unit();
            rotateCheck_->setVisible(unit != "free" && unit != "nocrop");
        }
    }
    SetDestFileName(photo.Choice.DestName);
    cropper_->Area().SetHonourOrientation(photo.Orientation == photo.Source.orientation);
    LayoutChildren(); // the editor's height decides the thumbnail's
    cropper_->Show(photo.File(), photo.Source, photo.Orientation, photo.Incomplete, photo.Faces,
                   area);
    UpdateReadouts();
}

void TIFrame::Restore(const TFrameState& state) {
    if (state.Rotation != Rotation()) SetRotation(state.Rotation);
    {
        const QSignalBlocker blockCombo(aspectCombo_);
        const QSignalBlocker blockCheck(rotateCheck_);
        // by its description, as the list may have been edited since; else where it was
        int index = aspectCombo_->findText(QString::fromStdString(state.Aspect));
        if (index < 0) index = state.AspectIndex;
        if (index >= 0 && index < aspectCombo_->count()) aspectCombo_->setCurrentIndex(index);
        rotateCheck_->setChecked(state.Flipped);
    }
    AspectComboChange();
    cropper_->Area().Edit([&state](TCropArea& area) { area.Restore(state.Crop); });
    if (!state.DestName.empty()) SetDestFileName(state.DestName);
}

void TIFrame::ToggleFlip() {
    rotateCheck_->toggle();
}

void TIFrame::ChooseAspect(int index, bool autoFlip) {
    if (index < 0 || index >= aspectCombo_->count()) return;
    {
        const QSignalBlocker blockCombo(aspectCombo_);
        const QSignalBlocker blockCheck(rotateCheck_);
        aspectCombo_->setCurrentIndex(index);
        rotateCheck_->setChecked(autoFlip && Crop().IsPortrait());
    }
    AspectComboChange();
}

void TIFrame::UpdateFlipKey() {
    // every frame's flip box has the same access key: only the current frame's answers it,
    // so the key never wanders into a frame that is not the one at work
    rotateCheck_->setShortcut(selected_ ? QKeySequence::mnemonic(rotateCheck_->text())
                                        : QKeySequence());
}

void TIFrame::SetLook(int look) {
    if (look < 0 || look > 4) return;
    if (look != cropper_->Look()) cropper_->SetLook(look);
    lookItems_[look]->setChecked(true);
}

void TIFrame::FocusCrop() {
    cropper_->GrabFocus();
    emit SelectRequested();
}

void TIFrame::SetFocus() {
    if (parentWidget()) FocusCrop();
}

void TIFrame::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    SetFocus();
}

void TIFrame::AutoFlip() {
    if (Crop().IsPortrait()) rotateCheck_->setChecked(true);
}

void TIFrame::MakeNameSafe() {
    SetDestFileName(MakeSafeFileName(DestFileName()));
}

void TIFrame::ApplyTemplate(const std::string& templ) {
    SetDestFileName(ApplyNameTemplate(DestFileName(), templ));
}

int32_t TIFrame::Resolution() const {
    if (registry_->Count() == 0) return -1;
    const TCropAspectList& list = registry_->CurrentList();
    const int index = aspectCombo_->currentIndex();
    if (index < 0 || index >= list.Count()) return -1;
    return list.Items(index).GetPPI(Crop().CropWidth(), rotateCheck_->isChecked());
}

// --- aspects ---

void TIFrame::AspectComboChange() {
    if (registry_->Count() == 0) return;
    const TCropAspectList& list = registry_->CurrentList();
    const int index = aspectCombo_->currentIndex();
    if (index < 0 || index >= list.Count()) return;
    const TCropAspect& aspect = list.Items(index);
    const std::string& unit = aspect.Unit();
    rotateCheck_->setVisible(unit != "free" && unit != "nocrop");
    // the same proposal as the command line's for a new photo
    const bool flipped = rotateCheck_->isChecked();
    // with the faces found in the photo, if any
    const std::vector<TCropRect> faces = cropper_->Area().FacesInView();
    cropper_->Area().Edit([&](TCropArea& area) {
        area.Propose(KindOfUnit(unit), aspect.Horizontal(), aspect.Vertical(), flipped);
        area.KeepFaces(faces);
    });
}

void TIFrame::FillAspects() {
    const QString remembered = aspectCombo_->currentText();
    const QSignalBlocker block(aspectCombo_);
    aspectCombo_->clear();
    if (registry_->Count() == 0) return;
    const TCropAspectList& list = registry_->CurrentList();
    for (int i = 0; i < list.Count(); ++i)
        aspectCombo_->addItem(Q(list.Items(i).Description()));
    const int found = remembered.isEmpty() ? -1 : aspectCombo_->findText(remembered);
    aspectCombo_->setCurrentIndex(found >= 0 ? found : list.DefaultIndex());
}

// --- read-outs and events ---

void TIFrame::UpdateReadouts() {
    const TCropView& area = cropper_->Area();
    posLabel_->setText(Q(area.PositionText()));
    sizeLabel_->setText(Q(area.SizeText()));
    incompleteLabel_->setVisible(area.Incomplete());
    LayoutDetailPanel();
    if (registry_->Count() == 0 || registry_->CurrentList().Count() == 0) return;
    const int32_t r = Resolution();
    QColor color = palette().color(QPalette::Button);
    if (r > 0) {
        ppiLabel_->setText(QString::number(r));
        color = r < lowLimit_    ? kLowResolution
                : r < highLimit_ ? kMediumResolution
                                 : kHighResolution;
    } else {
        ppiLabel_->setText(tr_("N/A"));
    }
    SetPanelColor(ppiLabel_, color);
}

void TIFrame::Update(TObject*, const std::string& event, const TVariant&) {
    // the registry's other news (a new default, a changed aspect) change nothing shown here
    if (event == Events::AspectListChanged) FillAspects();
}

void TIFrame::mousePressEvent(QMouseEvent* event) {
    // presses on the border, the panels and the captions end here
    if (PressChooses(event)) return;
    emit SelectRequested();
    event->accept();
}

bool TIFrame::PressChooses(QMouseEvent* event) {
    const Qt::KeyboardModifiers keys =
        event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier);
    if (event->button() != Qt::LeftButton) return false;
    if (keys) {
        // Ctrl or Shift chooses frames; the press does not move the crop area
        emit ExtendRequested(keys);
        event->accept();
        return true;
    }
    emit SoleRequested();
    return false;
}

bool TIFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cropper_) {
        return event->type() == QEvent::MouseButtonPress &&
               PressChooses(static_cast<QMouseEvent*>(event));
    }
    if (event->type() == QEvent::KeyPress)
        return NavigationKeyCheck(watched, static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::MouseButtonPress && watched == fileNameEdit_)
        emit SelectRequested();
    return false;
}

bool TIFrame::NavigationKeyCheck(QObject* watched, QKeyEvent* event) {
    using TNavigation = TCFrame::TNavigation;
    // other keys go their normal way, untouched: a key marked unhandled here
    // would travel on to the parents (Tab twice)
    const std::optional<TNavigation> found = TCFrame::NavigationOf(event->key());
    if (!found) return false;
    const TNavigation where = *found;
    // End and Home move the text cursor in the name edit
    const bool textKey = where == TNavigation::End || where == TNavigation::Home;
    if (watched == fileNameEdit_ && textKey) return false;
    emit Navigate(where);
    event->accept();
    return true;
}
