#pragma once

#include <QDialog>

class QTableWidget;

/// The list of keyboard shortcuts; shown without being modal and hidden again.
class TKeyboardForm : public QDialog {
    Q_OBJECT
public:
    explicit TKeyboardForm(QWidget* parent = nullptr);

private:
    QTableWidget* table_;
};
