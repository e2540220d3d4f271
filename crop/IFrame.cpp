#include "IFrame.h"

#include <cmath>

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include "CropAspects.h"
#include "DestinationNaming.h"
#include "TranslateWindow.h"
#include "gnugettext.h"

namespace {
const QColor kSkyBlue(166, 202, 240);
const QColor kLowResolution(255, 102, 102);
const QColor kMediumResolution(255, 255, 0);
const QColor kHighResolution(102, 204, 102);

// detail panel rows and the gaps of its design
constexpr int kRow1Top = 7;
constexpr int kRow2Top = 37;
constexpr int kEditHeight = 21;
constexpr int kButtonHeight = 24;
constexpr int kGap = 5;

/// A circular arrow for the rotate buttons, drawn so that no icon theme is needed.
QIcon RotateIcon(bool clockwise, const QColor& color) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color, 3, Qt::SolidLine, Qt::FlatCap));
    const QRectF circle(7, 7, 18, 18);
    // three quarters of a circle, open at the top
    p.drawArc(circle, clockwise ? 110 * 16 : 70 * 16, clockwise ? -280 * 16 : 280 * 16);
    const double end = (clockwise ? 110.0 - 280.0 : 70.0 + 280.0) * M_PI / 180.0;
    const QPointF tip(16 + 9 * std::cos(end), 16 - 9 * std::sin(end));
    const double dir = clockwise ? -1.0 : 1.0; // tangent direction at the arc's end
    const QPointF along(-std::sin(end) * dir, -std::cos(end) * dir);
    const QPointF across(std::cos(end), -std::sin(end));
    QPainterPath head;
    head.moveTo(tip + along * 6);
    head.lineTo(tip + across * 5);
    head.lineTo(tip - across * 5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(head);
    return QIcon(pixmap);
}

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
        if (!selected_ || !old || !isAncestorOf(old)) Notify(this, "Selected", true);
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
    cropper_->Area().SetGrid(16, 16, 1, 1);
    cropper_->Attach(this);
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
    registry_->Detach(this);
    cropper_->Detach(this);
}

void TIFrame::SetPanelColor(QWidget* panel, const QColor& color) {
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, color);
    panel->setPalette(p);
    panel->setAutoFillBackground(true);
}

void TIFrame::BuildDetailPanel() {
    detail_ = new QWidget(margin_);
    detail_->setObjectName("DetailPanel");
    auto label = [this](const char* name, const char* text) {
        auto* l = new QLabel(text, detail_);
        l->setObjectName(name);
        l->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
        return l;
    };
    fileCaption_ = label("FilenameCaption", N_("Filename:"));
    fileNameEdit_ = new QLineEdit(detail_);
    fileNameEdit_->setObjectName("FileNameEdit");
    fileNameEdit_->setToolTip(N_("Destination filename"));
    posLabel_ = label("PosLabel", "");
    posLabel_->setAlignment(Qt::AlignVCenter | Qt::AlignRight); // next to the size
    sizeLabel_ = label("SizeLabel", "");
    ppiCaption_ = label("PPICaption", N_("PPI:"));
    ppiCaption_->setToolTip(N_("Or rather: PPI, but you know what I mean"));
    ppiLabel_ = label("PPILabel", "");
    ppiLabel_->setAlignment(Qt::AlignCenter);

    const QColor ink = palette().color(QPalette::ButtonText);
    counterBtn_ = new QPushButton(detail_);
    counterBtn_->setObjectName("CounterBtn");
    counterBtn_->setToolTip(N_("Rotate 90° left"));
    counterBtn_->setIcon(RotateIcon(false, ink));
    clockBtn_ = new QPushButton(detail_);
    clockBtn_->setObjectName("ClockBtn");
    clockBtn_->setToolTip(N_("Rotate 90° right"));
    clockBtn_->setIcon(RotateIcon(true, ink));
    aspectCombo_ = new QComboBox(detail_);
    aspectCombo_->setObjectName("AspectCombo");
    aspectCombo_->setToolTip(N_("Aspect"));
    aspectCombo_->setMaxVisibleItems(20);
    rotateCheck_ = new QCheckBox(N_("&Flip Aspect"), detail_);
    rotateCheck_->setObjectName("RotateCheck");
    cropBtn_ = new QPushButton(N_("Crop"), detail_);
    cropBtn_->setObjectName("CropBtn");
    cropBtn_->setToolTip(N_("Crop the image and remove it from the list"));
    cropBtn_->setDefault(true);

    connect(counterBtn_, &QPushButton::clicked, this, [this] { SendFunction("Counter"); });
    connect(clockBtn_, &QPushButton::clicked, this, [this] { SendFunction("Clockwise"); });
    connect(cropBtn_, &QPushButton::clicked, this, [this] { SendFunction("Crop"); });
    // a choice made by the user, also of the same entry again, proposes a new area
    connect(aspectCombo_, &QComboBox::activated, this, [this] { AspectComboChange(); });
    connect(rotateCheck_, &QCheckBox::toggled, this, [this] { AspectComboChange(); });
    for (QWidget* w : std::initializer_list<QWidget*>{fileNameEdit_, cropBtn_, aspectCombo_,
                                                      counterBtn_, clockBtn_, rotateCheck_})
        w->installEventFilter(this);
}

