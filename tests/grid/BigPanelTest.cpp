#include "grid/BigPanel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>

#include "GridItem.h"

namespace {

// Twenty 100 × 100 items, 110 pixels apart, in a 300 × 250 grid with 6-pixel margins.
struct TColumnGrid {
    std::vector<std::unique_ptr<TGridItem>> items;
    TBig big;

    TColumnGrid() {
        big.resize(300, 250);
        big.SetMargins(6, 6);
        for (int i = 0; i < 20; ++i) {
            items.push_back(std::make_unique<TGridItem>(0, i * 110, 100, 100));
            big.AddItem(items.back().get());
        }
    }
    std::vector<int> Shown() const {
        std::vector<int> shown;
        for (int i = 0; i < 20; ++i)
            if (!items[i]->isHidden()) shown.push_back(i);
        return shown;
    }
};

QScrollBar* Bar(TBig& big, Qt::Orientation o) {
    for (QScrollBar* bar : big.findChildren<QScrollBar*>())
        if (bar->orientation() == o) return bar;
    return nullptr;
}

} // namespace

TEST(BigPanelTest, EmptyGridHasUnitBoundsAndNoBars) {
    TBig big;
    big.resize(400, 300);
    big.Rearrange();
    EXPECT_EQ(big.MinX(), 0);
    EXPECT_EQ(big.MinY(), 0);
    EXPECT_EQ(big.MaxRight(), 1);
    EXPECT_EQ(big.MaxBottom(), 1);
    EXPECT_FALSE(big.VertBarShown());
    EXPECT_FALSE(big.HorzBarShown());
    EXPECT_EQ(big.Item(0), nullptr);
    EXPECT_EQ(big.Item(-1), nullptr);
}

TEST(BigPanelTest, ShowsOnlyItemsNearTheViewAtTheirViewportPlace) {
    TColumnGrid g;
    EXPECT_EQ(g.big.MaxBottom(), 19 * 110 + 100);
    EXPECT_TRUE(g.big.VertBarShown());
    EXPECT_FALSE(g.big.HorzBarShown());
    EXPECT_EQ(g.big.Viewport()->width(), 300 - 17);
    EXPECT_EQ(g.Shown(), (std::vector<int>{0, 1, 2})); // 330 lies beyond 250 + 6

    g.big.ScrollTo(Qt::Vertical, 500);
    EXPECT_EQ(g.Shown(), (std::vector<int>{4, 5, 6}));
    EXPECT_EQ(g.items[4]->pos(), QPoint(0, 440 - 500));
    EXPECT_EQ(g.items[6]->pos(), QPoint(0, 660 - 500));

    // The margins keep an item shown that ends just above the view.
    g.big.ScrollTo(Qt::Vertical, 545);
    EXPECT_EQ(g.Shown(), (std::vector<int>{4, 5, 6, 7}));
}

TEST(BigPanelTest, ScrollPositionsStayWithinTheBarRange) {
    TColumnGrid g;
    const TScrollState& v = g.big.VertBar();
    EXPECT_EQ(v.Min, 0);
    EXPECT_EQ(v.Max, 2190);
    EXPECT_EQ(v.Page, 250);
    EXPECT_EQ(v.LargeStep, 250);

    g.big.ScrollTo(Qt::Vertical, 99999);
    EXPECT_EQ(v.Position, 2190 - 250);
    EXPECT_EQ(g.Shown(), (std::vector<int>{17, 18, 19}));
    g.big.ScrollTo(Qt::Vertical, -40);
    EXPECT_EQ(v.Position, 0);

    // Dragging the thumb to its end stops at the same place, and moves the items.
    QScrollBar* bar = Bar(g.big, Qt::Vertical);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->maximum(), 2190 - 250);
    bar->setValue(bar->maximum());
    EXPECT_EQ(v.Position, 1940);
    EXPECT_EQ(g.Shown(), (std::vector<int>{17, 18, 19}));

    // Once the rest fits, the bar goes and the view shows the plane from its top.
    for (int i = 19; i >= 2; --i)
        g.big.RemoveItem(g.items[i].get());
    EXPECT_FALSE(g.big.VertBarShown());
    EXPECT_EQ(g.big.MaxBottom(), 210);
    EXPECT_EQ(g.Shown(), (std::vector<int>{0, 1}));
    EXPECT_EQ(g.items[0]->pos(), QPoint(0, 0));
}

TEST(BigPanelTest, ScrollIntoViewMovesOnlyAsFarAsNeeded) {
    TColumnGrid g;
    g.big.ScrollTo(Qt::Vertical, 500);
    g.big.ScrollIntoView(g.items[5].get()); // 550 … 650 is fully visible: no move
    EXPECT_EQ(g.big.VertBar().Position, 500);
    g.big.ScrollIntoView(g.items[8].get()); // below: its bottom meets the view's bottom
    EXPECT_EQ(g.big.VertBar().Position, 880 + 100 - 250);
    g.big.ScrollIntoView(g.items[1].get()); // above: its top meets the view's top
    EXPECT_EQ(g.big.VertBar().Position, 110);

    // An item at least as high as the view is shown from its top.
    TGridItem tall(0, 3000, 100, 400);
    g.big.AddItem(&tall);
    g.big.ScrollIntoView(&tall);
    EXPECT_EQ(g.big.VertBar().Position, 3000);

    TGridItem stranger(0, 0, 10, 10);
    g.big.ScrollIntoView(&stranger);
    EXPECT_EQ(g.big.VertBar().Position, 3000);
}

