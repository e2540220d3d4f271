#include "ui/KeysForm.h"

#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

TEST(KeysFormTest, ListsTheKeysAndEscapeOnlyHidesIt) {
    TKeyboardForm form;
    QTableWidget* table = form.findChild<QTableWidget*>(QStringLiteral("ValueListEditor1"));
    ASSERT_NE(table, nullptr);
    ASSERT_GE(table->rowCount(), 12);
    EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("Enter"));
    EXPECT_EQ(table->item(0, 1)->text(), QStringLiteral("Crop current image"));
    EXPECT_EQ(table->item(11, 0)->text(), QStringLiteral("End"));
    EXPECT_EQ(table->horizontalHeaderItem(1)->text(), QStringLiteral("Value"));
    EXPECT_EQ(table->editTriggers(), QAbstractItemView::NoEditTriggers);

    // the resolved shortcut clashes are listed too
    QStringList keys;
    for (int r = 0; r < table->rowCount(); ++r)
        keys << table->item(r, 0)->text();
    EXPECT_TRUE(keys.contains(QStringLiteral("CTRL-R")));
    EXPECT_TRUE(keys.contains(QStringLiteral("CTRL-Shift-F")));

    const int rows = table->rowCount();
    form.show();
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    form.show();
    EXPECT_EQ(table->rowCount(), rows); // shown again, not filled twice
    EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("Enter"));
}
