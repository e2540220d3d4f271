#include "grid/CropContainer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>

#include "GridItem.h"

namespace {

struct TGridCase {
    const char* name;
    QSize grid;
    int count, preferred, minWidth, height, maxColumns;
    int width;                     // every item's width after the layout
    std::vector<QPoint> positions; // of the first items, in list order
};

void Show(TCContainer& c, QSize size) {
    c.resize(size);
    c.show();
}

// Wheel events from the window system travel up the parents until one accepts them.
bool Wheel(QWidget* target, int delta) {
    QWheelEvent e(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&e);
    qApp->notify(target, &e);
    return e.isAccepted();
}

QPoint PosOf(TCContainer& c, int i) {
    const TBigControl* item = c.Big()->Item(i);
    return {item->X(), item->Y()};
}

} // namespace

TEST(CropContainerTest, LaysItemsOutInStretchedColumns) {
    const std::vector<TGridCase> cases = {
        // 3 × 300 + 2 × 5 < 1000 − 17; the spare 85 pixels go to the columns.
        {"three fit in a row", {1000, 800}, 3, 300, 0, 200, 0, 328, {{0, 0}, {333, 0}, {666, 0}}},
        {"one column at most", {1000, 800}, 3, 300, 0, 200, 1, 995, {{0, 0}, {0, 205}, {0, 410}}},
        {"column limit above the fit", {1000, 800}, 3, 300, 0, 200, 9, 328, {{0, 0}, {333, 0}}},
        // Three rows of 200 overflow 500: the vertical bar's 17 pixels are kept free.
        {"seven make three rows",
         {1000, 500},
         7,
         300,
         0,
         200,
         0,
         322,
         {{0, 0}, {327, 0}, {654, 0}, {0, 205}, {327, 205}, {654, 205}, {0, 410}}},
        {"minimum width wins over preferred",
         {1000, 800},
         2,
         200,
         365,
         200,
         0,
         495,
         {{0, 0}, {500, 0}}},
        {"wider than the view is cut to it", {600, 800}, 1, 1500, 0, 200, 0, 595, {{0, 0}}},
        {"items without a preferred width", {600, 800}, 2, -1, 0, 100, 0, 295, {{0, 0}, {300, 0}}},
        {"fewer items than columns", {1000, 800}, 1, 300, 0, 200, 0, 995, {{0, 0}}},
    };
    for (const TGridCase& tc : cases) {
        SCOPED_TRACE(tc.name);
        TCContainer c;
        Show(c, tc.grid);
        c.SetMaxColumns(tc.maxColumns);
        auto items = MakeColumn(tc.count, 100, tc.height, tc.preferred);
        for (auto& item : items) {
            item->setMinimumWidth(tc.minWidth);
            c.Big()->AddItem(item.get());
        }
        c.LayoutNow();
        EXPECT_FALSE(c.LayoutPending());
        EXPECT_TRUE(c.Big()->UpdatesEnabled());
        for (size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i]->width(), tc.width) << "item " << i;
            EXPECT_EQ(items[i]->height(), tc.height) << "item " << i;
        }
        for (size_t i = 0; i < tc.positions.size(); ++i)
            EXPECT_EQ(PosOf(c, static_cast<int>(i)), tc.positions[i]) << "item " << i;
    }
}

TEST(CropContainerTest, EmptyGridLaysOutNothing) {
    TCContainer c;
    Show(c, {500, 400});
    QSignalSpy laidOut(&c, &TCContainer::LaidOut);
    c.LayoutNow();
    EXPECT_EQ(laidOut.count(), 1);
    EXPECT_EQ(c.Big()->MaxRight(), 1);
    EXPECT_EQ(c.Big()->MaxBottom(), 1);
    EXPECT_FALSE(c.Big()->VertBarShown());
    EXPECT_FALSE(c.Big()->HorzBarShown());
}

TEST(CropContainerTest, LayoutKeepsUpdatesOffWhileAnAddRunHasThemOff) {
    TCContainer c;
    Show(c, {1000, 800});
    auto items = MakeColumn(3, 100, 200, 300);
    c.Big()->SetUpdatesEnabled(false);
    for (auto& item : items)
        c.Big()->AddItem(item.get());
    c.LayoutNow();
    EXPECT_FALSE(c.Big()->UpdatesEnabled());
    EXPECT_EQ(PosOf(c, 2), QPoint(666, 0)); // the places are decided all the same
    EXPECT_TRUE(items[2]->isHidden());      // but nothing is shown before updates resume
    c.Big()->SetUpdatesEnabled(true);
    c.Big()->Rearrange();
    EXPECT_FALSE(items[2]->isHidden());
}

TEST(CropContainerTest, BurstOfResizesLaysOutOnceAfterTheLast) {
    TCContainer c;
    auto items = MakeColumn(6, 100, 100, 200);
    for (auto& item : items)
        c.Big()->AddItem(item.get());
    c.resize(700, 600);
    c.show();
    QSignalSpy laidOut(&c, &TCContainer::LaidOut);
    QElapsedTimer sinceLast;
    for (int i = 0; i < 10; ++i) {
        c.resize(700 + 10 * i, 600);
        sinceLast.start();
        QTest::qWait(20);
    }
    EXPECT_EQ(laidOut.count(), 0);
    EXPECT_TRUE(c.LayoutPending());
    ASSERT_TRUE(laidOut.wait(3000));
    EXPECT_GE(sinceLast.elapsed(), 450);
    QTest::qWait(700);
    EXPECT_EQ(laidOut.count(), 1);
    EXPECT_EQ(items[0]->width(), 200 + (790 - 3 * 205) / 3); // laid out for the last width
}

