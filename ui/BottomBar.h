#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

/// The main window's bottom bar: Add Images, Crop Images, and the destination
/// folder with its browse button.
class TBottomBar : public QWidget {
    Q_OBJECT
public:
    explicit TBottomBar(QWidget* parent);
    QPushButton* AddButton() const { return addBtn_; }
    QPushButton* CropButton() const { return exeBtn_; }
    QLineEdit* DirEdit() const { return dirEdit_; }
    /// While set (a crop run is on), neither the list nor the folder can change.
    void SetLocked(bool locked);

private:
    void BrowseBtnClick();

    QPushButton* addBtn_;
    QPushButton* exeBtn_;
    QLineEdit* dirEdit_;
    QWidget* browseBtn_;
};
