#pragma once

#include <QFileDialog>

class QLabel;

/// The file dialog for adding images with a picture preview of the file under
/// the cursor, decoded at thumbnail scale like the frames' thumbnails.
class TPreviewFileDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit TPreviewFileDialog(QWidget* parent = nullptr);

    /// Shows the picture of path, or nothing for a folder or a file that is no JPEG.
    void ShowPreview(const QString& path);
    QLabel* Preview() const { return preview_; }

private:
    QLabel* preview_;
};
