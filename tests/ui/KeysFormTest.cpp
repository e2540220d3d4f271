#include "ui/KeysForm.h"

#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

TEST(KeysFormTest, ListsTheKeysAndEscapeOnlyHidesIt) {
    TKeyboardForm form;
    QTableWidget* table = form.findChild<QTableWidget*>(QStringLiteral("ValueListEditor1"));
    ASSERT_NE(table, nullptr);
    ASSERT_GE(table->rowCount(), 12);
    EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("Return"));
    EXPECT_EQ(table->item(0, 1)->text(), QStringLiteral("Crop current image"));
    EXPECT_EQ(table->item(11, 0)->text(), QStringLiteral("End"));
    EXPECT_EQ(table->horizontalHeaderItem(1)->text(), QStringLiteral("Value"));
    EXPECT_EQ(table->editTriggers(), QAbstractItemView::NoEditTriggers);

    // every menu shortcut is listed, named as the menus name it
    QStringList keys;
    for (int r = 0; r < table->rowCount(); ++r)
        keys << table->item(r, 0)->text();
    for (const char* key : {"Ctrl+R", "Ctrl+Shift+F", "Ctrl+I", "Ctrl+D", "Ctrl+P", "Ctrl+1",
                            "Ctrl+4", "Shift++", "Space", "Ctrl+Click", "Shift+Return"})
        EXPECT_TRUE(keys.contains(QString::fromUtf8(key))) << key;

    const int rows = table->rowCount();
    form.show();
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    form.show();
    EXPECT_EQ(table->rowCount(), rows); // shown again, not filled twice
    EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("Return"));
}
