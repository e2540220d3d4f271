#pragma once

#include <deque>
#include <string>
#include <vector>

#include "core/UserPrompt.h"

/// Records every message and answers questions from a script (Cancel when it runs out).
class TScriptedPrompt : public IUserPrompt {
public:
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::deque<TAnswer> answers;

    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    /// Errors are messages too; this list tells which came as an error box.
    std::vector<std::string> errors;
    void ShowError(const std::string& text) override {
        errors.push_back(text);
        ShowMessage(text);
    }
    std::vector<std::string> titles;
    /// Accounts of finished runs, with their folders; kept apart from the messages.
    std::vector<std::string> summaries;
    std::vector<std::string> summaryFolders;
    std::vector<bool> summaryFailed;
    void ShowSummary(const std::string& text, const std::string& folder, bool failed) override {
        summaries.push_back(text);
        summaryFolders.push_back(folder);
        summaryFailed.push_back(failed);
    }

    using IUserPrompt::Ask;
    TAnswer Ask(const std::string& title, const std::string& text) override {
        titles.push_back(title);
        return Ask(text);
    }
    TAnswer Ask(const std::string& text) override {
        questions.push_back(text);
        if (answers.empty()) return TAnswer::Cancel;
        const TAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
};
