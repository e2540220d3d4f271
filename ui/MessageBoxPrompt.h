#pragma once

#include <QString>

#include "core/UserPrompt.h"

class QWidget;

/// Shows messages and questions as message boxes over a parent window.
class TMessageBoxPrompt : public IUserPrompt {
public:
    explicit TMessageBoxPrompt(QWidget* parent = nullptr) : parent_(parent) {}

    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;
    TAnswer Ask(const std::string& text) override;
    TAnswer Ask(const std::string& title, const std::string& text) override;
    TAnswer AskForRun(const std::string& title, const std::string& text) override;
    bool Confirm(const std::string& text) override;
    TAnswer AskWith(const std::string& text, const std::string& yes, const std::string& no,
                    const std::string& cancel, bool escapeIsNo) override;
    void ShowSummary(const std::string& text, const std::string& folder, bool failed) override;

private:
    QWidget* parent_;
};
