#pragma once

#include <cstdint>
#include <string>

#include <QWidget>

#include "core/ObserverPattern2.h"
#include "frames/CFrame.h"
#include "frames/FrameCommands.h"
#include "model/PrintOrder.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class TCropAspects;

/// The panel that stands for one image in the image list: the crop area editor
/// `Cropper` on top and a detail panel below it with the destination name, the
/// position, size and resolution read-outs, the rotate buttons, the aspect
/// choice, the flip check box and the crop button, plus the editor's popup
/// menu. It turns the user's actions into crop area operations, tells the main
/// window about selection and navigation by signals, asks it for the image
/// commands through IFrameCommands, and keeps its aspect choice in step with
/// the aspect registry, whose named events it observes.
///
/// Split by concern: IFrame.cpp (state, aspects, read-outs, input),
/// IFrameControls.cpp (the controls, their layout and the details level) and
/// IFrameMenu.cpp (the popup menu and the commands).
class TIFrame : public QWidget, public TObserver {
    Q_OBJECT
public:
    static constexpr int kOuterBorder = 2; // shows the selection
    static constexpr int kMarginBorder = 8;
    static constexpr int kFullDetailHeight = 65;
    static constexpr int kFullMinWidth = 365;
    static constexpr int kBriefMinWidth = 50;

    /// Observes the given registry, or the application-wide one.
    explicit TIFrame(QWidget* parent = nullptr, TCropAspects* registry = nullptr);
    ~TIFrame() override;

    /// Events of the aspect registry: a changed list refills the aspect choice.
    void Update(TObject* sender, const std::string& event, const TVariant& value) override;

    /// Loads the image; on success applies the chosen aspect and names the
    /// destination after the file.
    bool LoadFile(const std::string& fileName);
    /// The same with a thumbnail decoded elsewhere for an editor of the given height.
    bool LoadFile(const std::string& fileName, TThumbnail thumb, int32_t height);
    /// Where thumbnails made again are decoded; none decodes on the spot.
    void SetThumbnailSource(IThumbnailSource* source) { cropper_->SetThumbnailSource(source); }
    /// Height of the editor in a frame of the given height and details level.
    static int EditorHeightFor(int frameHeight, const std::string& level);
    /// "None", "Brief" or "Full".
    void SetDetails(const std::string& level);
    const std::string& Details() const { return details_; }
    void SetSelected(bool selected);
    bool Selected() const { return selected_; }
    /// One of several frames chosen together, beside the current one; shown.
    void SetMarked(bool marked);
    bool Marked() const { return marked_; }
    TFrameState State() const;
    /// The frame's photo as the print order holds it.
    TOrderPhoto Photo() const;
    /// Puts the frame back into a state read with State; raises TError when the
    /// photo cannot be read for the turn.
    void Restore(const TFrameState& state);
    /// Shows a photo of the order with its crop area as it stands, without reading
    /// the file: the frame is reused for whichever photo comes into view. Tells nothing
    /// (no Changed): the photo is the order's already.
    void Show(const TOrderPhoto& photo, const TCropArea& area);
    /// Chooses an aspect as the user does, its flip as a new photo of this
    /// shape gets it: the largest area of it, centred.
    void ChooseAspect(int index, bool autoFlip);
    /// Flips the aspect as the check box does.
    void ToggleFlip();
    void SetLook(int look);

    void SetCropVisible(bool visible) {
        cropper_->Area().Edit([visible](TCropArea& area) { area.SetCropVisible(visible); });
    }
    void SetRotation(int32_t degrees);
    int32_t Rotation() const { return Crop().Rotation(); }
    /// The EXIF orientation the photo is shown upright by (1 when none).
    int Orientation() const { return cropper_->Area().Orientation(); }
    /// Set before LoadFile: show the photo upright by its EXIF orientation.
    void SetHonourOrientation(bool honour) { cropper_->Area().SetHonourOrientation(honour); }
    /// Portrait areas keep whole-block heights while results are turned to landscape.
    void SetLandscapeTurn(bool on) {
        cropper_->Area().Edit([on](TCropArea& area) { area.SetWholeBlockPortrait(on); });
    }
    const std::string& Kind() const { return Crop().Kind(); }
    TCropRect GetCrop() const { return Crop().GetCrop(); }
    /// The crop area as a value: what the frame shows and the user edits.
    const TCropArea& Crop() const { return cropper_->Area().Crop(); }
    /// Decodes the thumbnail again for the editor's height; false (the old
    /// thumbnail stretched to the new size) when the file cannot be read now.
    bool Reload();