TEST(CropContainerTest, AResizeOrALayoutRequestProcessesNoEvents) {
    // Qt resizes the grid while it shows the window and walks the window's children;
    // an object deleted by events processed there was still in Qt's hands. A request
    // comes from the middle of the window's own work (a frame removed in its signal).
    const std::pair<const char*, std::function<void(TCContainer&)>> cases[] = {
        {"resize", [](TCContainer& c) { c.resize(400, 200); }},
        {"request", [](TCContainer& c) { c.RequestLayout(); }},
    };
    for (const auto& [name, ask] : cases) {
        TCContainer c;
        c.resize(300, 200);
        c.show();
        QTest::qWait(1);
        QPointer<QObject> pending = new QObject;
        pending->deleteLater();
        ask(c);
        EXPECT_FALSE(pending.isNull()) << name;
        EXPECT_TRUE(c.LayoutPending()) << name;
        QTest::qWait(1);
        EXPECT_TRUE(pending.isNull()) << name;
    }
}

TEST(CropContainerTest, RequestArrivingDuringALayoutOvertakesIt) {
    TCContainer c;
    Show(c, {1000, 800});
    auto items = MakeColumn(4, 100, 100, 300);
    for (auto& item : items)
        c.Big()->AddItem(item.get());
    // Reading the second item's preferred width lets a new request in, as processed
    // events would.
    int requests = 0;
    items[1]->onSizeHint = [&] {
        if (requests++ == 0) c.RequestLayout();
    };
    QSignalSpy laidOut(&c, &TCContainer::LaidOut);
    c.LayoutNow();
    EXPECT_EQ(laidOut.count(), 0);
    EXPECT_TRUE(c.LayoutPending());
    EXPECT_TRUE(c.Big()->UpdatesEnabled());
    EXPECT_EQ(PosOf(c, 1), QPoint(0, 100)); // nothing placed yet

    ASSERT_TRUE(laidOut.wait(3000));
    EXPECT_EQ(PosOf(c, 1), QPoint(333, 0));
    EXPECT_EQ(PosOf(c, 3), QPoint(0, 105));
}

TEST(CropContainerTest, ColumnLimitRequestsALayoutOnlyWhenItChanges) {
    TCContainer c;
    c.SetMaxColumns(0);
    EXPECT_FALSE(c.LayoutPending());
    c.SetMaxColumns(4);
    EXPECT_EQ(c.MaxColumns(), 4);
    EXPECT_TRUE(c.LayoutPending());
}

TEST(CropContainerTest, MarginsKeepItemsJustOutsideTheViewShown) {
    TCContainer c;
    Show(c, {400, 300});
    c.SetMargins();
    auto items = MakeColumn(4, 380, 100, 380);
    for (auto& item : items)
        c.Big()->AddItem(item.get());
    c.LayoutNow(); // one column, rows 105 apart: the fourth starts at 315
    c.Big()->ScrollTo(Qt::Vertical, 12);
    EXPECT_FALSE(items[3]->isHidden()); // 315 ≤ 12 + 300 + 6
    c.Big()->ScrollTo(Qt::Vertical, 8);
    EXPECT_TRUE(items[3]->isHidden());
}

TEST(CropContainerTest, WheelOverAnItemScrollsTheGridAndStopsAtTheContainer) {
    TWheelSink window;
    auto* c = new TCContainer(&window);
    c->resize(400, 300);
    window.show();
    auto items = MakeColumn(10, 380, 200, 100);
    for (auto& item : items)
        c->Big()->AddItem(item.get());
    c->LayoutNow();
    EXPECT_TRUE(Wheel(items[0].get(), -240));
    EXPECT_EQ(c->Big()->VertBar().Position, 240);
    EXPECT_EQ(window.wheels, 0);
}

TEST(GridShapeTest, CellsStandInEqualColumnsAndTheRowsBetweenTwoHeightsAreFound) {
    TGridShape shape;
    shape.Count = 10;
    shape.Columns = 3;
    shape.ColWidth = 100;
    shape.RowHeight = 50;
    shape.Gap = 5;
    EXPECT_EQ(shape.Cell(0), QRect(0, 0, 100, 50));
    EXPECT_EQ(shape.Cell(4), QRect(105, 55, 100, 50));
    EXPECT_EQ(shape.Cell(9), QRect(0, 165, 100, 50));
    EXPECT_EQ(shape.Bottom(), 4 * 55 - 5);
    struct TCase {
        int top, bottom;
        std::pair<int, int> cells;
    } cases[] = {
        {0, 0, {0, 3}},      // the first row
        {0, 54, {0, 3}},     // down to the gap
        {0, 55, {0, 6}},     // the second row starts
        {60, 120, {3, 9}},   // inside the second row down into the third
        {-500, 20, {0, 3}},  // above the plane
        {150, 5000, {6, 10}}, // the third row to the last, short
        {5000, 6000, {10, 10}}, // below the plane: none
    };
    for (const TCase& c : cases)
        EXPECT_EQ(shape.CellsBetween(c.top, c.bottom), c.cells) << c.top << ".." << c.bottom;
    TGridShape empty;
    EXPECT_EQ(empty.CellsBetween(0, 100), (std::pair<int, int>{0, 0}));
    EXPECT_EQ(empty.Bottom(), 0);
}
