#pragma once

#include <string>

/// The answers a question can get. The last three are offered only by AskForRun:
/// YesToAll and NoToAll answer the same question for the rest of a run, KeepBoth
/// keeps the existing file and writes under a free name beside it.
enum class TAnswer { Yes, No, Cancel, YesToAll, NoToAll, KeepBoth };

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
    /// A question of a run over many files, with the buttons Yes, Yes to all, No,
    /// No to all, Keep both and Cancel. Without such a box it is Ask.
    virtual TAnswer AskForRun(const std::string& title, const std::string& text) {
        return Ask(title, text);
    }
    /// The account of a finished run, with a way to open the folder it wrote into;
    /// failed says that some of its photos failed.
    virtual void ShowSummary(const std::string& text, const std::string& folder, bool failed) {
        (void)folder;
        if (failed)
            ShowError(text);
        else
            ShowMessage(text);
    }
    /// A question whose three buttons say what they do ("Save", "Discard",
    /// "Cancel"): the first answers Yes, the second No, the third Cancel.
    /// escapeIsNo: Escape or closing the box answers No instead of Cancel.
    /// Without such a box it is Ask.
    virtual TAnswer AskWith(const std::string& text, const std::string& yes, const std::string& no,
                            const std::string& cancel, bool escapeIsNo = false) {
        (void)yes, (void)no, (void)cancel, (void)escapeIsNo;
        return Ask(text);
    }
    /// A warning with the buttons Yes and No only; true for Yes.
    virtual bool Confirm(const std::string& text) { return Ask(text) == TAnswer::Yes; }
};
