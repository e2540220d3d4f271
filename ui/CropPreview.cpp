#include "ui/CropPreview.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <stdlib.h>

#include "core/StringController.h"
#include "core/UserPrompt.h"
#include "i18n/gnugettext.h"
#include "jobs/CropJob.h"
#include "jobs/CropPlan.h"
#include "model/PrintOrder.h"
#include "ui/PhotoFault.h"
#include "ui/PreviewWindow.h"
#include "ui/ShellServices.h"

namespace fs = std::filesystem;

TCropPreview::TCropPreview(std::string folder, IUserPrompt& prompt, QWidget* parent)
    : folder_(std::move(folder)), prompt_(prompt), parent_(parent),
      opener_([this](const std::string& path) { Open(path); }) {}

std::string TCropPreview::File() const {
    return scratch_.empty() ? std::string() : scratch_ + "/CropPreview.jpg";
}

void TCropPreview::Remove() {
    if (scratch_.empty()) return;
    // a viewer may still show the file; removing it is all the same to the viewer
    std::error_code ec;
    fs::remove_all(scratch_, ec);
    scratch_.clear();
}

void TCropPreview::Open(const std::string& path) {
    if (ShellOpen(path)) return;
    if (!window_) window_ = new TPreviewWindow(parent_);
    std::string why;
    if (!window_->Show(path, &why, ppi_))
        prompt_.ShowError(FillPlaceholders(Translate("Unable to read %1: %2"), {path, why}));
}

void TCropPreview::Show(const TOrderPhoto& photo, int ppi) {
    if (scratch_.empty()) {
        // a folder no one else can write into: nothing can be planted in place of
        // the preview, and other copies of the program keep their own
        const std::string base = folder_ + (folder_.empty() || folder_.back() == '/' ? "" : "/");
        std::string pattern = base + "trimvale-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            const int error = errno;
            prompt_.ShowError(FillPlaceholders(Translate("Unable to create \"%1\": %2"),
                                               {base, std::strerror(error)}));
            return;
        }
        scratch_ = pattern;
    }
    const std::string preview = File();
    std::error_code ec;
    fs::remove(preview, ec);
    const TTransformCall call = PreviewCall(CropSpecOf(photo), photo.File(), preview);
    const std::string tool = FindTransformer();
    TTransformResult run;
    if (!tool.empty()) run = RunTransformer(tool, call, {}, scratch_);
    // only what this call wrote is shown; an empty file is a failed write
    if (run.Ok && !ec && fs::file_size(preview, ec) > 0 && !ec) {
        ppi_ = ppi;
        opener_(preview);
        return;
    }
    if (const std::string fault = PhotoFault(photo.File(), run.Fault); !run.Ok && !fault.empty()) {
        prompt_.ShowError(fault);
        return;
    }
    prompt_.ShowError(
        run.Reason().empty()
            ? FillPlaceholders(Translate("Error: Defective JPEGTran call:\n%1\nEnsure that you "
                                         "have write access to %2"),
                               {call.ArgumentString(), scratch_})
            : FillPlaceholders(Translate("Error: Defective JPEGTran call:\n%1\n%2"),
                               {call.ArgumentString(), run.Reason()}));
}
