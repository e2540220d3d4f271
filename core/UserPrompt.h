#pragma once

#include <string>

/// The answers a question can get.
enum class TAnswer { Yes, No, Cancel };

/// How code without windows shows a message or asks a question. The user
/// interface implements it with message boxes; tests script the answers.
class IUserPrompt {
public:
    virtual ~IUserPrompt() = default;
    /// A notice with one OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    /// An error with one OK button.
    virtual void ShowError(const std::string& text) { ShowMessage(text); }
    /// A question with the buttons Yes, No and Cancel.
    virtual TAnswer Ask(const std::string& text) = 0;
    /// The same under a title of its own ("File exists").
    virtual TAnswer Ask(const std::string& title, const std::string& text) {
        (void)title;
        return Ask(text);
    }
    /// The account of a finished run, with a way to open the folder it wrote into.
    virtual void ShowSummary(const std::string& text, const std::string& folder) {
        (void)folder;
        ShowMessage(text);
    }
    /// A warning with the buttons Yes and No only; true for Yes.
    virtual bool Confirm(const std::string& text) { return Ask(text) == TAnswer::Yes; }
};
