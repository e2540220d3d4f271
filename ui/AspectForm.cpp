#include "ui/AspectForm.h"

#include <cmath>
#include <limits>
#include <optional>

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "core/Error.h"
#include "core/StringController.h"
#include "i18n/TranslateWindow.h"
#include "i18n/gnugettext.h"
#include "model/CropAspect.h"
#include "ui/ModPanel.h"

namespace {
// the unit list's positions and the unit each one writes
struct TUnitChoice {
    const char* shown;
    const char* unit;
};
constexpr TUnitChoice kUnits[] = {
    {N_("Centimeters"), "cm"}, {N_("Milllimeters"), "mm"}, {N_("Inches"), "inches"}};
} // namespace

TAspectForm::TAspectForm(QWidget* parent) : QDialog(parent) {
    BuildControls();
    TranslateWindow(this);
    // the unit names join after the window's translation, so they are translated here
    for (const TUnitChoice& u : kUnits)
        unitCombo_->addItem(tr_(u.shown));
    unitCombo_->setCurrentIndex(0);
    resize(sizeHint().expandedTo(QSize(405, 308)));
}

void TAspectForm::BuildControls() {
    setObjectName(QStringLiteral("AspectForm"));
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(10, 10, 10, 10);

    auto* descriptionRow = new QHBoxLayout;
    auto* descriptionLabel = new QLabel(QString::fromUtf8(N_("&Description:")), this);
    descriptionEdit_ = new QLineEdit(this);
    descriptionEdit_->setObjectName(QStringLiteral("DescriptionEdit"));
    descriptionLabel->setBuddy(descriptionEdit_);
    descriptionRow->addWidget(descriptionLabel);
    descriptionRow->addWidget(descriptionEdit_, 1);
    root->addLayout(descriptionRow);

    typePanel_ = new TModPanel(QString::fromUtf8(N_("&Type")), this);
    typePanel_->setObjectName(QStringLiteral("TypePanel"));
    auto* typeLayout = new QVBoxLayout(typePanel_);
    auto* types = new QButtonGroup(this);
    auto radio = [&](QRadioButton*& button, const char* name, const char* caption) {
        button = new QRadioButton(QString::fromUtf8(caption), typePanel_);
        button->setObjectName(QString::fromUtf8(name));
        typeLayout->addWidget(button);
        types->addButton(button);
    };
    radio(fixedWithUnitsCheck_, "FixedWithUnitsCheck",
          N_("&Fixed aspect ratio with units (gives PPI)"));
    radio(fixedSansUnitsCheck_, "FixedSansUnitsCheck", N_("F&ixed aspect ratio without units"));
    radio(pixelCheck_, "PixelCheck", N_("Fi&xed pixel size"));
    radio(freeCheck_, "FreeCheck", N_("F&ree size"));
    radio(noCropCheck_, "NoCropCheck", N_("&No crop"));
    connect(types, &QButtonGroup::buttonToggled, this, [this](QAbstractButton*, bool checked) {
        if (checked) HandleTypeChanged();
    });
    root->addWidget(typePanel_);

    settingsPanel_ = new TModPanel(QString::fromUtf8(N_("S&ettings")), this);
    settingsPanel_->setObjectName(QStringLiteral("SettingsPanel"));
    auto* sizeRow = new QHBoxLayout(settingsPanel_);
    sizeLabel_ = new QLabel(QString::fromUtf8(N_("&Size:")), settingsPanel_);
    sizeLabel_->setObjectName(QStringLiteral("SizeLabel"));
    horEdit_ = new QLineEdit(settingsPanel_);
    horEdit_->setObjectName(QStringLiteral("HorEdit"));
    verEdit_ = new QLineEdit(settingsPanel_);
    verEdit_->setObjectName(QStringLiteral("VerEdit"));
    sizeLabel_->setBuddy(horEdit_);
    unitCombo_ = new QComboBox(settingsPanel_);
    unitCombo_->setObjectName(QStringLiteral("UnitCombo"));
    pixelLabel_ = new QLabel(QString::fromUtf8(N_("pixels")), settingsPanel_);
    pixelLabel_->setObjectName(QStringLiteral("PixelLabel"));
    sizeRow->addWidget(sizeLabel_);
    sizeRow->addWidget(horEdit_, 1);
    sizeRow->addWidget(new QLabel(QStringLiteral("x"), settingsPanel_));
    sizeRow->addWidget(verEdit_, 1);
    // the unit list and the pixel caption take turns at the same place
    sizeRow->addWidget(unitCombo_);
    sizeRow->addWidget(pixelLabel_);
    root->addWidget(settingsPanel_);
    connect(descriptionEdit_, &QLineEdit::textEdited, this, [this] { nameFollows_ = false; });
    for (QLineEdit* edit : {horEdit_, verEdit_})
        connect(edit, &QLineEdit::textChanged, this, &TAspectForm::FollowSizes);
    connect(unitCombo_, &QComboBox::currentIndexChanged, this, &TAspectForm::FollowSizes);
    sizeError_ = new QLabel(this);
    sizeError_->setObjectName(QStringLiteral("SizeError"));
    sizeError_->setStyleSheet(QStringLiteral("color: #c00000;"));
    sizeError_->hide();
    root->addWidget(sizeError_);
    root->addStretch(1);

    auto* buttons = new QHBoxLayout;
    auto* okBtn = new QPushButton(QString::fromUtf8(N_("&OK")), this);
    okBtn->setObjectName(QStringLiteral("OKBtn"));
    okBtn->setDefault(true);
    auto* cancelBtn = new QPushButton(QString::fromUtf8(N_("Cancel")), this);
    cancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(okBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addStretch(1);
    buttons->addWidget(okBtn);
    buttons->addWidget(cancelBtn);
    root->addLayout(buttons);
}

void TAspectForm::HandleTypeChanged() {
    settingsPanel_->setVisible(!noCropCheck_->isChecked() && !freeCheck_->isChecked());
    unitCombo_->setVisible(fixedWithUnitsCheck_->isChecked());
    pixelLabel_->setVisible(pixelCheck_->isChecked());
    const bool sized = fixedWithUnitsCheck_->isChecked() || pixelCheck_->isChecked();
    sizeLabel_->setText(tr_(sized ? "&Size" : "&Aspect"));
    FollowSizes();
}

namespace {
/// The largest size of each unit: beyond a print of 5 metres, a ratio of 1000
/// to 1 or the pixels JPEG can hold, a size is a slip of the keyboard.
double LargestSize(const std::string& unit) {
    if (unit == "cm") return 500;
    if (unit == "mm") return 5000;
    if (unit == "inches") return 200;
    if (unit == "pixels") return 65500;
    return 1000;
}

/// A size typed by the user: a positive finite number up to the unit's largest,
/// for pixels a whole one. Both "." and "," separate the decimals, whatever the language.
std::optional<double> ReadSize(const QLineEdit* edit, const std::string& unit) {
    double v = 0;
    try {
        v = ReadDecimal(edit->text().trimmed().toStdString());
    } catch (const TConvertError&) {
        return std::nullopt;
    }
    if (!std::isfinite(v) || v <= 0 || v > LargestSize(unit)) return std::nullopt;
    if (unit == "pixels" && v != std::floor(v)) return std::nullopt;
    return v;
}

/// A size as the user's language writes it: "10,5" in German.
QString ShownSize(double v) {
    const QLocale locale(QString::fromStdString(CurrentLanguage()));
    return QString::fromStdString(FormatDecimal(4, v)).replace('.', locale.decimalPoint());
}
} // namespace

std::string TAspectForm::CheckedUnit() const {
    if (fixedWithUnitsCheck_->isChecked()) {
        const int i = unitCombo_->currentIndex();
        return i >= 0 && i < int(std::size(kUnits)) ? kUnits[i].unit : "cm";
    }
    if (fixedSansUnitsCheck_->isChecked()) return "none";
    if (pixelCheck_->isChecked()) return "pixels";
    if (freeCheck_->isChecked()) return "free";
    return "nocrop";
}

QString TAspectForm::ProposedName() const {
    const std::string unit = CheckedUnit();
    if (unit == "free") return tr_("Free");
    if (unit == "nocrop") return tr_("No crop");
    const std::optional<double> h = ReadSize(horEdit_, unit), v = ReadSize(verEdit_, unit);
    if (!h || !v) return descriptionEdit_->text(); // nothing to name yet
    const QString sizes = ShownSize(*h) + (unit == "none" ? ":" : "x") + ShownSize(*v);
    if (unit == "cm" || unit == "mm") return sizes + QString::fromStdString(unit);
    if (unit == "inches") return ShownSize(*h) + "\" x " + ShownSize(*v) + "\"";
    return sizes;
}

void TAspectForm::FollowSizes() {
    if (nameFollows_) descriptionEdit_->setText(ProposedName());
}

bool TAspectForm::SizesUsed() const {
    return fixedWithUnitsCheck_->isChecked() || fixedSansUnitsCheck_->isChecked() ||
           pixelCheck_->isChecked();
}

void TAspectForm::ShowSizeError(QLineEdit* edit) {
    for (QLineEdit* e : {horEdit_, verEdit_})
        e->setStyleSheet(e == edit ? QStringLiteral("QLineEdit { border: 2px solid #c00000; }")
                                   : QString());
    if (!edit) {
        sizeError_->clear();
        sizeError_->hide();
        return;
    }
    const QString largest = ShownSize(LargestSize(CheckedUnit()));
    sizeError_->setText(pixelCheck_->isChecked()
                            ? tr_("Enter a whole number of pixels from 1 to %1.").arg(largest)
                            : tr_("Enter a number greater than 0 and at most %1.").arg(largest));
    sizeError_->show();
    edit->setFocus();
    edit->selectAll();
}

void TAspectForm::accept() {
    // a size the aspect cannot use keeps the dialog open at the field to correct
    if (SizesUsed()) {
        for (QLineEdit* edit : {horEdit_, verEdit_}) {
            if (!ReadSize(edit, CheckedUnit())) {
                ShowSizeError(edit);
                return;
            }
        }
    }
    ShowSizeError(nullptr);
    QDialog::accept();
}

void TAspectForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    ShowSizeError(nullptr);
    descriptionEdit_->selectAll();
    descriptionEdit_->setFocus();
}

