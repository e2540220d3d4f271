#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "cli/PhotoJob.h"
#include "cli/PhotoWalk.h"
#include "jobs/OrderFile.h"

/// The photos of a print order as a run of the command line takes them, in the
/// order's order: those left out on opening first, each as a fault with its
/// reason, then the photos to cut. Named paths choose among the photos (by
/// their path from the working folder or from the order's folder); a named
/// path that is no photo of the order is a fault of its own. None named: all.
class TOrderWalk {
public:
    TOrderWalk(TOpenedOrder order, const std::string& orderPath,
               const std::vector<std::string>& chosen);

    bool Next(TWalkItem& item);
    void SetOnFolder(std::function<void()>) {}
    bool ListFailed() const { return false; }
    const TOrderSettings& Settings() const { return order_.Settings; }

private:
    TOpenedOrder order_;
    std::vector<TWalkItem> faults_;
    std::vector<const TOrderPhoto*> photos_;
    std::size_t nextFault_ = 0;
    std::size_t nextPhoto_ = 0;
};

/// Cuts a photo of the order as planned: its area, turn and resolution are the
/// order's, the tool, options and stop flag the run's. Written, skipped (the
/// name was taken since the plan) or failed with the reason; a dry run gives
/// the transformer calls.
TPhotoReport CropOrderedPhoto(const TCropJob& planned, const TPhotoRunSettings& run);
