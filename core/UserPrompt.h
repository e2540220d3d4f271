#pragma once

#include <string>

/// The answers a question can get.
enum class TAnswer { Yes, No, Cancel };

/// How code without windows shows a message or asks a question. The user
/// interface implements it with message boxes; tests script the answers.
class IUserPrompt {
public:
    virtual ~IUserPrompt() = default;
    /// An error or notice with one OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    /// A question with the buttons Yes, No and Cancel.
    virtual TAnswer Ask(const std::string& text) = 0;
};
