#include "ui/SForm.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include "AccessKeys.h"
#include "ScriptedPrompt.h"
#include "core/StorageTank.h"
#include "core/StorageTankElement.h"
#include "i18n/gnugettext.h"
#include "model/CropAspects.h"
#include "ui/AspectForm.h"

namespace {

// Answers the dialog's add and edit commands without a modal window.
class TFakeEditor : public IAspectEditor {
public:
    std::unique_ptr<TCropAspect> next;
    int edits = 0;
    std::unique_ptr<TCropAspect> AddAspect() override { return std::move(next); }
    bool EditAspect(TCropAspect& aspect) override {
        ++edits;
        aspect.SetDescription("Edited");
        return true;
    }
};

class TEventLog : public TObserver {
public:
    std::vector<std::string> events;
    void Update(TObject*, const std::string& event, const TVariant&) override {
        events.push_back(event);
    }
};

std::vector<std::string> Descriptions(const TCropAspectList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list.Items(i).Description());
    return out;
}

class SFormTest : public ::testing::Test {
protected:
    SFormTest() {
        SelectLanguage("en_US");
        registry.LoadDefaults();
        form.SetAspectEditor(&editor);
    }
    ~SFormTest() override { SelectLanguage("en_US"); }

    template <typename T> T* Find(const char* name) {
        T* widget = form.findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    bool Checked(const char* name) { return Find<QAbstractButton>(name)->isChecked(); }
    // near the left edge, where check and radio buttons take clicks too
    void Click(const char* name) {
        QAbstractButton* button = Find<QAbstractButton>(name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    QTableWidget* Grid() { return Find<QTableWidget>("AspectGrid"); }
    int SelectedRow() {
        const QModelIndexList rows = Grid()->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.front().row() : -1;
    }
    void SelectRow(int row) { Grid()->selectRow(row); }
    TCropAspectList& Working() { return form.WorkingAspects().CurrentList(); }
    void ShowOnPage(int page) {
        form.show();
        Find<QTabWidget>("PageControl")->setCurrentIndex(page);
    }

    TStorageTank settings;
    TCropAspects registry;
    TScriptedPrompt prompt;
    TFakeEditor editor;
    TSForm form{settings, registry, &prompt};
};

TEST_F(SFormTest, EmptyStoreShowsEveryDefault) {
    form.show();
    EXPECT_TRUE(Checked("AutoRotateCheck"));
    EXPECT_TRUE(Checked("ShowCropsizeCheck"));
    EXPECT_TRUE(Checked("EnterCheck"));
    EXPECT_TRUE(Find<QWidget>("ShowCropsizeCheck")->isHidden());
    EXPECT_TRUE(Find<QWidget>("EnterCheck")->isHidden());
    EXPECT_EQ(Find<QComboBox>("LookCombo")->currentText(), "Grey");
    EXPECT_TRUE(Checked("CopyMetaCheck"));
    EXPECT_FALSE(Checked("CopyDateCheck"));
    EXPECT_FALSE(Checked("PermissionCheck"));
    EXPECT_FALSE(Checked("LandscapeCheck"));
    EXPECT_TRUE(Checked("HuffmanCheck"));
    EXPECT_TRUE(Checked("UpdatePPICheck"));
    EXPECT_EQ(Find<QSpinBox>("HugeSpin")->value(), 800);
    EXPECT_EQ(Find<QLabel>("HugeEstimateLabel")->text(),
              "Approximate memory use for each huge image is 2376 KB");
    EXPECT_TRUE(Checked("SafeNamesCheck"));
    EXPECT_FALSE(Checked("PreviewImagesCheck"));
    EXPECT_TRUE(Checked("HonourOrientationCheck"));
    EXPECT_FALSE(Checked("TransformFilenameCheck"));
    EXPECT_FALSE(Find<QLineEdit>("TransformFilenameEdit")->isEnabled());
    EXPECT_EQ(Find<QLineEdit>("TransformFilenameEdit")->text(), "%N_Crop");
    EXPECT_EQ(Find<QLabel>("SampleLabel")->text(), "Sample: MyHouse_Crop.jpg");
    EXPECT_TRUE(Checked("WarnRadio"));
    EXPECT_EQ(Find<QComboBox>("LanguageCombo")->currentText(), "System language");
    // the aspects of the registry, with its default
    EXPECT_EQ(Grid()->rowCount(), 24);
    EXPECT_EQ(Grid()->item(0, 0)->text(), "9x13 cm");
    EXPECT_EQ(Find<QComboBox>("DefaultCropBox")->count(), 24);
    EXPECT_EQ(Find<QComboBox>("DefaultCropBox")->currentText(), "10x15 cm");
    EXPECT_EQ(SelectedRow(), 0);
}

TEST_F(SFormTest, ALanguageIsStoredOnlyWhenPicked) {
    // untouched, the list keeps following the system, whatever is spoken now
    SelectLanguage("de_DE");
    form.show();
    EXPECT_EQ(Find<QComboBox>("LanguageCombo")->currentIndex(), 0);
    Click("OKBtn");
    EXPECT_EQ(settings.getString("Language", "absent"), "");
    SelectLanguage("en_US");

    struct TCase {
        const char* stored;
        int picked; // -1: untouched
        const char* shown;
        const char* written;
    };
    const TCase cases[] = {
        {"", -1, "System language", ""},   {"de_DE", -1, "German", "de_DE"},
        {"de_AT", -1, "English", "en_US"}, // a code the list does not offer
        {"", 5, "German", "de_DE"},        {"pl_PL", 0, "System language", ""},
    };
    for (const TCase& c : cases) {
        settings.setValue("Language", c.stored);
        form.show();
        auto* combo = Find<QComboBox>("LanguageCombo");
        if (c.picked < 0) EXPECT_EQ(combo->currentText(), c.shown) << c.stored;
        if (c.picked >= 0) combo->setCurrentIndex(c.picked);
        EXPECT_EQ(combo->currentText(), c.shown) << c.stored;
        Click("OKBtn");
        EXPECT_EQ(settings.getString("Language", "absent"), c.written) << c.stored;
    }
}

TEST_F(SFormTest, OkOnEmptyStoreWritesEveryKeyInOrder) {
    form.show();
    Click("OKBtn");
    EXPECT_EQ(form.result(), QDialog::Accepted);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"ShowCropsize3", "Boolean"},       {"EnterCropsCurrentImage", "Boolean"},
        {"AutoRotateCrop", "Boolean"},      {"CropAreaLook", "Integer"},
        {"CopyMetadats", "Boolean"},        {"CopyFileDates", "Boolean"},
        {"CopyFilepermissions", "Boolean"}, {"AutoRotateToLandscapeAfterCrop", "Boolean"},
        {"HuffmanOptimize", "Boolean"},     {"UpdatePPI", "Boolean"},
        {"HugeHeight", "Integer"},          {"SafeNames", "Boolean"},
        {"PreviewImages", "Boolean"},       {"HonourOrientation", "Boolean"},
        {"KeepFaces", "Boolean"},           {"TransformFilename", "Boolean"},
        {"TransformTemplate", "String"},    {"ExistingFile", "String"},
        {"Language", "String"},             {"TransformerTimeout", "Integer"},
        {"SizeSubfolders", "Boolean"},      {"LowResolutionPPI", "Integer"},
    };
    ASSERT_EQ(settings.count(), int(expected.size()));
    for (int i = 0; i < settings.count(); ++i) {
        auto* element = dynamic_cast<TStorageElement*>(settings.item(i));
        ASSERT_NE(element, nullptr);
        EXPECT_EQ(element->getName(), expected[i].first);
        EXPECT_EQ(element->typeName(), expected[i].second) << expected[i].first;
    }
    EXPECT_TRUE(settings.getBoolean("ShowCropsize3", false));
    EXPECT_TRUE(settings.getBoolean("EnterCropsCurrentImage", false));
    EXPECT_EQ(settings.getInteger("CropAreaLook"), 4);
    EXPECT_EQ(settings.getInteger("HugeHeight"), 800);
    EXPECT_EQ(settings.getString("TransformTemplate"), "%N_Crop");
    EXPECT_EQ(settings.getString("ExistingFile"), "Warn");
    EXPECT_EQ(settings.getString("Language", "absent"), ""); // the system's language
    EXPECT_EQ(settings.getInteger("TransformerTimeout"), 120);
    EXPECT_TRUE(settings.getBoolean("KeepFaces", false));
}

TEST_F(SFormTest, StoredValuesSurviveAShowingAndOk) {
    settings.setValue("ShowCropsize3", false);
    settings.setValue("EnterCropsCurrentImage", false);
    settings.setValue("AutoRotateCrop", false);
    settings.setValue("CropAreaLook", 2);
    settings.setValue("CopyMetadats", false);
    settings.setValue("CopyFileDates", true);
    settings.setValue("CopyFilepermissions", true);
    settings.setValue("AutoRotateToLandscapeAfterCrop", true);
    settings.setValue("HuffmanOptimize", false);
    settings.setValue("UpdatePPI", false);
    settings.setValue("HugeHeight", 1234);
    settings.setValue("SafeNames", false);
    settings.setValue("PreviewImages", true);
    settings.setValue("HonourOrientation", false);
    settings.setValue("KeepFaces", false);
    settings.setValue("TransformFilename", true);
    settings.setValue("TransformTemplate", "crop_%N");
    settings.setValue("ExistingFile", "Overwrite");
    settings.setValue("Language", "hu_HU");
    settings.setValue("TransformerTimeout", 7);
    settings.setValue("SizeSubfolders", true);
    settings.setValue("LowResolutionPPI", 240);
    const std::string before = settings.toString();
    form.show();
    EXPECT_TRUE(Find<QLineEdit>("TransformFilenameEdit")->isEnabled());
    EXPECT_EQ(Find<QLabel>("SampleLabel")->text(), "Sample: crop_MyHouse.jpg");
    EXPECT_EQ(Find<QComboBox>("LanguageCombo")->currentText(), "Hungarian");
    Click("OKBtn");
    EXPECT_EQ(settings.toString(), before);
}

TEST_F(SFormTest, OutOfRangeValuesAreShownInRange) {
    struct Case {
        int look;
        const char* existing;
        const char* language;
        int shownLanguage; // "xx" shows as English, nothing as the system language
        const char* writtenLanguage;
        int shownLook;
        const char* shownRadio;
        int hugeHeight;
        int shownHeight;
    };
    const Case cases[] = {
        {9, "overwrite", "xx", 1, "en_US", 4, "WarnRadio", 50, 100},
        {-3, "Overwrite", "", 0, "", 0, "OverwriteRadio", 20000, 9999},
    };
    for (const Case& c : cases) {
        settings.setValue("CropAreaLook", c.look);
        settings.setValue("ExistingFile", c.existing);
        settings.setValue("Language", c.language);
        settings.setValue("HugeHeight", c.hugeHeight);
        form.show();
        EXPECT_EQ(Find<QComboBox>("LookCombo")->currentIndex(), c.shownLook);
        EXPECT_TRUE(Checked(c.shownRadio)) << c.existing;
        EXPECT_EQ(Find<QComboBox>("LanguageCombo")->currentIndex(), c.shownLanguage);
        EXPECT_EQ(Find<QSpinBox>("HugeSpin")->value(), c.shownHeight);
        Click("OKBtn");
        EXPECT_EQ(settings.getInteger("CropAreaLook", -1), c.shownLook);
        EXPECT_EQ(settings.getString("Language", "absent"), c.writtenLanguage);
        EXPECT_EQ(settings.getInteger("HugeHeight"), c.shownHeight);
    }
}

// A number typed beyond a field's range is stored as the nearest one allowed,
// never as the value the field held before.
TEST_F(SFormTest, TypedNumbersOutOfRangeBecomeTheNearestAllowed) {
    const struct {
        const char* spin;
        const char* key;
        const char* typed;
        int stored;
    } cases[] = {
        {"TimeoutSpin", "TransformerTimeout", "0", 1},
        {"TimeoutSpin", "TransformerTimeout", "30", 30},
        {"HugeSpin", "HugeHeight", "50", 100},
    };
    for (const auto& c : cases) {
        form.show();
        QSpinBox* spin = Find<QSpinBox>(c.spin);
        spin->setFocus();
        spin->selectAll();
        QTest::keyClicks(spin, c.typed);
        Click("OKBtn");
        EXPECT_EQ(settings.getInteger(c.key), c.stored) << c.spin << " " << c.typed;
    }
}

TEST_F(SFormTest, MemoryEstimateFollowsTheSpin) {
    const std::pair<int, int> cases[] = {{100, 25}, {500, 900}, {800, 2376}, {9999, 388986}};
    form.show();
    for (const auto& [height, kb] : cases) {
        EXPECT_EQ(TSForm::HugeEstimateKB(height), kb) << height;
        Find<QSpinBox>("HugeSpin")->setValue(height);
        EXPECT_TRUE(Find<QLabel>("HugeEstimateLabel")
                        ->text()
                        .endsWith(QStringLiteral(" is %1 KB").arg(kb)));
    }
}

TEST_F(SFormTest, TemplateFieldFollowsItsCheckAndFeedsTheSample) {
    ShowOnPage(1);
    Click("TransformFilenameCheck");
    auto* edit = Find<QLineEdit>("TransformFilenameEdit");
    EXPECT_TRUE(edit->isEnabled());
    edit->clear();
    QTest::keyClicks(edit, "%n-small");
    EXPECT_EQ(Find<QLabel>("SampleLabel")->text(), "Sample: MyHouse-small.jpg");
    Click("TransformFilenameCheck");
    EXPECT_FALSE(edit->isEnabled());
}

TEST_F(SFormTest, CancelEscapeAndCloseChangeNothing) {
    const std::vector<std::string> old = Descriptions(registry.CurrentList());
    TEventLog log;
    registry.Attach(&log);
    for (int way = 0; way < 3; ++way) {
        form.show();
        Click("AutoRotateCheck");
        SelectRow(5);
        Click("RemoveBtn");
        Click("UpBtn");
        editor.next = std::make_unique<TCropAspect>();
        Click("AddBtn");
        EXPECT_EQ(Working().Count(), 24);
        if (way == 0) Click("CancelBtn");
        if (way == 1) QTest::keyClick(&form, Qt::Key_Escape);
        if (way == 2) form.close();
        EXPECT_EQ(form.result(), QDialog::Rejected);
        EXPECT_FALSE(form.isVisible());
    }
    registry.Detach(&log);
    EXPECT_EQ(settings.count(), 0);
    EXPECT_TRUE(log.events.empty());
    EXPECT_EQ(Descriptions(registry.CurrentList()), old);
    // the next showing starts from the registry again
    form.show();
    EXPECT_EQ(Descriptions(Working()), old);
    EXPECT_EQ(Grid()->item(5, 0)->text(), "18x27 cm");
}

TEST_F(SFormTest, OkHandsTheWorkingCopyToTheRegistry) {
    TEventLog log;
    registry.Attach(&log);
    form.show();
    SelectRow(0);
    Click("RemoveBtn");
    editor.next = std::make_unique<TCropAspect>();
    editor.next->SetAll("Square", "none", 1, 1);
    Click("AddBtn");
    Click("OKBtn");
    registry.Detach(&log);
    EXPECT_EQ(log.events, std::vector<std::string>{"AspectListChanged"});
    const TCropAspectList& list = registry.CurrentList();
    ASSERT_EQ(list.Count(), 24);
    EXPECT_EQ(list.Items(0).Description(), "10x15 cm");
    EXPECT_EQ(list.Items(23).Description(), "Square");
    EXPECT_EQ(list.Items(23).Unit(), "none");
}

TEST_F(SFormTest, RemoveKeepsAtLeastOneAspect) {
    form.show();
    SelectRow(23);
    Click("RemoveBtn");
    // the selection moves to the row that is now last
    EXPECT_EQ(SelectedRow(), 22);
    SelectRow(3);
    Click("RemoveBtn");
    EXPECT_EQ(SelectedRow(), 3);
    EXPECT_EQ(Grid()->item(3, 0)->text(), "15x20 cm");
    while (Working().Count() > 1)
        Click("RemoveBtn");
    const std::string last = Working().Items(0).Description();
    Click("RemoveBtn");
    ASSERT_EQ(Working().Count(), 1);
    EXPECT_EQ(Working().Items(0).Description(), last);
    EXPECT_EQ(Grid()->rowCount(), 1);
}

TEST_F(SFormTest, MovesAtTheEndsDoNothing) {
    form.show();
    const std::vector<std::string> old = Descriptions(Working());
    SelectRow(0);
    Click("UpBtn");
    EXPECT_EQ(SelectedRow(), 0);
    SelectRow(23);
    Click("DownBtn");
    EXPECT_EQ(SelectedRow(), 23);
    EXPECT_EQ(Descriptions(Working()), old);
    // in the middle the selection travels with the aspect
    SelectRow(4);
    Click("DownBtn");
    EXPECT_EQ(SelectedRow(), 5);
    EXPECT_EQ(Grid()->item(5, 0)->text(), "15x20 cm");
    Click("UpBtn");
    Click("UpBtn");
    EXPECT_EQ(SelectedRow(), 3);
    EXPECT_EQ(Grid()->item(3, 0)->text(), "15x20 cm");
}

TEST_F(SFormTest, DefaultStaysAtItsPositionAndTheBoxSaysSo) {
    form.show();
    auto* box = Find<QComboBox>("DefaultCropBox");
    box->setCurrentIndex(3);
    emit box->activated(3);
    EXPECT_EQ(Working().DefaultIndex(), 3);
    SelectRow(3);
    Click("UpBtn");
    // "13x18 cm" moved into position 3 and so became the default
    EXPECT_EQ(Working().DefaultIndex(), 3);
    EXPECT_EQ(box->currentIndex(), 3);
    EXPECT_EQ(box->currentText(), "13x18 cm");
    Click("OKBtn");
    EXPECT_EQ(registry.CurrentList().DefaultIndex(), 3);
    EXPECT_EQ(registry.CurrentList().Items(3).Description(), "13x18 cm");
}

TEST_F(SFormTest, AddAndEditGoThroughTheEditor) {
    form.show();
    Click("AddBtn"); // the editor yields nothing: nothing is added
    EXPECT_EQ(Working().Count(), 24);
    editor.next = std::make_unique<TCropAspect>();
    editor.next->SetAll("Panorama", "none", 3, 1);
    Click("AddBtn");
    ASSERT_EQ(Grid()->rowCount(), 25);
    EXPECT_EQ(Grid()->item(24, 0)->text(), "Panorama");
    EXPECT_EQ(Find<QComboBox>("DefaultCropBox")->itemText(24), "Panorama");

    SelectRow(2);
    Click("EditBtn");
    EXPECT_EQ(editor.edits, 1);
    // the aspect's own announcement refreshed the grid and the box
    EXPECT_EQ(Grid()->item(2, 0)->text(), "Edited");
    EXPECT_EQ(Find<QComboBox>("DefaultCropBox")->itemText(2), "Edited");
    EXPECT_EQ(SelectedRow(), 2);
    const QRect cell = Grid()->visualRect(Grid()->model()->index(2, 0));
    QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(Grid()->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(editor.edits, 2);
}

TEST_F(SFormTest, DefaultsAskFirst) {
    form.show();
    SelectRow(0);
    Click("RemoveBtn");
    prompt.answers = {TAnswer::No, TAnswer::Yes};
    Click("Button1");
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_EQ(prompt.questions[0], "This will erase all custom aspects!\n\nContinue?");
    EXPECT_EQ(Working().Count(), 23);
    Click("Button1");
    EXPECT_EQ(Working().Count(), 24);
    EXPECT_EQ(Grid()->rowCount(), 24);
    EXPECT_EQ(Find<QComboBox>("DefaultCropBox")->currentText(), "10x15 cm");
}

TEST_F(SFormTest, NothingIsCutOff) {
    for (int page = 0; page < 3; ++page) {
        ShowOnPage(page);
        QWidget* current = Find<QTabWidget>("PageControl")->currentWidget();
        for (QWidget* w : current->findChildren<QWidget*>()) {
            if (!w->isVisible() || !(qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)))
                continue;
            EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString();
            const QRect inPage(w->mapTo(current, QPoint(0, 0)), w->size());
            EXPECT_TRUE(current->rect().contains(inPage)) << w->objectName().toStdString();
        }
        form.hide();
    }
}

} // namespace

// Alt with a letter reaches one control on each page: the page's own controls
// share the letters with the tabs and the dialog's buttons.
TEST(SFormAccessKeysTest, EachPageGivesEachAccessKeyOnce) {
    SelectLanguage("en_US");
    TCropAspects registry;
    registry.LoadDefaults();
    TStorageTank settings("Settings");
    TScriptedPrompt prompt;
    TSForm form(settings, registry, &prompt);
    std::multimap<QString, QString> dialog;
    CollectAccessKeys(&form, dialog);
    auto* pages = form.findChild<QTabWidget*>("PageControl");
    ASSERT_NE(pages, nullptr);
    for (int i = 0; i < pages->count(); ++i) {
        std::multimap<QString, QString> keys = dialog;
        CollectAccessKeys(pages->widget(i), keys);
        EXPECT_EQ(AccessKeyClashes(keys), "") << pages->tabText(i).toStdString();
    }
}
