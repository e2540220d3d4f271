#include "ui/MessageBoxPrompt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "i18n/gnugettext.h"

// The question of a run offers its six answers, each button giving its own.
TEST(MessageBoxPromptTest, TheQuestionOfARunGivesTheAnswerOfEachButton) {
    SelectLanguage("en_US");
    const std::pair<QString, TAnswer> cases[] = {
        {"&Yes", TAnswer::Yes},
        {"Yes to &all", TAnswer::YesToAll},
        {"&No", TAnswer::No},
        {"No to a&ll", TAnswer::NoToAll},
        {"&Keep both", TAnswer::KeepBoth},
        {"&Cancel", TAnswer::Cancel},
    };
    TMessageBoxPrompt prompt;
    for (const auto& [caption, expected] : cases) {
        QStringList shown;
        QString title;
        QTimer::singleShot(0, [&, caption = caption] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            for (QAbstractButton* b : box->buttons())
                shown << b->text();
            for (QAbstractButton* b : box->buttons())
                if (b->text().remove('&') == QString(caption).remove('&')) b->click();
        });
        EXPECT_EQ(prompt.AskForRun("File exists", "Overwrite a.jpg?"), expected)
            << caption.toStdString();
        EXPECT_EQ(title, "File exists");
        EXPECT_EQ(shown.size(), 6) << shown.join('|').toStdString();
    }
}

// The account of a run closes with Escape; failures make it a warning.
TEST(MessageBoxPromptTest, TheSummaryClosesWithEscapeAndWarnsOfFailures) {
    SelectLanguage("en_US");
    TMessageBoxPrompt prompt;
    for (const bool failed : {false, true}) {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool closed = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            icon = box->icon();
            QTest::keyClick(box, Qt::Key_Escape);
            closed = !box->isVisible();
            if (!closed) box->done(0); // the test goes on either way
        });
        prompt.ShowSummary("Photos written: 1", "/tmp", failed);
        EXPECT_TRUE(closed) << failed;
        EXPECT_EQ(icon, failed ? QMessageBox::Warning : QMessageBox::Information);
    }
}
