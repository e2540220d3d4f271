#include "ui/AspectForm.h"

#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "AccessKeys.h"
#include "i18n/gnugettext.h"
#include "model/CropAspect.h"
#include "model/CropAspects.h"

namespace {

class TCounter : public TObserver {
public:
    int events = 0;
    void Update(TObject*, const std::string&, const TVariant&) override { ++events; }
};

class AspectFormTest : public ::testing::Test {
protected:
    AspectFormTest() { SelectLanguage("en_US"); }

    template <typename T> T* Find(const char* name) {
        T* widget = form.findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void Type(const char* name, const char* text) {
        auto* edit = Find<QLineEdit>(name);
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    // near the left edge, where check and radio buttons take clicks too
    void Click(const char* name) {
        QAbstractButton* button = Find<QAbstractButton>(name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    // Runs what the user does once the modal dialog is up; the act ends with
    // a click on OK unless it closed the dialog itself.
    void WhenShown(std::function<void()> act) {
        QTimer::singleShot(0, &form, [this, act] {
            act();
            if (form.isVisible()) Click("OKBtn");
        });
    }
    bool Shown(const char* name) { return !Find<QWidget>(name)->isHidden(); }

    TAspectForm form;
};

TEST_F(AspectFormTest, AddWithoutChangesGivesTheTemplateAspect) {
    QString title, selected;
    WhenShown([&] {
        title = form.windowTitle();
        selected = Find<QLineEdit>("DescriptionEdit")->selectedText();
    });
    std::unique_ptr<TCropAspect> aspect = form.AddAspect();
    ASSERT_NE(aspect, nullptr);
    EXPECT_EQ(title, "Add new aspect");
    EXPECT_EQ(selected, "15x10cm");
    EXPECT_EQ(aspect->Description(), "15x10cm");
    EXPECT_EQ(aspect->Horizontal(), 15);
    EXPECT_EQ(aspect->Vertical(), 10);
    EXPECT_EQ(aspect->Unit(), "cm");
}

TEST_F(AspectFormTest, AddAppliesTheCheckedKind) {
    struct Case {
        const char* radio;
        int unitPosition;
        const char* hor;
        const char* ver;
        const char* unit;
        double horizontal, vertical;
    };
    const Case cases[] = {
        {"FixedWithUnitsCheck", 1, "100", "150", "mm", 100, 150},
        {"FixedWithUnitsCheck", 2, "7", "5", "inches", 7, 5},
        {"FixedSansUnitsCheck", 0, "16", "9", "none", 16, 9},
        {"PixelCheck", 0, "800", "600", "pixels", 800, 600},
        // free size drops the sizes, no crop keeps them as typed
        {"FreeCheck", 0, "7", "8", "free", 0, 0},
        {"NoCropCheck", 0, "7", "8", "nocrop", 7, 8},
        {"FixedSansUnitsCheck", 0, "12,5", " 0.5", "none", 12.5, 0.5},
        // sizes a kind does not use need not be numbers
        {"FreeCheck", 0, "x", "", "free", 0, 0},
    };
    for (const Case& c : cases) {
        WhenShown([&] {
            Type("HorEdit", c.hor);
            Type("VerEdit", c.ver);
            Find<QComboBox>("UnitCombo")->setCurrentIndex(c.unitPosition);
            Click(c.radio);
        });
        std::unique_ptr<TCropAspect> aspect = form.AddAspect();
        ASSERT_NE(aspect, nullptr) << c.radio;
        EXPECT_EQ(aspect->Unit(), c.unit);
        EXPECT_EQ(aspect->Horizontal(), c.horizontal) << c.unit;
        EXPECT_EQ(aspect->Vertical(), c.vertical) << c.unit;
    }
}

TEST_F(AspectFormTest, AddGivesNothingOnCancel) {
    const std::function<void()> acts[] = {
        [&] { Click("CancelBtn"); },
        [&] { QTest::keyClick(&form, Qt::Key_Escape); },
        [&] { form.close(); },
    };
    for (const auto& act : acts) {
        WhenShown(act);
        EXPECT_EQ(form.AddAspect(), nullptr);
    }
}

TEST_F(AspectFormTest, AWrongSizeKeepsTheDialogOpenAndMarksTheField) {
    struct Case {
        const char* radio;
        const char* field;
        const char* text;
        const char* message;
    };
    const char* centimetres = "Enter a number greater than 0 and at most 500.";
    const char* ratio = "Enter a number greater than 0 and at most 1000.";
    const char* pixels = "Enter a whole number of pixels from 1 to 65500.";
    const Case cases[] = {
        {"FixedWithUnitsCheck", "HorEdit", "abc", centimetres},
        {"FixedWithUnitsCheck", "VerEdit", "0", centimetres},
        {"FixedWithUnitsCheck", "VerEdit", "", centimetres},
        {"FixedWithUnitsCheck", "HorEdit", "1e9", centimetres},
        {"FixedWithUnitsCheck", "VerEdit", "500.01", centimetres},
        {"FixedSansUnitsCheck", "HorEdit", "-3", ratio},
        {"FixedSansUnitsCheck", "HorEdit", "1,234.5", ratio},
        {"FixedSansUnitsCheck", "HorEdit", "inf", ratio},
        {"PixelCheck", "VerEdit", "600.5", pixels},
        {"PixelCheck", "HorEdit", "65501", pixels},
        {"PixelCheck", "HorEdit", "99999999999", pixels},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.radio) + " " + c.field + " \"" + c.text + "\"");
        bool stayed = false;
        QString message, style;
        QWidget* focus = nullptr;
        QTimer::singleShot(0, &form, [&] {
            Click(c.radio);
            Type(c.field, c.text);
            Click("OKBtn");
            stayed = form.isVisible();
            message = Find<QLabel>("SizeError")->text();
            style = Find<QLineEdit>(c.field)->styleSheet();
            focus = form.focusWidget();
            // corrected, the same dialog closes with the aspect
            Type(c.field, "4");
            Click("OKBtn");
        });
        std::unique_ptr<TCropAspect> aspect = form.AddAspect();
        EXPECT_TRUE(stayed);
        EXPECT_EQ(message, c.message);
        EXPECT_FALSE(style.isEmpty());
        EXPECT_EQ(focus, Find<QLineEdit>(c.field));
        ASSERT_NE(aspect, nullptr);
        EXPECT_GT(aspect->Horizontal(), 0);
        EXPECT_GT(aspect->Vertical(), 0);
        // the next showing starts clean
        QTimer::singleShot(0, &form, [&] {
            message = Find<QLabel>("SizeError")->text();
            Click("CancelBtn");
        });
        form.AddAspect();
        EXPECT_TRUE(message.isEmpty());
    }
}

TEST_F(AspectFormTest, EditShowsTheAspect) {
    TCropAspects registry;
    registry.LoadDefaults();
    TCropAspect& inches = registry.CurrentList().Items(15); // 3.5" x 5"
    TCounter counter;
    registry.Attach(&counter);
    QString title, unit;
    bool unitsChecked = false;
    QString hor, ver;
    WhenShown([&] {
        title = form.windowTitle();
        hor = Find<QLineEdit>("HorEdit")->text();
        ver = Find<QLineEdit>("VerEdit")->text();
        unitsChecked = Find<QRadioButton>("FixedWithUnitsCheck")->isChecked();
        unit = Find<QComboBox>("UnitCombo")->currentText();
    });
    EXPECT_TRUE(form.EditAspect(inches));
    registry.Detach(&counter);
    EXPECT_EQ(title, "Edit aspect");
    EXPECT_EQ(hor, "5");
    EXPECT_EQ(ver, "3.5");
    EXPECT_TRUE(unitsChecked);
    EXPECT_EQ(unit, "Inches");
    // nothing changed, so nothing was announced
    EXPECT_EQ(counter.events, 0);
}

TEST_F(AspectFormTest, EditReadsBothDecimalSeparators) {
    TCropAspect aspect;
    aspect.SetAll("9x13 cm", "cm", 12.7, 8.89);
    QString hor, ver;
    WhenShown([&] {
        hor = Find<QLineEdit>("HorEdit")->text();
        ver = Find<QLineEdit>("VerEdit")->text();
        Type("HorEdit", "12,7");
        Type("VerEdit", "9,5");
    });
    EXPECT_TRUE(form.EditAspect(aspect));
    EXPECT_EQ(hor, "12.7");
    EXPECT_EQ(ver, "8.89");
    EXPECT_EQ(aspect.Horizontal(), 12.7);
    EXPECT_EQ(aspect.Vertical(), 9.5);
    EXPECT_EQ(aspect.Unit(), "cm");
}

// The name follows the sizes, written as the language writes numbers, until
// the user types a name; an aspect's own name is kept when it is edited.
TEST_F(AspectFormTest, TheNameFollowsTheSizesUntilTheUserTypesOne) {
    struct Case {
        const char* language;
        const char* named; ///< the edited aspect's name; nullptr: a new aspect
        const char* radio;
        int unitPosition;
        const char* typedName; ///< typed before the sizes; nullptr: none
        const char* hor;
        const char* ver;
        const char* name;
    };
    const Case cases[] = {
        {"en_US", nullptr, "FixedWithUnitsCheck", 0, nullptr, "20", "30", "20x30cm"},
        {"en_US", nullptr, "FixedWithUnitsCheck", 1, nullptr, "100", "150", "100x150mm"},
        {"en_US", nullptr, "FixedWithUnitsCheck", 2, nullptr, "7", "5", "7\" x 5\""},
        {"en_US", nullptr, "FixedSansUnitsCheck", 0, nullptr, "16", "9", "16:9"},
        {"en_US", nullptr, "PixelCheck", 0, nullptr, "800", "600", "800x600"},
        {"en_US", nullptr, "FixedWithUnitsCheck", 0, "Mine", "20", "30", "Mine"},
        {"de_DE", nullptr, "FixedWithUnitsCheck", 0, nullptr, "10.5", "15", "10,5x15cm"},
        {"en_US", "15.24x10.16cm", "FixedWithUnitsCheck", 0, nullptr, "18", "13", "18x13cm"},
        {"en_US", "10x15 cm", "FixedWithUnitsCheck", 0, nullptr, "18", "13", "10x15 cm"},
    };
    for (const Case& c : cases) {
        SelectLanguage(c.language);
        WhenShown([&] {
            Click(c.radio);
            Find<QComboBox>("UnitCombo")->setCurrentIndex(c.unitPosition);
            if (c.typedName) Type("DescriptionEdit", c.typedName);
            Type("HorEdit", c.hor);
            Type("VerEdit", c.ver);
        });
        std::string name;
        if (c.named) {
            TCropAspect aspect;
            aspect.SetAll(c.named, "cm", 15.24, 10.16);
            ASSERT_TRUE(form.EditAspect(aspect));
            name = aspect.Description();
        } else {
            std::unique_ptr<TCropAspect> aspect = form.AddAspect();
            ASSERT_NE(aspect, nullptr);
            name = aspect->Description();
        }
        EXPECT_EQ(name, c.name) << c.hor << " " << c.ver;
    }
    // sizes are shown as the language writes them
    SelectLanguage("de_DE");
    TCropAspect aspect;
    aspect.SetAll("9x13 cm", "cm", 12.7, 8.89);
    QString hor;
    WhenShown([&] { hor = Find<QLineEdit>("HorEdit")->text(); });
    EXPECT_TRUE(form.EditAspect(aspect));
    EXPECT_EQ(hor, "12,7");
    EXPECT_EQ(aspect.Horizontal(), 12.7);
    SelectLanguage("en_US");
}

TEST_F(AspectFormTest, NoCropKeepsTheOldSizesWhereTheTypedOnesAreUnusable) {
    TCropAspect aspect;
    aspect.SetAll("Old", "pixels", 640, 480);
    WhenShown([&] {
        Type("HorEdit", "20");
        Type("VerEdit", "x");
        Type("DescriptionEdit", "New");
        Click("NoCropCheck");
    });
    EXPECT_TRUE(form.EditAspect(aspect));
    EXPECT_EQ(aspect.Horizontal(), 640);
    EXPECT_EQ(aspect.Vertical(), 480);
    EXPECT_EQ(aspect.Description(), "New");
    EXPECT_EQ(aspect.Unit(), "nocrop");

    WhenShown([&] {
        Type("HorEdit", "30");
        Click("CancelBtn");
    });
    EXPECT_FALSE(form.EditAspect(aspect));
    EXPECT_EQ(aspect.Horizontal(), 640);
}

TEST_F(AspectFormTest, EditChecksTheKindOfTheUnit) {
    struct Case {
        const char* unit;
        const char* radio;
    };
    const Case cases[] = {{"none", "FixedSansUnitsCheck"}, {"pixels", "PixelCheck"},
                          {"nocrop", "NoCropCheck"},       {"free", "FreeCheck"},
                          {"mm", "FixedWithUnitsCheck"},   {"", "FixedWithUnitsCheck"}};
    for (const Case& c : cases) {
        TCropAspect aspect;
        aspect.SetAll("A", c.unit, 4, 3);
        bool checked = false;
        WhenShown([&] {
            checked = Find<QRadioButton>(c.radio)->isChecked();
            Click("CancelBtn");
        });
        EXPECT_FALSE(form.EditAspect(aspect));
        EXPECT_TRUE(checked) << c.unit;
    }
    // an unknown unit leaves the unit list where it was ("mm" from above), and OK writes that
    TCropAspect odd;
    odd.SetAll("Odd", "furlongs", 4, 3);
    WhenShown([] {});
    EXPECT_TRUE(form.EditAspect(odd));
    EXPECT_EQ(odd.Unit(), "mm");
}

TEST_F(AspectFormTest, TheKindDecidesWhichSizeControlsShow) {
    struct Case {
        const char* radio;
        bool panel, unitList, pixels;
        const char* sizeCaption;
    };
    const Case cases[] = {
        {"FixedWithUnitsCheck", true, true, false, "&Size"},
        {"FixedSansUnitsCheck", true, false, false, "&Aspect"},
        {"PixelCheck", true, false, true, "&Size"},
        {"FreeCheck", false, false, false, "&Aspect"},
        {"NoCropCheck", false, false, false, "&Aspect"},
    };
    form.show();
    for (const Case& c : cases) {
        Click(c.radio);
        EXPECT_EQ(Shown("SettingsPanel"), c.panel) << c.radio;
        EXPECT_EQ(Shown("UnitCombo"), c.unitList) << c.radio;
        EXPECT_EQ(Shown("PixelLabel"), c.pixels) << c.radio;
        EXPECT_EQ(Find<QLabel>("SizeLabel")->text(), c.sizeCaption) << c.radio;
    }
}

} // namespace

TEST(AspectFormLanguageTest, UnitNamesFollowTheLanguage) {
    const std::pair<std::string, QStringList> cases[] = {
        {"en_US", {"Centimeters", "Milllimeters", "Inches", "pixels"}},
        {"de_DE", {"Zentimeter", "Millimeter", "Zoll", "Pixel"}},
    };
    for (const auto& [language, texts] : cases) {
        SelectLanguage(language);
        TAspectForm form;
        auto* units = form.findChild<QComboBox*>("UnitCombo");
        EXPECT_EQ(QStringList({units->itemText(0), units->itemText(1), units->itemText(2),
                               form.findChild<QLabel*>("PixelLabel")->text()}),
                  texts);
    }
    SelectLanguage("en_US");
}

TEST(AspectFormAccessKeysTest, EachAccessKeyReachesOneControl) {
    SelectLanguage("en_US");
    TAspectForm form;
    for (const char* kind : {"FixedWithUnitsCheck", "PixelCheck"}) {
        form.findChild<QRadioButton*>(kind)->setChecked(true);
        std::multimap<QString, QString> keys;
        CollectAccessKeys(&form, keys);
        EXPECT_EQ(AccessKeyClashes(keys), "") << kind;
    }
}
