#include "ui/KeysForm.h"

#include <algorithm>
#include <vector>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "i18n/TranslateWindow.h"
#include "i18n/gnugettext.h"

namespace {
// A row names its keys by Qt's own key names (as the menus show them, in the
// user's language), or by a text where no one key is meant.
struct TShortcutRow {
    std::vector<QKeyCombination> keys;
    /// For rows without keys: "Arrow keys", or "Click" after the modifier of Held.
    const char* text;
    const char* description;
    Qt::KeyboardModifiers held = Qt::NoModifier;
};

const std::vector<TShortcutRow>& Rows() {
    static const std::vector<TShortcutRow> rows = {
        {{Qt::Key_Return}, nullptr, N_("Crop current image")},
        {{}, N_("Arrow keys"), N_("Move crop area")},
        {{Qt::SHIFT | Qt::Key_Minus}, nullptr, N_("Decrease crop area 1 pixel")},
        {{Qt::SHIFT | Qt::Key_Plus}, nullptr, N_("Increase crop area 1 pixel")},
        {{Qt::Key_Minus}, nullptr, N_("Decrease crop area 8 pixels")},
        {{Qt::Key_Plus}, nullptr, N_("Increase crop area 8 pixels")},
        {{Qt::CTRL | Qt::Key_Minus}, nullptr, N_("Decrease crop area 32 pixels")},
        {{Qt::CTRL | Qt::Key_Plus}, nullptr, N_("Increase crop area 32 pixels")},
        {{Qt::Key_PageUp}, nullptr, N_("Go to previous image")},
        {{Qt::Key_PageDown}, nullptr, N_("Go to next image")},
        {{Qt::Key_Home}, nullptr, N_("Go to first image")},
        {{Qt::Key_End}, nullptr, N_("Go to last image")},
        {{Qt::Key_Space}, nullptr, N_("Flip aspect")},
        {{Qt::SHIFT | Qt::Key_Return}, nullptr, N_("Preview the crop externally")},
        {{Qt::CTRL | Qt::Key_L}, nullptr, N_("Rotate 90° left")},
        {{Qt::CTRL | Qt::Key_R}, nullptr, N_("Rotate 90° right")},
        {{Qt::CTRL | Qt::Key_D}, nullptr, N_("Remove current image from the list")},
        {{Qt::CTRL | Qt::Key_I}, nullptr, N_("Add images to the list")},
        {{Qt::CTRL | Qt::Key_F}, nullptr, N_("Add all images from a folder to the list")},
        {{Qt::CTRL | Qt::SHIFT | Qt::Key_F},
         nullptr,
         N_("Add all images from a folder and its subfolders to the list")},
        {{Qt::CTRL | Qt::Key_P}, nullptr, N_("Opens the preferences dialog")},
        {{Qt::CTRL | Qt::Key_Z}, nullptr, N_("Undo the last change to the list or to an image")},
        {{Qt::CTRL | Qt::SHIFT | Qt::Key_Z, Qt::CTRL | Qt::Key_Y},
         nullptr,
         N_("Do again the change last undone")},
        {{Qt::CTRL | Qt::Key_A}, nullptr, N_("Choose all images in the list")},
        {{Qt::CTRL | Qt::Key_1}, nullptr, N_("Switch to small thumbnails view")},
        {{Qt::CTRL | Qt::Key_2}, nullptr, N_("Switch to medium thumbnails view")},
        {{Qt::CTRL | Qt::Key_3}, nullptr, N_("Switch to large thumbnails view")},
        {{Qt::CTRL | Qt::Key_4}, nullptr, N_("Switch to huge thumbnails view")},
        {{},
         N_("Click"),
         N_("Choose an image as well, or leave it out again"),
         Qt::ControlModifier},
        {{},
         N_("Click"),
         N_("Choose the images from the current one to this one"),
         Qt::ShiftModifier},
    };
    return rows;
}

QString KeyText(const TShortcutRow& row) {
    QStringList keys;
    for (const QKeyCombination& key : row.keys)
        keys << QKeySequence(key).toString(QKeySequence::NativeText);
    QString text = keys.join(QStringLiteral(", "));
    if (row.held != Qt::NoModifier) {
        // Qt names a modifier only with a key: "Ctrl+A" less the "A" is "Ctrl+"
        text =
            QKeySequence(QKeyCombination(row.held, Qt::Key_A)).toString(QKeySequence::NativeText);
        text.chop(1);
    }
    if (row.text) text += tr_(row.text);
    return text;
}
} // namespace

TKeyboardForm::TKeyboardForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("KeyboardForm"));
    setWindowTitle(QString::fromUtf8(N_("Keyboard shortcuts")));
    resize(379, 365);

    table_ = new QTableWidget(static_cast<int>(Rows().size()), 2, this);
    table_->setObjectName(QStringLiteral("ValueListEditor1"));
    // table cells are not among the texts a window translation reaches
    table_->setHorizontalHeaderLabels({tr_("Key"), tr_("Value")});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setShowGrid(true);
    table_->setColumnWidth(0, 97);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    int row = 0;
    for (const TShortcutRow& r : Rows()) {
        table_->setItem(row, 0, new QTableWidgetItem(KeyText(r)));
        table_->setItem(row, 1, new QTableWidgetItem(tr_(r.description)));
        ++row;
    }

    auto* ok = new QPushButton(QString::fromUtf8(N_("&OK")), this);
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::hide);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addWidget(table_);
    layout->addLayout(buttons);

    TranslateWindow(this);
    // one line per key: the dialog grows with the longest translated description
    table_->setWordWrap(false);
    table_->resizeColumnsToContents();
    table_->resizeRowsToContents();
    const int wide = table_->columnWidth(0) + table_->columnWidth(1) + 60;
    const int high =
        table_->verticalHeader()->length() + table_->horizontalHeader()->sizeHint().height() + 80;
    resize(std::max(width(), wide), std::clamp(high, height(), 700));
}
