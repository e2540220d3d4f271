#pragma once

#include <string>

/// A fresh folder under the temporary folder, removed with everything in it.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    /// The folder, without a trailing "/".
    const std::string& path() const { return path_; }
    /// path() + "/" + name.
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

/// The whole content of a file ("" when missing).
std::string ReadFileBytes(const std::string& path);
/// Creates or replaces a file with the given bytes.
void WriteFileBytes(const std::string& path, const std::string& bytes);
/// A small photo as a JPEG file made by the IJG tool: a gradient with 16-pixel checks.
void MakeJpeg(const std::string& path, int w, int h);