std::unique_ptr<TCropAspect> TAspectForm::AddAspect() {
    // the proposed name follows the sizes until the user types one
    nameFollows_ = false;
    horEdit_->setText(ShownSize(15));
    verEdit_->setText(ShownSize(10));
    unitCombo_->setCurrentIndex(0);
    fixedWithUnitsCheck_->setChecked(true);
    HandleTypeChanged();
    nameFollows_ = true;
    FollowSizes();
    setWindowTitle(tr_("Add new aspect"));
    if (exec() != QDialog::Accepted) return nullptr;
    auto aspect = std::make_unique<TCropAspect>();
    if (!ApplyTo(*aspect)) return nullptr;
    return aspect;
}

bool TAspectForm::EditAspect(TCropAspect& aspect) {
    setWindowTitle(tr_("Edit aspect"));
    nameFollows_ = false;
    descriptionEdit_->setText(QString::fromStdString(aspect.Description()));
    horEdit_->setText(ShownSize(aspect.Horizontal()));
    verEdit_->setText(ShownSize(aspect.Vertical()));
    const std::string& unit = aspect.Unit();
    if (unit == "none") {
        fixedSansUnitsCheck_->setChecked(true);
    } else if (unit == "pixels") {
        pixelCheck_->setChecked(true);
    } else if (unit == "nocrop") {
        noCropCheck_->setChecked(true);
    } else if (unit == "free") {
        freeCheck_->setChecked(true);
    } else {
        fixedWithUnitsCheck_->setChecked(true);
        for (int i = 0; i < int(std::size(kUnits)); ++i)
            if (unit == kUnits[i].unit) unitCombo_->setCurrentIndex(i);
    }
    // a kind that was already checked sends no toggle, yet the panel may be stale
    HandleTypeChanged();
    // a name that says the sizes keeps saying them; one of the user's own stays
    nameFollows_ = descriptionEdit_->text() == ProposedName();
    if (exec() != QDialog::Accepted) return false;
    return ApplyTo(aspect);
}

bool TAspectForm::ApplyTo(TCropAspect& aspect) {
    const std::string unit = CheckedUnit();
    const std::optional<double> h = ReadSize(horEdit_, unit), v = ReadSize(verEdit_, unit);
    if (SizesUsed() && (!h || !v)) return false; // accept() let no such size through
    // "no crop" keeps sizes that are usable, for a later change of its kind
    if (h && v) {
        aspect.SetHorizontal(*h);
        aspect.SetVertical(*v);
    }
    aspect.SetDescription(descriptionEdit_->text().toStdString());
    if (fixedWithUnitsCheck_->isChecked()) {
        const int i = unitCombo_->currentIndex();
        if (i >= 0 && i < int(std::size(kUnits))) aspect.SetUnit(kUnits[i].unit);
    } else if (fixedSansUnitsCheck_->isChecked()) {
        aspect.SetUnit("none");
    } else if (freeCheck_->isChecked()) {
        aspect.SetUnit("free");
        aspect.SetHorizontal(0);
        aspect.SetVertical(0);
    } else if (pixelCheck_->isChecked()) {
        aspect.SetUnit("pixels");
    } else {
        aspect.SetUnit("nocrop");
    }
    return true;
}
