#include "frames/CFrame.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QTest>

#include "FrameTestSupport.h"
#include "TempDir.h"

namespace {
constexpr uint32_t kColor = 0xC86432; // the thumbnail's colour
constexpr uint32_t kInverted = 0x379BCD;
constexpr uint32_t kFaded = 0x643219;

/// An editor 360x200 showing a 3000x2000 picture as a 300x200 thumbnail at x 30,
/// with a "free" area of (480, 400, 1500, 1000): thumbnail pixels (48, 40, 150,
/// 100), so the area covers widget pixels x 78..227 and y 40..139.
class CFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        editor.SetClock([this] { return now; });
        editor.resize(360, 200);
        editor.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
        UseFakeImage(area(), 3000, 2000, kColor);
        area().Edit([](TCropArea& a) { a.UseBlockGrid(); });
        ASSERT_TRUE(editor.LoadImage("photo.jpg"));
        area().Edit([](TCropArea& a) { a.SetAspect("free", 0, 0); });
        area().SetThumbHeight(100);
        area().Edit([](TCropArea& a) { a.SetArea(480, 400, 1500); });
        editor.NewHandler()->clearFocus(); // showing the window focused it
        log.Listen(editor);
    }
    TCropView& area() { return editor.Area(); }
    void Reset() {
        area().SetThumbHeight(100);
        area().Edit([](TCropArea& a) { a.SetArea(480, 400, 1500); });
    }
    uint32_t Pixel(int x, int y) { return editor.grab().toImage().pixel(x, y) & 0xffffff; }
    void Press(Qt::MouseButton button, QPoint at) {
        QTest::mousePress(&editor, button, Qt::NoModifier, at);
    }
    void Drag(QPoint from, QPoint to) {
        Press(Qt::LeftButton, from);
        QTest::mouseMove(&editor, to);
        QTest::mouseRelease(&editor, Qt::LeftButton, Qt::NoModifier, to);
    }

    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
    TCFrame editor;
    TFrameSignalLog log;
};
} // namespace

TEST_F(CFrameTest, EachLookDrawsItsPixelsAroundTheArea) {
    ASSERT_EQ(editor.ThumbRect(), QRect(30, 0, 300, 200));
    struct TSample {
        int look, x, y;
        uint32_t expected;
    };
    const TSample samples[] = {
        // Box: a 3-pixel ring just outside the area is inverted, nothing else
        {TCFrame::kLookBox, 75, 60, kInverted},
        {TCFrame::kLookBox, 77, 60, kInverted},
        {TCFrame::kLookBox, 74, 60, kColor},
        {TCFrame::kLookBox, 78, 60, kColor},
        {TCFrame::kLookBox, 230, 60, kInverted},
        {TCFrame::kLookBox, 231, 60, kColor},
        {TCFrame::kLookBox, 100, 37, kInverted},
        {TCFrame::kLookBox, 100, 36, kColor},
        {TCFrame::kLookBox, 100, 142, kInverted},
        {TCFrame::kLookBox, 75, 37, kInverted},
        {TCFrame::kLookBox, 150, 90, kColor},
        // Black and Inverse cover the four bands, up to the thumbnail's edges
        {TCFrame::kLookBlack, 30, 0, 0},
        {TCFrame::kLookBlack, 77, 60, 0},
        {TCFrame::kLookBlack, 78, 60, kColor},
        {TCFrame::kLookBlack, 228, 60, 0},
        {TCFrame::kLookBlack, 100, 39, 0},
        {TCFrame::kLookBlack, 100, 140, 0},
        {TCFrame::kLookBlack, 329, 199, 0},
        {TCFrame::kLookBlack, 227, 139, kColor},
        {TCFrame::kLookInverse, 30, 0, kInverted},
        {TCFrame::kLookInverse, 77, 139, kInverted},
        {TCFrame::kLookInverse, 78, 40, kColor},
        {TCFrame::kLookInverse, 228, 100, kInverted},
        {TCFrame::kLookInverse, 150, 140, kInverted},
        {TCFrame::kLookInverse, 150, 39, kInverted},
        // Fade halves every channel outside the area
        {TCFrame::kLookFade, 30, 0, kFaded},
        {TCFrame::kLookFade, 329, 199, kFaded},
        {TCFrame::kLookFade, 78, 40, kColor},
        {TCFrame::kLookFade, 227, 139, kColor},
        // Grey inverts even columns of rows 0, 4... and odd columns of rows 2, 6...
        {TCFrame::kLookGrey, 30, 0, kInverted},
        {TCFrame::kLookGrey, 31, 0, kColor},
        {TCFrame::kLookGrey, 31, 2, kInverted},
        {TCFrame::kLookGrey, 30, 2, kColor},
        {TCFrame::kLookGrey, 30, 1, kColor},
        {TCFrame::kLookGrey, 30, 4, kInverted},
        {TCFrame::kLookGrey, 78, 40, kColor},
        {TCFrame::kLookGrey, 79, 42, kColor},
    };
    for (const TSample& s : samples) {
        editor.SetLook(s.look);
        EXPECT_EQ(Pixel(s.x, s.y), s.expected)
            << "look " << s.look << " at (" << s.x << ", " << s.y << ")";
    }
    // outside the thumbnail only the background shows, in every look
    const uint32_t background = Pixel(10, 100);
    EXPECT_NE(background, kColor);
    EXPECT_EQ(Pixel(29, 100), background);
    EXPECT_EQ(Pixel(330, 100), background);
}

