#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

/// The about box: program name, version, a short guide and the credits.
class TAboutBoxJ : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBoxJ(QWidget* parent = nullptr);

    /// Fills the version and the guide; called each time before the box shows.
    void Fill();
    static const char* Homepage();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* version_;
    QPlainTextEdit* memo_;
    QPushButton* ok_;
};
