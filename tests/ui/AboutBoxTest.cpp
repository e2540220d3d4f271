#include "ui/AboutBox.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

TEST(AboutBoxTest, ShowsTheShortVersionAndTheGuide) {
    TAboutBoxJ box;
    box.Fill();
    EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("VersionLabel"))->text(),
              QStringLiteral("Program Version: 0.6.4 beta"));
    const auto* memo1 = box.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    const QString memo = memo1->toPlainText();
    EXPECT_TRUE(memo.startsWith(QStringLiteral("Trimvale is an utility")));
    EXPECT_TRUE(memo.contains(QStringLiteral("3) Press \"Crop Images\"")));
    EXPECT_TRUE(memo.contains(QStringLiteral("(English, Danish)")));
    EXPECT_EQ(box.objectName(), QStringLiteral("AboutBoxJ"));
}

TEST(AboutBoxTest, EscapeInTheTextClosesTheBoxAsOk) {
    TAboutBoxJ box;
    int result = -1;
    QTimer::singleShot(0, [&] {
        auto* memo = box.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
        memo->setFocus();
        QTest::keyClick(memo, Qt::Key_Escape);
    });
    QTimer::singleShot(2000, [&] { box.reject(); }); // never hang on a failure
    result = box.exec();
    EXPECT_EQ(result, QDialog::Accepted);
}
