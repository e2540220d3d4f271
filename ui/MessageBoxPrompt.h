#pragma once

#include <QString>

#include "UserPrompt.h"

class QWidget;

/// Shows messages and questions as message boxes over a parent window.
class TMessageBoxPrompt : public IUserPrompt {
public:
    explicit TMessageBoxPrompt(QWidget* parent = nullptr) : parent_(parent) {}

    void ShowMessage(const std::string& text) override;
    TAnswer Ask(const std::string& text) override;
    /// The title of the next box; boxes without one carry the program's name.
    void SetTitle(const QString& title) { title_ = title; }

private:
    QWidget* parent_;
    QString title_;
};
