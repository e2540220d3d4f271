// The main window's print order file: Save, Save As, Open, the recent orders,
// the autosave and its offer after an unclean end.
#include <QAction>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>

#include "i18n/TranslateWindow.h"
#include "i18n/gnugettext.h"
#include "model/Options.h"
#include "ui/FrameList.h"
#include "ui/MainForm.h"
#include "ui/OrderKeeper.h"
#include "ui/ShellServices.h"

void TMainForm::MakeOrderKeeper() {
    TOrderKeeper::THost host;
    host.Window = this;
    host.List = list_.get();
    host.Settings = settings_.get();
    host.Prompt = prompt_;
    host.Destination = [this] { return DirEdit()->text().toStdString(); };
    host.SetDestination = [this](const std::string& folder) {
        DirEdit()->setText(QString::fromStdString(folder));
    };
    host.Status = [this](const QString& text) { SetStatusText(text); };
    host.ChooseFile = [this](bool save, const std::string& start) {
        const QString filter = tr_("Print orders (*.tvorder);;All files (*)");
        const QString from = QString::fromStdString(start);
        const QString chosen =
            save ? QFileDialog::getSaveFileName(this, tr_("Save Print Order"), from, filter)
                 : QFileDialog::getOpenFileName(this, tr_("Open Print Order"), from, filter);
        return chosen.toStdString();
    };
    host.ShowFolder = [](const std::string& folder) { ShellOpen(folder); };
    keeper_ = std::make_unique<TOrderKeeper>(std::move(host), settingsFile_.StateFolder());
    connect(list_.get(), &TFrameList::StepsChanged, keeper_.get(), &TOrderKeeper::Changed);
    connect(Action("SaveOrderAction"), &QAction::triggered, this, [this] {
        if (!processing_) keeper_->Save();
    });
    connect(Action("SaveOrderAsAction"), &QAction::triggered, this, [this] {
        if (!processing_) keeper_->SaveAs();
    });
    connect(Action("OpenOrderAction"), &QAction::triggered, this, [this] {
        if (MayChangeList()) keeper_->Open();
    });
    connect(Action("ExportSummaryAction"), &QAction::triggered, this, [this] {
        const QString path =
            QFileDialog::getSaveFileName(this, tr_("Export Order Summary"), {},
                                         tr_("Text (*.txt);;CSV for spreadsheets (*.csv)"));
        if (!path.isEmpty())
            keeper_->ExportSummary(path.toStdString(), Get(*settings_, Options::LowResolutionPPI));
    });
    connect(recentMenu_, &QMenu::aboutToShow, this,
            [this] { keeper_->FillRecentMenu(*recentMenu_); });
    keeper_->FillRecentMenu(*recentMenu_);
}