    std::string SourceFileName() const { return cropper_->Area().FileName(); }
    /// The photo's data ends early; the frame says so in its read-out row.
    bool Incomplete() const { return cropper_->Area().Incomplete(); }
    /// The photo as it was read when the frame was made.
    const TJpegLayout& SourceLayout() const { return cropper_->Area().SourceLayout(); }
    std::string DestFileName() const;
    void SetDestFileName(const std::string& name);
    /// Pixels per inch of the chosen aspect for the crop width; -1 without one.
    int32_t Resolution() const;

    /// Focuses the editor and signals SelectRequested.
    void FocusCrop();
    /// The frame's own way to take the focus: FocusCrop once it has a parent.
    void SetFocus();
    /// Flips the aspect of a portrait image.
    void AutoFlip();
    void MakeNameSafe();
    void ApplyTemplate(const std::string& templ);

    /// The width a frame of the given height wants for a view of the given proportions.
    int PreferredWidthFor(int frameHeight, double viewRatio) const;
    /// The editor's preferred width for its height plus the borders around it.
    int PreferredWidth() const { return PreferredWidthForHeight(height()); }
    /// The same for a frame of the given height.
    int PreferredWidthForHeight(int frameHeight) const;
    QSize sizeHint() const override;

    /// Applies the aspect chosen in the combo, flipped when the check box is set:
    /// the largest area of it, centred.
    void AspectComboChange();
    /// Refills the aspect choice from the registry's current list.
    void FillAspects();

    /// The main window's commands behind the buttons, a double click and the
    /// popup menu; none disables them.
    void SetCommands(IFrameCommands* commands) { commands_ = commands; }
    /// Prepares the popup menu for showing.
    void CropperMenuPopup();

    TCFrame* Cropper() const { return cropper_; }
    QMenu* CropperMenu() const { return menu_; }
    QWidget* DetailPanel() const { return detail_; }

signals:
    /// The user works in this frame ("Selected"): a press on it or in its
    /// editor, the focus on one of its controls, FocusCrop. The main window
    /// makes it current.
    void SelectRequested();
    /// A navigation key in the editor or in a detail control.
    void Navigate(TCFrame::TNavigation where);
    /// The user chose an aspect in the list (flip false) or flipped it (true).
    void AspectChosen(bool flip);
    /// A drag of the crop area ended.
    void Edited();
    /// A key moved or resized the crop area.
    void KeyEdited();
    /// The photo's area, aspect, turn or destination name changed, by the user or not.
    void Changed();
    /// A press with Ctrl or Shift: the frame joins or leaves the chosen frames.
    void ExtendRequested(Qt::KeyboardModifiers modifiers);
    /// A plain press on the picture or the border: this frame alone is chosen.
    void SoleRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static int DetailHeightFor(const std::string& level);
    bool AfterLoad(const std::string& fileName);
    void BuildDetailPanel();
    void BuildMenu();
    void LayoutChildren();
    void LayoutDetailPanel();
    void ConnectEditor();
    void UpdateReadouts();
    /// A left press with Ctrl or Shift asks to choose frames (true: consumed); a
    /// plain one makes this frame the only one chosen.
    bool PressChooses(QMouseEvent* event);
    /// True when the key was a navigation key and has been consumed.
    bool NavigationKeyCheck(QObject* watched, QKeyEvent* event);
    void SetPanelColor(QWidget* panel, const QColor& color);
    /// Asks the main window to run a command for this frame.
    void RunCommand(TFrameCommand command);
    /// The same from the popup menu, only while the window allows it.
    void MenuCommand(TFrameCommand command);
    /// Fits a thumbnail just decoded for the editor's height to the editor's width too.
    void FitNewThumbnail();
    void UpdateFlipKey();

    TCropAspects* registry_;
    IFrameCommands* commands_ = nullptr;
    bool marked_ = false;
    bool selected_ = false;
    std::string details_;
    int lowLimit_ = 150;
    int highLimit_ = 300;
    int detailHeight_ = kFullDetailHeight;
    int fullDetailHeight_ = kFullDetailHeight;
    int fullMinWidth_ = kFullMinWidth;

    QWidget* margin_;
    QWidget* cropBorder_;
    TCFrame* cropper_;
    QWidget* detail_;
    QLabel* fileCaption_;
    QLineEdit* fileNameEdit_;
    QLabel* posLabel_;
    QLabel* sizeLabel_;
    QLabel* ppiCaption_;
    QLabel* ppiLabel_;
    QLabel* incompleteLabel_;
    QPushButton* counterBtn_;
    QPushButton* clockBtn_;
    QComboBox* aspectCombo_;
    QCheckBox* rotateCheck_;
    QPushButton* cropBtn_;

    QMenu* menu_;
    QMenu* aspectsMenu_;
    QAction* previewAction_;
    QAction* cropAction_;
    QAction* flipAction_;
    QAction* rotateLeftAction_;
    QAction* rotateRightAction_;
    QAction* removeAction_;
    QAction* dataItems_[3];
    QAction* lookItems_[5];
};
