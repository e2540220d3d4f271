#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include <QImage>
#include <QPointer>
#include <QWidget>

#include "frames/CropView.h"
#include "frames/ThumbnailSource.h"

class QLineEdit;
class QPainter;

/// The crop area editor: shows one image's thumbnail centred in the widget with
/// its crop area in one of five looks, turns mouse drags into crop area
/// operations and maps the keys that reach its invisible focus receiver
/// `NewHandler` straight onto the area's operations (arrows move it by the grid,
/// Plus and Minus resize it) or onto its signals (Space, the navigation keys).
///
/// Its state is a TCropView: the crop area value and what shows it. It tells its
/// image frame what happens through Qt signals: `Recalculated` after every change
/// of the area, a press ("Selected"), a double click, `FlipAspect`, `Navigate`.
class TCFrame : public QWidget {
    Q_OBJECT
public:
    /// Where a navigation key asks the main window to go.
    enum class TNavigation { Previous, Next, Home, End };
    Q_ENUM(TNavigation)
    enum TLook { kLookBox = 0, kLookBlack = 1, kLookInverse = 2, kLookFade = 3, kLookGrey = 4 };
    enum class TZone {
        None,
        Top,
        Bottom,
        Right,
        Left,
        Inside,
        TopLeft,
        TopRight,
        BottomLeft,
        BottomRight
    };
    using TClock = std::function<std::chrono::steady_clock::time_point()>;

    explicit TCFrame(QWidget* parent = nullptr);
    ~TCFrame() override;

    /// What a key in the editor asks for.
    struct TKeyCommand {
        enum class TAction { None, Move, Grow, Flip, Navigate };
        TAction action = TAction::None;
        int columns = 0, rows = 0; ///< Move: grid steps, -1, 0 or 1
        int sign = 0;              ///< Grow: 1 grows, -1 shrinks
        TCropArea::TStep step = TCropArea::TStep::Normal;
        TNavigation where = TNavigation::Next;
    };

    /// The crop area and what shows it.
    TCropView& Area() { return area_; }
    const TCropView& Area() const { return area_; }

    /// Reads the image for the editor's current height; false when it cannot.
    bool LoadImage(const std::string& fileName);
    /// LoadImage with a thumbnail decoded elsewhere at the given surface height;
    /// one made for another height than the editor's is decoded again here.
    bool LoadThumbnail(const std::string& fileName, TThumbnail thumb, int32_t height);
    /// Shows a photo read before with its area as it stands (see TCropView::Show);
    /// its thumbnail comes from the source's store, else is decoded there.
    void Show(const std::string& fileName, const TJpegLayout& layout, int orientation,
              bool incomplete, std::vector<TCropRect> faces, const TCropArea& area);
    /// Device pixels per widget pixel that thumbnails are decoded and drawn at: the
    /// screen's unless set here (0 follows the screen again); read on the next decode.
    void SetPixelRatio(double ratio);
    double PixelRatio() const;
    /// Decodes the loaded image again for the editor's current height. With a
    /// thumbnail source this happens off the window's thread: the old picture is
    /// stretched until the new one arrives.
    void Reload();
    /// Gives up the photo's picture and any decode still asked for: the frame
    /// goes spare until it shows another photo.
    void Release();
    /// Turns the photo; with a thumbnail source nothing is decoded here: the picture
    /// shown turns at once and the new turn's thumbnail follows from the source.
    void SetRotation(int32_t degrees);
    /// Where Reload has thumbnails decoded; none decodes on the spot.
    void SetThumbnailSource(IThumbnailSource* source) { source_ = source; }
    /// True while a new thumbnail is awaited.
    bool ThumbnailPending() const { return ticket_ != 0; }

    int Look() const { return look_; }
    /// Whether the faces found in the photo are marked, faintly (while its frame is selected).
    void SetFaceMarks(bool on) {
        if (on == faceMarks_) return;
        faceMarks_ = on;
        update();
    }
    /// Stores the look and repaints when it differs.
    void SetLook(int look);

    /// Gives the keyboard focus to the focus receiver, if it is visible.
    void GrabFocus();
    QLineEdit* NewHandler() const { return newHandler_; }

