#pragma once

#include <functional>
#include <string>

class IUserPrompt;
class QWidget;
class TPreviewWindow;
struct TOrderPhoto;

/// The preview of one photo's crop: jpegtran writes it into a folder of the
/// window's own (made at the first preview, gone with the window), and the
/// desktop's image viewer shows it, or else a window of the program's own.
class TCropPreview {
public:
    /// folder: where the private folder is made; parent: of the program's own viewer.
    TCropPreview(std::string folder, IUserPrompt& prompt, QWidget* parent);
    ~TCropPreview() { Remove(); }
    TCropPreview(const TCropPreview&) = delete;
    TCropPreview& operator=(const TCropPreview&) = delete;

    /// Cuts the photo into the preview file and shows it at the given print
    /// resolution (0: the file's); tells the user what went wrong otherwise.
    void Show(const TOrderPhoto& photo, int ppi);
    /// Full path of the preview file; empty before the first preview.
    std::string File() const;
    /// How a finished preview is shown (the desktop's viewer by default).
    void SetOpener(std::function<void(const std::string&)> opener) { opener_ = std::move(opener); }
    /// The private folder and the preview in it go.
    void Remove();

private:
    void Open(const std::string& path);

    std::string folder_;  // the temporary folder
    std::string scratch_; // the private folder in it that holds the preview
    IUserPrompt& prompt_;
    QWidget* parent_;
    std::function<void(const std::string&)> opener_;
    TPreviewWindow* window_ = nullptr; // made when no viewer takes a preview
    int ppi_ = 0; ///< the print resolution of the crop last previewed; 0: the file's
};