TEST_F(CFrameTest, FadeOfWhiteIsMidGreyAndHiddenAreaShowsThePlainThumbnail) {
    UseFakeImage(area(), 3000, 2000, 0xFFFFFF);
    editor.Reload();
    editor.SetLook(TCFrame::kLookFade);
    EXPECT_EQ(Pixel(30, 0), 0x7F7F7Fu);
    area().Edit([](TCropArea& a) { a.SetCropVisible(false); });
    for (int look = 0; look < 5; ++look) {
        editor.SetLook(look);
        EXPECT_EQ(Pixel(30, 0), 0xFFFFFFu) << look;
        EXPECT_EQ(Pixel(77, 60), 0xFFFFFFu) << look;
    }
}

TEST_F(CFrameTest, HiddenAreaKeepsTheBitmapsOwnProportions) {
    // a black square bitmap where a 300x200 thumbnail goes (one made for another size)
    area().SetReader([](const std::string&, int32_t, int32_t) {
        return TThumbnail{.imageWidth = 3000,
                          .imageHeight = 2000,
                          .imageRatio = 1.5,
                          .thumbWidth = 300,
                          .thumbHeight = 200,
                          .bitmap = TBitmap(100, 100, 24)};
    });
    editor.Reload();
    area().Edit([](TCropArea& a) { a.SetCropVisible(false); });
    ASSERT_EQ(editor.ThumbRect(), QRect(30, 0, 300, 200));
    for (int x : {80, 279}) // drawn 200x200, centred
        EXPECT_EQ(Pixel(x, 100), 0u) << x;
    for (int x : {79, 280})
        EXPECT_NE(Pixel(x, 100), 0u) << x;
}

