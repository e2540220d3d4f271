#include "ui/KeysForm.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "i18n/TranslateWindow.h"
#include "i18n/gnugettext.h"

namespace {
struct TShortcutRow {
    const char* key;
    const char* description;
};

constexpr TShortcutRow kRows[] = {
    {N_("Enter"), N_("Crop current image")},
    {N_("Arrow keys"), N_("Move crop area")},
    {N_("Shift-Minus"), N_("Decrease crop area 1 pixel")},
    {N_("Shift-Plus"), N_("Increase crop area 1 pixel")},
    {N_("Minus"), N_("Decrease crop area 8 pixels")},
    {N_("Plus"), N_("Increase crop area 8 pixels")},
    {N_("CTRL-Minus"), N_("Decrease crop area 32 pixels")},
    {N_("CTRL-Plus"), N_("Increase crop area 32 pixels")},
    {N_("PageUp"), N_("Go to previous image")},
    {N_("PageDown"), N_("Go to next image")},
    {N_("Home"), N_("Go to first image")},
    {N_("End"), N_("Go to last image")},
    // the keys of commands whose menu shortcuts would otherwise collide
    {N_("Space"), N_("Flip aspect")},
    {N_("Shift-Enter"), N_("Preview the crop externally")},
    {N_("CTRL-L"), N_("Rotate 90° left")},
    {N_("CTRL-R"), N_("Rotate 90° right")},
    {N_("CTRL-F"), N_("Add all images from a folder to the list")},
    {N_("CTRL-Shift-F"), N_("Add all images from a folder and its subfolders to the list")},
    {N_("CTRL-Z"), N_("Undo the last change to the list or to an image")},
    {N_("CTRL-Shift-Z, CTRL-Y"), N_("Do again the change last undone")},
    {N_("CTRL-A"), N_("Choose all images in the list")},
    {N_("CTRL-Click"), N_("Choose an image as well, or leave it out again")},
    {N_("Shift-Click"), N_("Choose the images from the current one to this one")},
};
} // namespace

TKeyboardForm::TKeyboardForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("KeyboardForm"));
    setWindowTitle(QString::fromUtf8(N_("Keyboard shortcuts")));
    resize(379, 365);

    table_ = new QTableWidget(static_cast<int>(std::size(kRows)), 2, this);
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
    for (const TShortcutRow& r : kRows) {
        table_->setItem(row, 0, new QTableWidgetItem(tr_(r.key)));
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
