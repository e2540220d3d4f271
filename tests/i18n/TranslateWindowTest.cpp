#include "i18n/TranslateWindow.h"

#include <map>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QTranslator>
#include <QVBoxLayout>

#include "i18n/gnugettext.h"

namespace {

// Each translation also maps to "TWICE", so a text translated a second time shows.
std::string German(const std::string& text) {
    static const std::map<std::string, std::string> words = {
        {"Settings", "Einstellungen"},
        {"Destination folder:", "Zielordner:"},
        {"Where cropped images go", "Wohin die zugeschnittenen Bilder kommen"},
        {"&Crop", "&Zuschneiden"},
        {"Crop", "Zuschneiden"},
        {"Crops the current image", "Schneidet das aktuelle Bild zu"},
        {"Copy &metadata", "&Metadaten kopieren"},
        {"&Landscape", "&Querformat"},
        {"Output", "Ausgabe"},
        {"Box", "Rahmen"},
        {"Black", "Schwarz"},
        {"Folder name", "Ordnername"},
        {"General", "Allgemein"},
        {"General options", "Allgemeine Einstellungen"},
        {"&File", "&Datei"},
        {"&Open...", "Ö&ffnen..."},
        {"&Recent", "&Zuletzt"},
        {"Frame menu", "Bildmenü"},
        {"Rotate clockwise", "Im Uhrzeigersinn drehen"},
        {"Shown in the status bar", "In der Statusleiste"},
    };
    if (const auto it = words.find(text); it != words.end()) return it->second;
    for (const auto& [english, german] : words)
        if (text == german) return "TWICE";
    return text;
}

} // namespace

