// Alt with a letter must reach one thing, in every language the program carries:
// the menu titles and the bottom bar share the window, each menu its items, each
// page of a dialog its controls with the tabs and the dialog's buttons.
#include <filesystem>
#include <map>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "AccessKeys.h"
#include "ScriptedPrompt.h"
#include "TempDir.h"
#include "core/StorageTank.h"
#include "frames/IFrame.h"
#include "i18n/TranslateWindow.h"
#include "i18n/gnugettext.h"
#include "ui/AspectForm.h"
#include "ui/MainForm.h"
#include "ui/SForm.h"

namespace fs = std::filesystem;

namespace {
const char* const kLanguages[] = {"en_US", "da_DK", "de_DE", "hu_HU", "nl_NL", "pl_PL"};

void AddKey(std::multimap<QString, QString>& keys, const QString& text) {
    const QKeySequence key = QKeySequence::mnemonic(text);
    if (!key.isEmpty()) keys.emplace(key.toString().toUpper(), text);
}

std::multimap<QString, QString> MenuKeys(const QMenu* menu) {
    std::multimap<QString, QString> keys;
    for (const QAction* action : menu->actions())
        if (action->isVisible() && !action->isSeparator()) AddKey(keys, action->text());
    return keys;
}

// One place per language: a window, its menus, the crop area's menu and the dialogs.
std::string Clashes(const std::string& language, const TTempDir& dir) {
    TStorageTank stored("Settings");
    stored.setValue("Language", language);
    stored.saveToFile(dir.file("prog/Trimvale.ini"));
    TScriptedPrompt prompt;
    TMainForm window(TSettingsFile(dir.file("prog"), dir.file("cfg")), {}, &prompt);
    std::string found;
    const auto report = [&found](const std::string& where,
                                 const std::multimap<QString, QString>& keys) {
        const std::string clashes = AccessKeyClashes(keys);
        if (!clashes.empty()) found += where + ":\n" + clashes;
    };

    std::multimap<QString, QString> bar;
    for (const QAction* menu : window.menuBar()->actions())
        if (menu->isVisible()) AddKey(bar, menu->text());
    CollectAccessKeys(window.findChild<QWidget*>("BottomPanel"), bar);
    report("menu bar and bottom bar", bar);
    for (const QAction* title : window.menuBar()->actions())
        if (title->menu() && title->isVisible())
            report(title->text().toStdString(), MenuKeys(title->menu()));

    window.AddFiles({dir.file("a.jpg")});
    for (int i = 0; i < 300 && window.Adding(); ++i)
        QTest::qWait(10);
    if (!window.Images().empty()) {
        const QMenu* menu = window.Images()[0]->CropperMenu();
        report("crop area menu", MenuKeys(menu));
        for (const QAction* sub : menu->actions())
            if (sub->menu()) report(sub->text().toStdString(), MenuKeys(sub->menu()));
    } else {
        found += "no frame\n";
    }

    TSForm* settings = window.SForm();
    std::multimap<QString, QString> dialog;
    CollectAccessKeys(settings, dialog);
    auto* pages = settings->findChild<QTabWidget*>("PageControl");
    for (int i = 0; pages && i < pages->count(); ++i) {
        std::multimap<QString, QString> keys = dialog;
        CollectAccessKeys(pages->widget(i), keys);
        report("settings page " + pages->tabText(i).toStdString(), keys);
    }

    auto* aspects = window.findChild<TAspectForm*>("AspectForm");
    for (const char* kind : {"FixedWithUnitsCheck", "PixelCheck"}) {
        aspects->findChild<QRadioButton*>(kind)->setChecked(true);
        std::multimap<QString, QString> keys;
        CollectAccessKeys(aspects, keys);
        report(std::string("aspect editor, ") + kind, keys);
    }
    return found;
}
} // namespace

TEST(AccessKeysTest, EachAccessKeyReachesOneThingInEveryLanguage) {
    TTempDir dir;
    fs::create_directories(dir.file("prog"));
    fs::create_directories(dir.file("cfg"));
    MakeJpeg(dir.file("a.jpg"), 320, 240);
    for (const char* language : kLanguages)
        EXPECT_EQ(Clashes(language, dir), "") << language;
    SelectLanguage("en_US");
    InstallQtTranslation("en_US");
}