TEST_F(CFrameTest, HitTestUsesFiveInclusivePixelsAndCornersTakeBothEdges) {
    using Z = TCFrame::TZone;
    struct TCase {
        int x, y;
        Z zone;
    };
    const TCase cases[] = {
        {73, 90, Z::Left},
        {83, 90, Z::Left},
        {72, 90, Z::None},
        {84, 90, Z::Inside},
        {228, 90, Z::Right},
        {223, 90, Z::Right},
        {222, 90, Z::Inside},
        {234, 90, Z::None},
        {150, 35, Z::Top},
        {150, 45, Z::Top},
        {150, 140, Z::Bottom},
        {150, 146, Z::None},
        {75, 38, Z::TopLeft},
        {230, 141, Z::BottomRight},
        {226, 42, Z::TopRight},
        {80, 139, Z::BottomLeft},
        // the edge bands run the full height, beyond the area's extent
        {78, 190, Z::Left},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(editor.HitTest(c.x, c.y), c.zone) << c.x << ", " << c.y;

    area().Edit([](TCropArea& a) { a.SetAspect("fixed", 1500, 1000); });
    area().Edit([](TCropArea& a) { a.SetArea(480, 400, 1500); });
    EXPECT_EQ(editor.HitTest(78, 90), Z::None); // a fixed size has no edges to pull
    EXPECT_EQ(editor.HitTest(150, 90), Z::Inside);

    area().Edit([](TCropArea& a) { a.SetAspect("free", 0, 0); });
    area().Edit([](TCropArea& a) {
        a.SetArea(480, 400, 80);
    }); // 8 thumbnail pixels wide: too narrow to have an inside
    EXPECT_NE(editor.HitTest(82, 90), Z::Inside);
}

TEST_F(CFrameTest, DragsMoveAndResizeByZoneOnTheGrid) {
    Drag({150, 90}, {160, 95}); // inside: +10, +5 thumbnail pixels
    EXPECT_EQ(area().GetCrop(), (TCropRect{576, 448, 1500, 1000}));

    Reset();
    Drag({228, 90}, {258, 90}); // right edge to thumbnail x 228
    EXPECT_EQ(area().GetCrop(), (TCropRect{480, 400, 1800, 1000}));

    Reset();
    Drag({150, 140}, {150, 160}); // bottom edge 20 pixels down
    EXPECT_EQ(area().GetCrop(), (TCropRect{480, 400, 1500, 1200}));

    Reset();
    Drag({78, 90}, {98, 90}); // left edge 20 pixels right: the right edge stays
    EXPECT_EQ(area().GetCrop(), (TCropRect{672, 400, 1300, 1000}));

    Reset();
    Drag({78, 90}, {300, 90}); // left edge past the right one: the width bottoms out
    EXPECT_EQ(area().Crop().CropWidth(), 1);
    EXPECT_FALSE(editor.Dragging());

    // a corner sizes both sides; the corner across stays (up to the grid)
    Reset();
    Drag({228, 140}, {248, 160});
    EXPECT_EQ(area().GetCrop(), (TCropRect{480, 400, 1700, 1200}));
    Reset();
    Drag({78, 40}, {98, 60});
    EXPECT_EQ(area().GetCrop(), (TCropRect{672, 592, 1300, 800}));

    // "defined": a top edge drag changes the width, the height follows
    area().Edit([](TCropArea& a) { a.SetAspect("defined", 3, 2); });
    Reset();
    Drag({150, 40}, {150, 50});
    EXPECT_EQ(area().Crop().CropWidth(), 1350);
    EXPECT_EQ(area().Crop().CropHeight(), 900);
    // a corner keeps the aspect: the side the pointer moved more along leads
    Reset();
    Drag({228, 40}, {258, 45});
    EXPECT_EQ(area().GetCrop(), (TCropRect{480, 192, 1800, 1200}));
}

TEST_F(CFrameTest, CursorFollowsTheZoneAndReleaseRestoresIt) {
    QTest::mouseMove(&editor, {150, 90});
    EXPECT_EQ(editor.cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(&editor, {76, 38});
    EXPECT_EQ(editor.cursor().shape(), Qt::SizeFDiagCursor);
    QTest::mouseMove(&editor, {150, 38});
    EXPECT_EQ(editor.cursor().shape(), Qt::SizeVerCursor);
    QTest::mouseMove(&editor, {226, 139});
    EXPECT_EQ(editor.cursor().shape(), Qt::SizeFDiagCursor);
    QTest::mouseMove(&editor, {80, 139});
    EXPECT_EQ(editor.cursor().shape(), Qt::SizeBDiagCursor);
    QTest::mouseMove(&editor, {80, 90});
    EXPECT_EQ(editor.cursor().shape(), Qt::SizeHorCursor);
    QTest::mouseMove(&editor, {10, 10});
    EXPECT_EQ(editor.cursor().shape(), Qt::ArrowCursor);
    Press(Qt::LeftButton, {80, 90});
    QTest::mouseRelease(&editor, Qt::LeftButton, Qt::NoModifier, {80, 90});
    EXPECT_EQ(editor.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(CFrameTest, AMoveWithoutTheLeftButtonEndsADragWhoseReleaseWentElsewhere) {
    // a right press during the drag opens a popup menu, which takes both releases
    Press(Qt::LeftButton, {150, 90});
    Press(Qt::RightButton, {150, 90});
    QWidget popup;
    popup.show();
    QTest::mouseRelease(&popup, Qt::LeftButton);
    QTest::mouseRelease(&popup, Qt::RightButton);
    popup.hide();
    QTest::mouseMove(&editor, {200, 120}); // no button held
    EXPECT_FALSE(editor.Dragging());
    EXPECT_EQ(area().GetCrop(), (TCropRect{480, 400, 1500, 1000}));
}

TEST_F(CFrameTest, PressesFocusTheReceiverAndReportSelection) {
    Press(Qt::RightButton, {150, 90}); // no drag, but focus and "Selected"
    EXPECT_FALSE(editor.Dragging());
    EXPECT_TRUE(editor.NewHandler()->hasFocus());
    EXPECT_EQ(log.Count("Selected"), 2u); // the receiver's focus, then the press
    QTest::mouseRelease(&editor, Qt::RightButton, Qt::NoModifier, {150, 90});

    // with no crop a press only reports, and the mouse changes nothing
    editor.NewHandler()->clearFocus();
    log.Clear();
    area().Edit([](TCropArea& a) { a.SetAspect("nocrop", 0, 0); });
    const TCropRect before = area().GetCrop();
    Press(Qt::LeftButton, {150, 90});
    QTest::mouseMove(&editor, {200, 120});
    EXPECT_FALSE(editor.NewHandler()->hasFocus());
    EXPECT_EQ(log.Count("Selected"), 1u);
    EXPECT_EQ(area().GetCrop(), before);
    EXPECT_EQ(editor.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(CFrameTest, PressesRightAfterADoubleClickAreIgnored) {
    QTest::mouseDClick(&editor, Qt::LeftButton, Qt::NoModifier, {150, 90});
    EXPECT_EQ(log.Count("DoubleClick"), 1u);

    log.Clear();
    now += std::chrono::milliseconds(299);
    Press(Qt::LeftButton, {150, 90});
    EXPECT_FALSE(editor.Dragging());
    EXPECT_EQ(log.Count("Selected"), 0u);
    QTest::mouseRelease(&editor, Qt::LeftButton, Qt::NoModifier, {150, 90});

    now += std::chrono::milliseconds(2);
    Press(Qt::LeftButton, {150, 90});
    EXPECT_TRUE(editor.Dragging());
    EXPECT_GT(log.Count("Selected"), 0u);
}

TEST_F(CFrameTest, MainKeyboardPlusAndMinusResizeAsTheKeypadDoes) {
    QLineEdit* receiver = editor.NewHandler();
    editor.GrabFocus();
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int change;
    };
    const Case cases[] = {
        {Qt::Key_Minus, Qt::KeypadModifier, -8},
        {Qt::Key_Minus, Qt::NoModifier, -8},
        {Qt::Key_Underscore, Qt::ShiftModifier, -1}, // Shift+minus on a US layout
        {Qt::Key_Minus, Qt::ControlModifier, -32},
        {Qt::Key_Equal, Qt::NoModifier, 8},
        {Qt::Key_Plus, Qt::ShiftModifier, 1}, // Shift+equals on a US layout
        {Qt::Key_Equal, Qt::ControlModifier, 32},
        {Qt::Key_Plus, Qt::KeypadModifier | Qt::ControlModifier, 32},
        // layouts whose plus has a key of its own: Shift gives another character
        {Qt::Key_Asterisk, Qt::ShiftModifier, 1}, // German
        {Qt::Key_Question, Qt::ShiftModifier, 1}, // Danish
        {Qt::Key_Asterisk, Qt::KeypadModifier, 0},
        {Qt::Key_Asterisk, Qt::NoModifier, 0},
        // Shift alone is fine and Ctrl alone coarse; every other mix is the normal step
        {Qt::Key_Plus, Qt::KeypadModifier | Qt::ShiftModifier | Qt::ControlModifier, 8},
        {Qt::Key_Plus, Qt::KeypadModifier | Qt::AltModifier, 8},
        {Qt::Key_Minus, Qt::KeypadModifier | Qt::ShiftModifier | Qt::AltModifier, -8},
    };
    for (const Case& c : cases) {
        const int32_t before = area().Crop().CropWidth();
        QTest::keyClick(receiver, c.key, c.modifiers);
        EXPECT_EQ(area().Crop().CropWidth(), before + c.change) << c.key << " " << int(c.modifiers);
    }
    EXPECT_TRUE(receiver->text().isEmpty());
}

TEST_F(CFrameTest, KeysReachTheCropAreaThroughTheInvisibleReceiver) {
    QLineEdit* receiver = editor.NewHandler();
    EXPECT_EQ(receiver->width(), 0);
    editor.GrabFocus();
    ASSERT_TRUE(receiver->hasFocus());
    EXPECT_EQ(log.Count("Selected"), 1u);

    QTest::keyClick(receiver, Qt::Key_Right);
    EXPECT_EQ(area().Crop().CropX(), 496);
    QTest::keyClick(receiver, Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(area().Crop().CropWidth(), 1508);
    EXPECT_EQ(area().Crop().StoredHeight(), 1008);
    QTest::keyClick(receiver, Qt::Key_Plus, Qt::KeypadModifier | Qt::ShiftModifier);
    EXPECT_EQ(area().Crop().CropWidth(), 1509);
    QTest::keyClick(receiver, Qt::Key_A);
    EXPECT_EQ(area().Crop().CropWidth(), 1509);
    EXPECT_TRUE(receiver->text().isEmpty());

    log.Clear();
    QTest::keyClick(receiver, Qt::Key_Space);
    QTest::keyClick(receiver, Qt::Key_PageDown);
    QTest::keyClick(receiver, Qt::Key_Home);
    QTest::keyClick(receiver, Qt::Key_PageUp);
    QTest::keyClick(receiver, Qt::Key_End);
    EXPECT_EQ(log.Significant(), (std::vector<std::string>{"FlipAspect", "NextImage", "HomeImage",
                                                           "PreviousImage", "EndImage"}));

    // the editor's keys beat window shortcuts; others such as Ctrl+D stay shortcuts
    QKeyEvent right(QEvent::ShortcutOverride, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(receiver, &right);
    EXPECT_TRUE(right.isAccepted());
    QKeyEvent remove(QEvent::ShortcutOverride, Qt::Key_D, Qt::ControlModifier);
    QApplication::sendEvent(receiver, &remove);
    EXPECT_FALSE(remove.isAccepted());
}

// Each key is one operation on the area value, or one signal: the value the key
// leaves equals a copy of the one before with that operation applied directly.
TEST_F(CFrameTest, EachKeyIsOneOperationOnTheAreaOrOneSignal) {
    QLineEdit* receiver = editor.NewHandler();
    editor.GrabFocus();
    using TStep = TCropArea::TStep;
    const Qt::KeyboardModifiers pad = Qt::KeypadModifier;
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        std::function<void(TCropArea&)> operation;
        std::vector<std::string> signal;
    };
    const Case cases[] = {
        {Qt::Key_Left, Qt::NoModifier, [](TCropArea& a) { a.Move(-1, 0); }, {}},
        {Qt::Key_Down, Qt::ControlModifier, [](TCropArea& a) { a.Move(0, 1); }, {}},
        {Qt::Key_Up, Qt::ShiftModifier, [](TCropArea& a) { a.Move(0, -1); }, {}},
        {Qt::Key_Plus, pad, [](TCropArea& a) { a.Grow(1, TStep::Normal); }, {}},
        {Qt::Key_Minus, pad | Qt::ShiftModifier, [](TCropArea& a) { a.Grow(-1, TStep::Fine); }, {}},
        {Qt::Key_Plus,
         pad | Qt::ControlModifier,
         [](TCropArea& a) { a.Grow(1, TStep::Coarse); },
         {}},
        {Qt::Key_Space, Qt::NoModifier, nullptr, {"FlipAspect"}},
        {Qt::Key_PageDown, Qt::NoModifier, nullptr, {"NextImage"}},
        {Qt::Key_End, Qt::ShiftModifier, nullptr, {"EndImage"}},
        {Qt::Key_A, Qt::NoModifier, nullptr, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QKeySequence(c.key | c.modifiers).toString().toStdString());
        TCropArea expected = area().Crop();
        if (c.operation) c.operation(expected);
        log.Clear();
        QTest::keyClick(receiver, c.key, c.modifiers);
        EXPECT_EQ(area().Crop(), expected);
        EXPECT_EQ(log.Significant(), c.signal);
        // every change is announced once, so the read-outs follow
        EXPECT_EQ(log.Count("Recalculated"), c.operation ? 1u : 0u);
    }
}

TEST_F(CFrameTest, ResizeFitsTheThumbnailAndLeavesTheCream) {
    TCFrame fresh;
    const QColor cream(255, 251, 240);
    EXPECT_EQ(fresh.palette().color(QPalette::Window), cream);

    EXPECT_EQ(editor.palette().color(QPalette::Window), cream); // loaded, not yet resized
    editor.resize(150, 200); // narrower than the proportional 300
    QApplication::processEvents();
    EXPECT_EQ(editor.palette().color(QPalette::Window), editor.palette().color(QPalette::Button));
    EXPECT_EQ(area().ThumbWidth(), 150);
    EXPECT_EQ(area().ThumbHeight(), 100);
    EXPECT_EQ(editor.ThumbRect(), QRect(0, 50, 150, 100));
    EXPECT_EQ(editor.PreferredWidth(200), 300);
}

TEST_F(CFrameTest, AreaOfAFittedThumbnailShowsItsOwnPartOfThePicture) {
    UseFakeImage(area(), 3000, 2000, kColor, 0x0000FF); // right half blue
    editor.Reload();
    area().Edit([](TCropArea& a) { a.SetArea(1800, 400, 900); }); // in the right half
    editor.resize(150, 200); // the 300x200 bitmap now shows 150x100
    QApplication::processEvents();
    ASSERT_EQ(editor.ThumbRect(), QRect(0, 50, 150, 100));
    for (int look : {TCFrame::kLookFade, TCFrame::kLookGrey}) {
        editor.SetLook(look);
        EXPECT_EQ(Pixel(100, 80), 0x0000FFu) << look;
        EXPECT_EQ(Pixel(110, 91), 0x0000FFu) << look;
    }
}

TEST(CFramePixelRatioTest, ScaledScreenDecodesAtDevicePixelsAndKeepsTheAreaInPlace) {
    TTempDir dir;
    const std::string photo = dir.file("photo.jpg");
    MakeJpeg(photo, 1600, 1200);
    struct TSeen {
        int bitmapWidth, bitmapHeight, thumbWidth, thumbHeight;
        TCropRect thumbCrop;
        std::string position, size;
        QRect thumbRect;
    };
    auto show = [&](double ratio, int width, int height) {
        TCFrame editor;
        editor.SetPixelRatio(ratio);
        editor.resize(width, height);
        editor.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&editor));
        EXPECT_TRUE(editor.LoadImage(photo));
        TCropView& area = editor.Area();
        area.Edit([](TCropArea& a) {
            a.UseBlockGrid();
            a.SetAspect("free", 0, 0);
            a.SetArea(320, 240, 800);
        });
        editor.SetLook(TCFrame::kLookGrey);
        editor.grab(); // paints, building the work bitmap at the thumbnail's pixels
        TSeen seen{area.Thumbnail().Width(),
                   area.Thumbnail().Height(),
                   area.ThumbWidth(),
                   area.ThumbHeight(),
                   {},
                   area.PositionText(),
                   area.SizeText(),
                   editor.ThumbRect()};
        area.GetThumbCrop(seen.thumbCrop);
        EXPECT_EQ(area.WorkBitmap().Width(), seen.bitmapWidth);
        return seen;
    };
    // as high as the editor, and narrower than the picture's proportions
    for (const QSize surface : {QSize(400, 201), QSize(150, 200)}) {
        SCOPED_TRACE(surface.width());
        const TSeen plain = show(1.0, surface.width(), surface.height());
        const TSeen sharp = show(2.0, surface.width(), surface.height());
        EXPECT_EQ(plain.bitmapWidth, plain.thumbWidth);
        EXPECT_EQ(plain.bitmapHeight, plain.thumbHeight);
        EXPECT_EQ(sharp.thumbWidth, plain.thumbWidth);
        EXPECT_EQ(sharp.thumbHeight, plain.thumbHeight);
        EXPECT_NEAR(sharp.bitmapWidth, 2 * sharp.thumbWidth, 1);
        EXPECT_NEAR(sharp.bitmapHeight, 2 * sharp.thumbHeight, 1);
        EXPECT_EQ(sharp.thumbRect, plain.thumbRect);
        EXPECT_EQ(sharp.position, plain.position);
        EXPECT_EQ(sharp.size, plain.size);
        EXPECT_EQ(sharp.thumbCrop.x, plain.thumbCrop.x);
        EXPECT_EQ(sharp.thumbCrop.y, plain.thumbCrop.y);
        EXPECT_EQ(sharp.thumbCrop.width, plain.thumbCrop.width);
        EXPECT_EQ(sharp.thumbCrop.height, plain.thumbCrop.height);
    }
}

TEST(CFramePixelRatioTest, AThumbnailDecodedAheadIsTakenOnlyAtTheDeviceHeight) {
    TTempDir dir;
    const std::string photo = dir.file("photo.jpg");
    MakeJpeg(photo, 1600, 1200);
    TCFrame editor;
    editor.SetPixelRatio(2.0);
    editor.resize(400, 200);
    // decoded ahead at 400 rows: taken as it is; at 200 rows it would blur, so read again
    for (const int32_t height : {400, 200}) {
        TThumbnail ahead = ReadJpegThumbnail(photo, 0, height);
        ahead.bitmap = TBitmap(1, 1, 24); // tells the given bitmap from a fresh decode
        ASSERT_TRUE(editor.LoadThumbnail(photo, std::move(ahead), height));
        EXPECT_EQ(editor.Area().Thumbnail().Width(), height == 400 ? 1 : 533) << height;
        EXPECT_EQ(editor.Area().ThumbWidth(), 266) << height;
        EXPECT_EQ(editor.Area().ThumbHeight(), 200) << height;
    }
}