void TIFrame::BuildMenu() {
    menu_ = new QMenu(this);
    menu_->setObjectName("CropperMenu");
    auto command = [this](const char* name, const char* text, TFrameCommand c) {
        QAction* a = menu_->addAction(text);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, [this, c] { RunCommand(c); });
        return a;
    };
    previewAction_ = command("PreviewItem", N_("&Preview"), TFrameCommand::Preview);
    menu_->setDefaultAction(previewAction_);
    cropAction_ = command("CropItem", N_("&Crop Current"), TFrameCommand::CropCurrent);
    menu_->addSeparator();
    flipAction_ = menu_->addAction(N_("&Flip aspect"));
    flipAction_->setObjectName("FlipAspectItem");
    flipAction_->setCheckable(true);
    flipAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    // the key is taken only while the focus is in the editor, which triggers it
    flipAction_->setShortcutContext(Qt::WidgetShortcut);
    cropper_->addAction(flipAction_);
    // kept in step with the check box, so that Ctrl+F toggles from the current state
    connect(rotateCheck_, &QCheckBox::toggled, flipAction_, &QAction::setChecked);
    connect(flipAction_, &QAction::triggered, this, [this](bool checked) {
        if (checked != rotateCheck_->isChecked()) rotateCheck_->setChecked(checked);
    });
    rotateLeftAction_ =
        command("RotateLeftItem", N_("Ro&tate 90° Left"), TFrameCommand::RotateLeft);
    rotateRightAction_ =
        command("RotateRightItem", N_("Ro&tate 90° Right"), TFrameCommand::RotateRight);
    menu_->addSeparator();
    aspectsMenu_ = menu_->addMenu(N_("&Aspects"));
    aspectsMenu_->setObjectName("AspectsMenu");
    QMenu* data = menu_->addMenu(N_("&Data"));
    data->setObjectName("DataMenu");
    for (QAction*& item : dataItems_)
        item = data->addAction(QString());
    QMenu* look = menu_->addMenu(N_("&Look"));
    look->setObjectName("LookMenu");
    auto* group = new QActionGroup(look);
    const char* looks[] = {N_("Box"), N_("Black"), N_("Inverse"), N_("Fade"), N_("Grey")};
    for (int i = 0; i < 5; ++i) {
        lookItems_[i] = look->addAction(looks[i]);
        lookItems_[i]->setObjectName(QString("Look%1").arg(i));
        lookItems_[i]->setCheckable(true);
        group->addAction(lookItems_[i]);
        connect(lookItems_[i], &QAction::triggered, this, [this, i] { SetLook(i); });
    }
    lookItems_[cropper_->Look()]->setChecked(true);
    menu_->addSeparator();
    removeAction_ = command("RemoveItem", N_("&Remove"), TFrameCommand::Remove);
}

// --- layout ---