TEST(TranslateWindowTest, ReplacesEveryCaptionOfAWindowAndItsChildren) {
    QMainWindow window;
    window.setObjectName("Settings");
    window.setWindowTitle("Settings");
    auto* central = new QWidget(&window);
    window.setCentralWidget(central);
    auto* layout = new QVBoxLayout(central);
    auto* label = new QLabel("Destination folder:", central);
    label->setObjectName("Crop");
    label->setToolTip("Where cropped images go");
    label->setStatusTip("Shown in the status bar");
    auto* group = new QGroupBox("Output", central);
    auto* groupLayout = new QVBoxLayout(group);
    auto* crop = new QPushButton("&Crop", group);
    auto* copy = new QCheckBox("Copy &metadata", group);
    auto* landscape = new QRadioButton("&Landscape", group);
    auto* unknown = new QPushButton("Not in the catalogue", group);
    for (QWidget* w : {static_cast<QWidget*>(crop), static_cast<QWidget*>(copy),
                       static_cast<QWidget*>(landscape), static_cast<QWidget*>(unknown)})
        groupLayout->addWidget(w);
    auto* looks = new QComboBox(central);
    looks->addItems({"Box", "Black", "Grey"});
    auto* list = new QListWidget(central);
    list->addItems({"Black", "Crop"});
    auto* edit = new QLineEdit("Crop", central); // the user's text
    edit->setPlaceholderText("Folder name");
    auto* tabs = new QTabWidget(central);
    tabs->addTab(new QWidget, "General");
    tabs->setTabToolTip(0, "General options");
    for (QWidget* w :
         {static_cast<QWidget*>(label), static_cast<QWidget*>(group), static_cast<QWidget*>(looks),
          static_cast<QWidget*>(list), static_cast<QWidget*>(edit), static_cast<QWidget*>(tabs)})
        layout->addWidget(w);

    // One action shared by a menu, a submenu and a tool button.
    QMenu* file = window.menuBar()->addMenu("&File");
    QAction* open = file->addAction("&Open...");
    QMenu* recent = file->addMenu("&Recent");
    QAction* cropAction = recent->addAction("Crop");
    cropAction->setToolTip("Crops the current image");
    cropAction->setObjectName("CropAction");
    file->addAction(cropAction);
    auto* tool = new QToolButton(central);
    tool->setDefaultAction(cropAction);
    layout->addWidget(tool);
    auto* popup = new QMenu("Frame menu", &window); // shown on right click, in no menu bar
    QAction* rotate = popup->addAction("Rotate clockwise");

    TranslateWindow(&window, German);

    EXPECT_EQ(window.windowTitle(), "Einstellungen");
    EXPECT_EQ(window.objectName(), "Settings");
    EXPECT_EQ(label->text(), "Zielordner:");
    EXPECT_EQ(label->objectName(), "Crop");
    EXPECT_EQ(label->toolTip(), "Wohin die zugeschnittenen Bilder kommen");
    EXPECT_EQ(label->statusTip(), "In der Statusleiste");
    EXPECT_EQ(group->title(), "Ausgabe");
    EXPECT_EQ(crop->text(), "&Zuschneiden");
    EXPECT_EQ(copy->text(), "&Metadaten kopieren");
    EXPECT_EQ(landscape->text(), "&Querformat");
    EXPECT_EQ(unknown->text(), "Not in the catalogue");
    EXPECT_EQ(looks->itemText(0), "Rahmen");
    EXPECT_EQ(looks->itemText(1), "Schwarz");
    EXPECT_EQ(looks->itemText(2), "Grey");
    EXPECT_EQ(list->item(0)->text(), "Schwarz");
    EXPECT_EQ(list->item(1)->text(), "Zuschneiden");
    EXPECT_EQ(edit->text(), "Crop");
    EXPECT_EQ(edit->placeholderText(), "Ordnername");
    EXPECT_EQ(tabs->tabText(0), "Allgemein");
    EXPECT_EQ(tabs->tabToolTip(0), "Allgemeine Einstellungen");
    EXPECT_EQ(file->title(), "&Datei");
    EXPECT_EQ(open->text(), "Ö&ffnen...");
    EXPECT_EQ(recent->title(), "&Zuletzt");
    EXPECT_EQ(cropAction->text(), "Zuschneiden");
    EXPECT_EQ(cropAction->toolTip(), "Schneidet das aktuelle Bild zu");
    EXPECT_EQ(cropAction->objectName(), "CropAction");
    EXPECT_EQ(tool->text(), "Zuschneiden");
    EXPECT_EQ(popup->title(), "Bildmenü");
    EXPECT_EQ(rotate->text(), "Im Uhrzeigersinn drehen");
}

TEST(TranslateWindowTest, EnglishLeavesTheWindowAsItWas) {
    const std::string before = CurrentLanguage();
    SelectLanguage("en_US");
    QWidget frame;
    frame.setWindowTitle("Crop");
    auto* button = new QPushButton("&Crop", &frame);
    TranslateWindow(&frame);
    TranslateWindow(nullptr);
    EXPECT_EQ(frame.windowTitle(), "Crop");
    EXPECT_EQ(button->text(), "&Crop");
    EXPECT_EQ(tr_("Crop"), QString("Crop"));
    EXPECT_EQ(tr_(std::string("Cannot open file ")), QString("Cannot open file "));
    SelectLanguage(before);
}

TEST(TranslateWindowTest, QtsOwnTextsFollowTheLanguage) {
    const std::pair<std::string, QString> cases[] = {
        {"de_AT", "&Ja"},  {"da_DK", "&Ja"},  {"hu_HU", "&Igen"}, {"nl_NL", "&Ja"},
        {"pl_PL", "&Tak"}, {"en_US", "&Yes"}, {"xx_YY", "&Yes"},  {"../de", "&Yes"},
    };
    for (const auto& [code, yes] : cases) {
        EXPECT_EQ(InstallQtTranslation(code), yes != "&Yes") << code;
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(box.button(QMessageBox::Yes)->text(), yes) << code;
        // one translation at a time, whichever came before
        EXPECT_EQ(qApp->findChildren<QTranslator*>().size(), yes != "&Yes" ? 1 : 0) << code;
    }
}