TEST(BigPanelTest, WideContentShowsTheHorizontalStrip) {
    TBig big;
    big.resize(300, 250);
    TGridItem wide(0, 0, 500, 100);
    big.AddItem(&wide);
    EXPECT_TRUE(big.HorzBarShown());
    EXPECT_FALSE(big.VertBarShown());
    EXPECT_EQ(big.Viewport()->height(), 250 - 17);
    EXPECT_EQ(big.HorzBar().Max, 500);
    EXPECT_EQ(big.HorzBar().Page, 300);
    big.ScrollTo(Qt::Horizontal, 150);
    EXPECT_EQ(wide.pos(), QPoint(-150, 0));
    big.ScrollTo(Qt::Horizontal, 900);
    EXPECT_EQ(big.HorzBar().Position, 200);
}

TEST(BigPanelTest, ItemBoundsChangeOnlyWhenDifferent) {
    TBig big;
    big.resize(300, 250);
    TGridItem item(0, 0, 100, 100);
    big.AddItem(&item);
    TBigControl* rec = big.Item(0);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->Control(), &item);

    big.SetItemBounds(rec, 40, 500, 120, 90);
    EXPECT_EQ(rec->X(), 40);
    EXPECT_EQ(rec->Y(), 500);
    EXPECT_EQ(item.size(), QSize(90, 120));
    EXPECT_EQ(big.MinX(), 40);
    EXPECT_EQ(big.MinY(), 500);
    EXPECT_EQ(big.MaxBottom(), 620);

    // With updates off, the data changes but nothing is moved or shown.
    big.SetUpdatesEnabled(false);
    big.SetItemBounds(rec, 0, 0, 100, 100);
    EXPECT_EQ(big.MaxBottom(), 620);
    TGridItem late(0, 100, 100, 100);
    big.AddItem(&late);
    EXPECT_TRUE(late.isHidden());
    EXPECT_EQ(big.MinY(), 100); // widened by the new item all the same
    big.SetUpdatesEnabled(true);
    big.Rearrange();
    EXPECT_EQ(big.MaxBottom(), 200);
    EXPECT_FALSE(big.VertBarShown());
    EXPECT_FALSE(late.isHidden());
}

TEST(BigPanelTest, ItemWidgetsAreNeverOwnedByTheGrid) {
    auto kept = std::make_unique<TGridItem>(0, 0, 50, 50);
    auto gone = std::make_unique<TGridItem>(0, 60, 50, 50);
    auto survivor = std::make_unique<TGridItem>(0, 120, 50, 50);
    {
        TBig big;
        big.resize(300, 250);
        big.AddItem(kept.get());
        big.AddItem(gone.get());
        big.AddItem(survivor.get());
        big.AddItem(kept.get()); // a second add of the same widget changes nothing
        EXPECT_EQ(big.ItemCount(), 3);
        big.SetCurrent(kept.get());

        big.RemoveItem(kept.get());
        EXPECT_EQ(kept->parentWidget(), nullptr);
        EXPECT_EQ(big.Current(), nullptr);
        EXPECT_EQ(big.ItemCount(), 2);
        big.RemoveItem(kept.get()); // no longer an item: nothing happens

        gone.reset(); // destroyed while in the grid: it simply leaves
        EXPECT_EQ(big.ItemCount(), 1);
        EXPECT_EQ(big.MaxBottom(), 170);
    }
    // The grid is gone; its last item is handed back unparented and alive.
    EXPECT_EQ(survivor->parentWidget(), nullptr);
}

TEST(BigPanelTest, CurrentItemRegainsFocusWhenScrolledBackIntoView) {
    QWidget window;
    window.resize(300, 250);
    auto* big = new TBig(&window);
    big->resize(300, 250);
    big->SetMargins(6, 6);
    auto items = MakeColumn(20, 100, 100);
    for (auto& item : items)
        big->AddItem(item.get());
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    big->SetCurrent(items[1].get());
    items[1]->setFocus();
    ASSERT_TRUE(items[1]->hasFocus());

    // Scrolled away, the focus waits on the viewport instead of jumping to another item.
    big->ScrollTo(Qt::Vertical, 1000);
    EXPECT_TRUE(items[1]->isHidden());
    EXPECT_EQ(QApplication::focusWidget(), big->Viewport());

    big->ScrollTo(Qt::Vertical, 0);
    EXPECT_TRUE(items[1]->hasFocus());

    // Making a far item current scrolls it into view.
    big->SetCurrent(items[15].get());
    EXPECT_EQ(big->VertBar().Position, 1500 + 100 - 250);
    EXPECT_FALSE(items[15]->isHidden());
}

TEST(BigPanelTest, WheelScrollsAndTravelsOnToTheParent) {
    TWheelSink parent;
    auto* big = new TBig(&parent);
    big->resize(300, 250);
    parent.show();
    auto items = MakeColumn(20, 100, 100);
    for (auto& item : items)
        big->AddItem(item.get());
    big->ScrollTo(Qt::Vertical, 500);

    auto wheel = [&](QWidget* target, int delta) {
        QWheelEvent e(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QSpontaneKeyEvent::setSpontaneous(&e); // only window-system wheels travel on
        qApp->notify(target, &e);
    };
    wheel(items[5].get(), -120); // one notch towards the user scrolls down 120 pixels
    EXPECT_EQ(big->VertBar().Position, 620);
    EXPECT_EQ(parent.wheels, 1);
    wheel(big, 240);
    EXPECT_EQ(big->VertBar().Position, 380);

    big->WheelScroll(100000); // the main window's path: clamped like any scroll
    EXPECT_EQ(big->VertBar().Position, 0);
}