void TIFrame::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutChildren();
}

void TIFrame::LayoutChildren() {
    const int w = width();
    const int h = height();
    margin_->setGeometry(kOuterBorder, kOuterBorder, w - 2 * kOuterBorder, h - 2 * kOuterBorder);
    const int innerW = std::max(0, margin_->width() - 2 * kMarginBorder);
    const int innerH = std::max(0, margin_->height() - 2 * kMarginBorder);
    const int detailH = std::min(detailHeight_, innerH);
    detail_->setGeometry(kMarginBorder, kMarginBorder + innerH - detailH, innerW, detailH);
    cropBorder_->setGeometry(kMarginBorder, kMarginBorder, innerW, innerH - detailH);
    cropper_->setGeometry(0, 0, innerW, innerH - detailH);
    LayoutDetailPanel();
}

void TIFrame::LayoutDetailPanel() {
    const int w = detail_->width();
    const QFontMetrics fm(posLabel_->font());
    // read-outs as wide as their texts, with room for small numbers kept
    const int posW =
        std::max(fm.horizontalAdvance("(000, 000)"), fm.horizontalAdvance(posLabel_->text())) + 2;
    const int sizeW =
        std::max(fm.horizontalAdvance("0000x000"), fm.horizontalAdvance(sizeLabel_->text())) + 2;
    const int ppiCapW = ppiCaption_->sizeHint().width() + 2;
    const int ppiW = fm.horizontalAdvance("0000") + 8;
    const int captionW = fileCaption_->sizeHint().width() + 2; // translated texts differ
    const int buttonW = 28;
    // the aspect list's left edge, where the name edit starts too, clear of the caption
    const int comboLeft = std::max(2 * buttonW + 2 * 2, captionW + 6);

    const int ppiX = w - ppiW;
    ppiLabel_->setGeometry(ppiX, kRow1Top + 1, ppiW, kEditHeight - 2);
    const int ppiCapX = ppiX - 2 - ppiCapW;
    ppiCaption_->setGeometry(ppiCapX, kRow1Top, ppiCapW, kEditHeight);
    const int sizeX = ppiCapX - 4 - sizeW;
    sizeLabel_->setGeometry(sizeX, kRow1Top, sizeW, kEditHeight);
    const int posX = sizeX - 6 - posW;
    posLabel_->setGeometry(posX, kRow1Top, posW, kEditHeight);
    fileCaption_->setGeometry(0, kRow1Top, captionW, kEditHeight);
    if (details_ == "Brief") {
        // one row: the name from the caption's left edge up to the resolution
        fileNameEdit_->setGeometry(0, kRow1Top, std::max(0, ppiX - kGap), kEditHeight);
    } else {
        fileNameEdit_->setGeometry(comboLeft, kRow1Top, std::max(0, posX - kGap - comboLeft),
                                   kEditHeight);
    }

    counterBtn_->setGeometry(0, kRow2Top, buttonW, kButtonHeight);
    clockBtn_->setGeometry(buttonW + 2, kRow2Top, buttonW, kButtonHeight);
    const int cropW = std::max(60, cropBtn_->sizeHint().width());
    const int cropX = w - cropW;
    cropBtn_->setGeometry(cropX, kRow2Top, cropW, kButtonHeight);
    const int checkW = rotateCheck_->sizeHint().width();
    const int checkX = cropX - 6 - checkW;
    rotateCheck_->setGeometry(checkX, kRow2Top, checkW, kButtonHeight);
    aspectCombo_->setGeometry(comboLeft, kRow2Top, std::max(0, checkX - 6 - comboLeft),
                              kButtonHeight);
}

int TIFrame::PreferredWidthForHeight(int frameHeight) const {
    const int borders = 2 * 0 + 2 * kMarginBorder + 2 * kOuterBorder;
    const int editorHeight = std::max(0, frameHeight - borders - detailHeight_);
    return cropper_->PreferredWidth(editorHeight) + borders;
}

int TIFrame::DetailHeightFor(const std::string& level) {
    if (level == "None") return 0;
    if (level == "Brief") return kRow1Top + kEditHeight + kGap;
    return kFullDetailHeight;
}