    /// Where the thumbnail is drawn, in widget coordinates.
    QRect ThumbRect() const;
    /// A widget point in thumbnail pixels.
    QPoint ThumbPoint(int x, int y) const;
    /// The part of the crop area under a widget point, with 5 pixels tolerance.
    TZone HitTest(int x, int y) const;
    /// Width the editor wants at the given height.
    int32_t PreferredWidth(int32_t height) const { return area_.PreferredWidth(height); }
    bool Dragging() const { return dragging_; }

    /// Replaces the clock that times the pause after a double click.
    void SetClock(TClock clock) { clock_ = std::move(clock); }

    /// What a key with its modifiers asks of the editor; TAction::None for keys
    /// that are not the editor's.
    static TKeyCommand KeyCommand(int qtKey, Qt::KeyboardModifiers modifiers);
    /// Where Page Up, Page Down, Home and End go: the one map of navigation keys,
    /// for the editor and the frame's other controls alike.
    static std::optional<TNavigation> NavigationOf(int qtKey);
    /// The Menu key or Shift+F10, which ask for the context menu.
    static bool IsMenuKey(const QKeyEvent* event);
    /// Asks for the editor's context menu, as a right click does, over the crop area.
    void KeyboardMenu();

signals:
    /// The crop area was recomputed and redrawn: the read-outs are due.
    void Recalculated();
    /// A press on the crop area that is not ignored, or the focus on the receiver.
    void Selected();
    /// A double click on the crop area.
    void DoubleClick();
    /// Space in the editor: the frame flips its aspect.
    void FlipAspect();
    /// Page Up, Page Down, Home or End in the editor.
    void Navigate(TCFrame::TNavigation where);
    /// A drag of the crop area ended.
    void DragEnded();
    /// A key moved or resized the crop area.
    void KeyEdited();

protected:
    void paintEvent(QPaintEvent* event) override;
    /// A faint frame around each face found, over the thumbnail drawn into rect.
    void MarkFaces(QPainter& p, const QRect& rect);
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    friend class TFocusReceiver;
    void SyncSurface();
    void RequestThumbnail();
    /// A thumbnail for the area as it is now, asked for at once; first in line when in view.
    void NewThumbnailDue();
    void ThumbnailArrived(uint64_t generation, int32_t height, int32_t rotation,
                          TDecodedThumbnail decoded);
    void WithdrawRequest();
    void SetBackground(const QColor& color);
    void MouseShapeMouseDown(Qt::MouseButton button, int x, int y);
    void MouseShapeMouseMove(int x, int y);
    void MouseShapeMouseUp();
    void MouseShapeDblClick();
    void NewHandlerEnter();
    void FocusGrabberKeyDown(QKeyEvent* event);
    bool IsActionKey(QKeyEvent* event, bool trigger);
    const QImage& ThumbImage();
    /// Takes the picture just set, made ready to draw where it was decoded.
    void TakeImage(QImage image);
    const QImage& BuildWork();

    TCropView area_;
    QPointer<IThumbnailSource> source_;
    uint64_t ticket_ = 0;     // the request in the source, 0 when none
    uint64_t preview_ = 0;    // the stand-in asked for meanwhile, 0 when none
    bool standIn_ = false;    // the picture shown is the file's EXIF thumbnail
    uint64_t generation_ = 0; // answers to older requests are dropped
    QLineEdit* newHandler_;
    TClock clock_;
    int look_ = kLookGrey;
    bool faceMarks_ = false;
    bool dragging_ = false;
    TZone dragZone_ = TZone::None;
    /// A corner dragged to p (thumbnail pixels): both sides change, the opposite
    /// corner stays; with an aspect, the side the pointer moved more along leads.
    void DragCorner(QPoint p);
    QPoint pressPoint_;
    TCropRect pressRect_;
    std::chrono::steady_clock::time_point lastDoubleClick_{};
    // what painting makes from the thumbnail, kept until the thumbnail or the look changes
    QImage thumbImage_;         // the thumbnail as drawn
    uint64_t thumbImageOf_ = 0; // the thumbnail version it shows
    QImage workImage_;          // the work bitmap as drawn
    uint64_t workImageOf_ = 0;
    int workImageLook_ = -1;
    double pixelRatio_ = 0.0; // 0: the screen's
};
