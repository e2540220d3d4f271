#pragma once

#include <string>

#include <QImage>
#include <QWidget>

class QLabel;
class QScrollArea;

/// The crop preview in a window of the program's own, for a desktop where no image viewer
/// takes the file: the cut fitted to the screen at first, zoomable up to its own pixels
/// (100 %), with its size and print resolution below it.
/// Keys: + and - zoom, 1 shows 100 %, 0 fits the window again.
class TPreviewWindow : public QWidget {
    Q_OBJECT
public:
    explicit TPreviewWindow(QWidget* parent = nullptr);

    /// Shows the file, replacing what was shown; false, and why in error, when it cannot be
    /// read. printPpi, when above 0, is the resolution the crop is written with, shown in
    /// place of the file's own (a preview carries the source's).
    bool Show(const std::string& fileName, std::string* error = nullptr, int printPpi = 0);

    /// The scale shown: 1 is one pixel of the cut per device-independent pixel.
    double Zoom() const { return zoom_; }
    void SetZoom(double zoom);
    /// The zoom at which the whole cut fits the view, at most 1.
    double FitZoom() const;
    QLabel* Picture() const { return picture_; }
    QLabel* Info() const { return info_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QImage image_;
    double zoom_ = 1;
    QScrollArea* scroll_;
    QLabel* picture_;
    QLabel* info_;
};
