// The image frame's popup menu and the commands it asks the main window for.
#include "frames/IFrame.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

#include "i18n/TranslateWindow.h"
#include "i18n/gnugettext.h"

void TIFrame::BuildMenu() {
    menu_ = new QMenu(this);
    menu_->setObjectName("CropperMenu");
    auto command = [this](const char* name, const char* text, TFrameCommand c) {
        QAction* a = menu_->addAction(text);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, [this, c] { MenuCommand(c); });
        return a;
    };
    previewAction_ = command("PreviewItem", N_("&Preview"), TFrameCommand::Preview);
    menu_->setDefaultAction(previewAction_);
    cropAction_ = command("CropItem", N_("&Crop Current"), TFrameCommand::CropCurrent);
    menu_->addSeparator();
    flipAction_ = menu_->addAction(N_("&Flip aspect"));
    flipAction_->setObjectName("FlipAspectItem");
    flipAction_->setCheckable(true);
    // Space, as the editor flips by it: Ctrl+F adds a folder wherever the focus is
    flipAction_->setShortcut(QKeySequence(Qt::Key_Space));
    // the key is taken only while the focus is in the editor, which triggers it
    flipAction_->setShortcutContext(Qt::WidgetShortcut);
    cropper_->addAction(flipAction_);
    // kept in step with the check box, so that Space toggles from the current state
    connect(rotateCheck_, &QCheckBox::toggled, flipAction_, &QAction::setChecked);
    connect(flipAction_, &QAction::triggered, this, [this](bool checked) {
        if (checked != rotateCheck_->isChecked()) rotateCheck_->setChecked(checked);
    });
    rotateLeftAction_ =
        command("RotateLeftItem", N_("Rotat&e 90° Left"), TFrameCommand::RotateLeft);
    rotateRightAction_ =
        command("RotateRightItem", N_("Rotate 90° Ri&ght"), TFrameCommand::RotateRight);
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

void TIFrame::MenuCommand(TFrameCommand command) {
    // the menu was prepared when it opened; the window may have changed since
    if (commands_ && commands_->IsEnabled(command)) RunCommand(command);
}

void TIFrame::RunCommand(TFrameCommand command) {
    // the window makes this frame current and guards the command itself, as for
    // its own menu and keys
    if (!commands_) return;
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
