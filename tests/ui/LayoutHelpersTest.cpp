#include "ui/LayoutHelpers.h"

#include <gtest/gtest.h>

#include <QWidget>

TEST(LayoutHelpersTest, ControlsFollowTheirCaptionAndKeepTheirTops) {
    QWidget row;
    QWidget label(&row), control(&row), unit(&row);
    label.setGeometry(10, 4, 57, 20);
    control.setGeometry(0, 2, 80, 24);
    unit.setGeometry(300, 6, 40, 20);

    PlaceRightOf(&label, &control, 5);
    EXPECT_EQ(control.pos(), QPoint(72, 2));

    label.resize(120, 20); // a longer translation pushes the row along
    ChainRightOf(&label, &control, &unit, 5);
    EXPECT_EQ(control.pos(), QPoint(135, 2));
    EXPECT_EQ(unit.pos(), QPoint(220, 6));
    EXPECT_EQ(label.pos(), QPoint(10, 4));
}
