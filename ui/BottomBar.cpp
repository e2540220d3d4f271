#include "ui/BottomBar.h"

#include <string>

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "i18n/gnugettext.h"
#include "ui/ShellServices.h"

TBottomBar::TBottomBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("BottomPanel"));
    addBtn_ = new QPushButton(QString::fromUtf8(N_("&Add Images...")), this);
    addBtn_->setObjectName(QStringLiteral("AddBtn"));
    addBtn_->setToolTip(QString::fromUtf8(N_("Add images to the list")));
    exeBtn_ = new QPushButton(QString::fromUtf8(N_("&Crop Images")), this);
    exeBtn_->setObjectName(QStringLiteral("ExeBtn"));
    exeBtn_->setToolTip(QString::fromUtf8(N_("Crop all images and remove them from the list")));
    exeBtn_->setDefault(true);
    auto* toDirLabel = new QLabel(QString::fromUtf8(N_("to dir")), this);
    toDirLabel->setObjectName(QStringLiteral("ToDirLabel"));
    dirEdit_ = new QLineEdit(this);
    dirEdit_->setObjectName(QStringLiteral("DirEdit"));
    dirEdit_->setToolTip(QString::fromUtf8(N_("Destination directory")));
    auto* browse = new QToolButton(this);
    browseBtn_ = browse;
    browse->setObjectName(QStringLiteral("BrowseBtn"));
    browse->setText(QStringLiteral("..."));
    browse->setToolTip(QString::fromUtf8(N_("Choose destination directory")));
    connect(browse, &QToolButton::clicked, this, &TBottomBar::BrowseBtnClick);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 4, 6, 4);
    row->addWidget(addBtn_);
    row->addWidget(exeBtn_);
    // the same room on both sides keeps the caption midway between the crop button and the
    // folder, however long its translation
    row->addSpacing(8);
    row->addWidget(toDirLabel);
    row->addSpacing(8);
    row->addWidget(dirEdit_, 1);
    row->addWidget(browseBtn_);
}

void TBottomBar::SetLocked(bool locked) {
    for (QWidget* w : {static_cast<QWidget*>(exeBtn_), static_cast<QWidget*>(dirEdit_), browseBtn_,
                       static_cast<QWidget*>(addBtn_)})
        w->setEnabled(!locked);
}

void TBottomBar::BrowseBtnClick() {
    std::string folder = dirEdit_->text().toStdString();
    if (SelectFolder(this, Translate("Select output directory"), folder))
        dirEdit_->setText(QString::fromStdString(folder));
}