int TIFrame::EditorHeightFor(int frameHeight, const std::string& level) {
    // the frame's borders, then the detail panel below the editor
    const int inner = std::max(0, std::max(0, frameHeight - 2 * kOuterBorder) - 2 * kMarginBorder);
    return inner - std::min(DetailHeightFor(level), inner);
}

QSize TIFrame::sizeHint() const {
    return QSize(PreferredWidth(), height());
}

void TIFrame::SetDetails(const std::string& level) {
    if (level == details_) return;
    details_ = level;
    const bool full = level != "None" && level != "Brief";
    // a control that goes out of sight hands the focus to the editor, not on to whatever
    // comes next (the next frame)
    QWidget* focus = QApplication::focusWidget();
    if (detail_->isAncestorOf(focus) && !full && (level == "None" || focus != fileNameEdit_))
        cropper_->GrabFocus();
    detail_->setVisible(level != "None");
    setMinimumWidth(full ? fullMinWidth_ : kBriefMinWidth);
    for (QWidget* w : {fileCaption_, posLabel_, sizeLabel_, ppiCaption_})
        w->setVisible(full);
    // in one row the second row's controls are cut off and leave the tab order
    for (QWidget* w : std::initializer_list<QWidget*>{counterBtn_, clockBtn_, aspectCombo_,
                                                      rotateCheck_, cropBtn_})
        w->setFocusPolicy(full ? Qt::StrongFocus : Qt::NoFocus);
    detailHeight_ =
        level == "None" || level == "Brief" ? DetailHeightFor(level) : fullDetailHeight_;
    LayoutChildren();
    Reload();
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
        cropper_->Area().FitThumbnail();
        cropper_->Area().Recalculate();
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
    cropper_->SetRotation(degrees);
    FitNewThumbnail();
}

void TIFrame::FitNewThumbnail() {
    // a decode sizes the thumbnail by the editor's height alone; a wide photo must also fit
    // the editor's width, or its sides and the crop edges are out of reach
    TCropArea& area = cropper_->Area();
    area.SetSurfaceSize(cropper_->width(), cropper_->height());
    area.FitThumbnail();
    area.Recalculate();
}

void TIFrame::SetSelected(bool selected) {
    selected_ = selected;
    SetPanelColor(this, palette().color(selected ? QPalette::Highlight : QPalette::Button));
    SetPanelColor(cropBorder_, selected ? kSkyBlue : palette().color(QPalette::Button));
    UpdateFlipKey();
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
    Notify(this, "Selected", std::string());
}

void TIFrame::SetFocus() {
    if (parentWidget()) FocusCrop();
}

void TIFrame::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    SetFocus();
}

void TIFrame::AutoFlip() {
    if (cropper_->Area().IsPortrait()) rotateCheck_->setChecked(true);
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
    return list.Items(index).GetPPI(cropper_->Area().CropWidth(), rotateCheck_->isChecked());
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
    cropper_->Area().Propose(KindOfUnit(unit), aspect.Horizontal(), aspect.Vertical(),
                             rotateCheck_->isChecked());
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
    const TCropArea& area = cropper_->Area();
    posLabel_->setText(Q(area.PositionText()));
    sizeLabel_->setText(Q(area.SizeText()));
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

void TIFrame::SendFunction(const char* value) {
    Notify(this, "Function", std::string(value));
}

void TIFrame::Update(TObject* sender, const std::string& event, const TVariant& value) {
    if (event == "Recalculated") {
        UpdateReadouts();
    } else if (event == "Selected") {
        Notify(this, "Selected", value);
        const bool on = std::holds_alternative<bool>(value) && std::get<bool>(value);
        SetPanelColor(cropBorder_, on ? kSkyBlue : palette().color(QPalette::Button));
    } else if (event == "AspectListChanged") {
        FillAspects();
    } else if (event == "DoubleClick") {
        Notify(sender, "Function", std::string("PreviewCrop"));
    } else if (event == "FlipAspect") {
        rotateCheck_->setChecked(!rotateCheck_->isChecked());
    } else {
        Notify(this, event, value);
    }
}

void TIFrame::mousePressEvent(QMouseEvent* event) {
    // presses on the border, the panels and the captions end here
    Notify(this, "Selected", std::string());
    event->accept();
}

bool TIFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress)
        return NavigationKeyCheck(watched, static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::MouseButtonPress && watched == fileNameEdit_)
        Notify(this, "Selected", std::string());
    return false;
}

