// The image frame's controls: the detail panel, the layout of the frame and
// its panel, and the details level.
#include "frames/IFrame.h"

#include <cmath>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include "i18n/gnugettext.h"

namespace {
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
} // namespace

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
    // shown only for a photo whose data ends early
    incompleteLabel_ = label("IncompleteLabel", N_("incomplete: the lower part is grey"));
    incompleteLabel_->setToolTip(incompleteLabel_->text());
    QPalette warning = incompleteLabel_->palette();
    warning.setColor(QPalette::WindowText, QColor(192, 0, 0));
    incompleteLabel_->setPalette(warning);
    incompleteLabel_->hide();
    // the name and the mark share a row: a name of another length shares it anew
    connect(fileNameEdit_, &QLineEdit::textChanged, this, [this] {
        if (incompleteLabel_->isVisibleTo(detail_)) LayoutDetailPanel();
        emit Changed();
    });

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

    connect(counterBtn_, &QPushButton::clicked, this,
            [this] { RunCommand(TFrameCommand::RotateLeft); });
    connect(clockBtn_, &QPushButton::clicked, this,
            [this] { RunCommand(TFrameCommand::RotateRight); });
    connect(cropBtn_, &QPushButton::clicked, this,
            [this] { RunCommand(TFrameCommand::CropCurrent); });
    // a choice made by the user, also of the same entry again, proposes a new area
    connect(aspectCombo_, &QComboBox::activated, this, [this] {
        AspectComboChange();
        emit AspectChosen(false);
    });
    connect(rotateCheck_, &QCheckBox::toggled, this, [this] {
        AspectComboChange();
        emit AspectChosen(true);
    });
    for (QWidget* w : std::initializer_list<QWidget*>{fileNameEdit_, cropBtn_, aspectCombo_,
                                                      counterBtn_, clockBtn_, rotateCheck_})
        w->installEventFilter(this);
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

namespace {
// what a line edit needs around its text: frame, margins and the cursor
constexpr int kNameEditPadding = 14;
} // namespace

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
    // one row: the name from the caption's left edge up to the resolution
    const bool brief = details_ == "Brief";
    const int nameX = brief ? 0 : comboLeft;
    int nameEnd = (brief ? ppiX : posX) - kGap;
    if (incompleteLabel_->isVisibleTo(detail_)) {
        // the whole name comes first; the mark takes what is left, at least a quarter
        // of the room, and its tool tip tells the rest
        const int room = std::max(0, nameEnd - nameX);
        const int nameW = fileNameEdit_->fontMetrics().horizontalAdvance(fileNameEdit_->text()) +
                          kNameEditPadding;
        const QString full = incompleteLabel_->toolTip();
        const int fullW = fm.horizontalAdvance(full) + 2;
        const int markW = std::min(fullW, std::max(room / 4, room - nameW - kGap));
        // cut short where it must be, with "…", not in the middle of a letter
        incompleteLabel_->setText(fm.elidedText(full, Qt::ElideRight, markW - 2));
        incompleteLabel_->setGeometry(nameEnd - markW, kRow1Top, markW, kEditHeight);
        nameEnd -= markW + kGap;
    }
    fileNameEdit_->setGeometry(nameX, kRow1Top, std::max(0, nameEnd - nameX), kEditHeight);

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
    const TCropArea& area = Crop();
    return PreferredWidthFor(frameHeight, area.ImageHeight() > 0 ? double(area.ImageWidth()) /
                                                                      area.ImageHeight()
                                                                : 0.0);
}

int TIFrame::PreferredWidthFor(int frameHeight, double viewRatio) const {
    const int borders = 2 * kMarginBorder + 2 * kOuterBorder;
    const int editorHeight = std::max(0, frameHeight - borders - detailHeight_);
    return ThumbWidthFor(editorHeight, viewRatio) + borders;
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