bool TIFrame::NavigationKeyCheck(QObject* watched, QKeyEvent* event) {
    const char* name = nullptr;
    switch (event->key()) {
    case Qt::Key_PageUp:
        name = "PreviousImage";
        break;
    case Qt::Key_PageDown:
        name = "NextImage";
        break;
    case Qt::Key_End:
        name = "EndImage";
        break;
    case Qt::Key_Home:
        name = "HomeImage";
        break;
    }
    // End and Home move the text cursor in the name edit; other keys go their normal way,
    // untouched: a key marked unhandled here would travel on to the parents (Tab twice)
    const bool textKey = event->key() == Qt::Key_End || event->key() == Qt::Key_Home;
    if (!name || (watched == fileNameEdit_ && textKey)) return false;
    Notify(cropper_, name, std::string());
    event->accept();
    return true;
}

// --- popup menu ---

void TIFrame::RunCommand(TFrameCommand command) {
    if (!commands_ || !commands_->IsEnabled(command)) return;
    switch (command) {
    case TFrameCommand::Preview:
        commands_->Preview(*this);
        break;
    case TFrameCommand::CropCurrent:
        commands_->CropCurrent(*this);
        break;
    case TFrameCommand::RotateLeft:
        commands_->RotateLeft(*this);
        break;
    case TFrameCommand::RotateRight:
        commands_->RotateRight(*this);
        break;
    case TFrameCommand::Remove:
        commands_->Remove(*this);
        break;
    }
}

void TIFrame::CropperMenuPopup() {
    flipAction_->setChecked(rotateCheck_->isChecked());
    const std::pair<QAction*, TFrameCommand> commands[] = {
        {previewAction_, TFrameCommand::Preview},
        {cropAction_, TFrameCommand::CropCurrent},
        {rotateLeftAction_, TFrameCommand::RotateLeft},
        {rotateRightAction_, TFrameCommand::RotateRight},
        {removeAction_, TFrameCommand::Remove}};
    for (const auto& [action, command] : commands)
        action->setEnabled(commands_ && commands_->IsEnabled(command));

    // a menu would take an "&" in a file name for an access key
    const auto literal = [](QString text) { return text.replace("&", "&&"); };
    dataItems_[0]->setText(literal(tr_("Filename: %1").arg(fileNameEdit_->text())));
    dataItems_[1]->setText(
        literal(tr_("Spatial: %1 %2").arg(posLabel_->text(), sizeLabel_->text())));
    dataItems_[2]->setText(literal(tr_("PPI: %1").arg(ppiLabel_->text())));

    aspectsMenu_->clear();
    for (int i = 0; i < aspectCombo_->count(); ++i) {
        const QString text = aspectCombo_->itemText(i);
        QAction* item = aspectsMenu_->addAction(QString(text).replace("&", "&&"));
        item->setCheckable(true);
        item->setChecked(i == aspectCombo_->currentIndex());
        // the entry is found by its own text, so an "&" in it does not get lost
        connect(item, &QAction::triggered, this, [this, text] {
            const int index = aspectCombo_->findText(text, Qt::MatchExactly);
            if (index >= 0) aspectCombo_->setCurrentIndex(index);
            AspectComboChange();
        });
    }
}

TIFrame* TIFrame::FromSender(TObject* sender) {
    if (auto* frame = dynamic_cast<TIFrame*>(sender)) return frame;
    auto* editor = dynamic_cast<TCFrame*>(sender);
    for (QWidget* w = editor; w; w = w->parentWidget())
        if (auto* frame = qobject_cast<TIFrame*>(w)) return frame;
    return nullptr;
}
