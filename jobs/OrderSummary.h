#pragma once

#include <string>
#include <vector>

#include "model/PrintOrder.h"

/// How many prints of one size (aspect) an order holds.
struct TPrintSize {
    std::string Aspect;
    int Prints = 0;
};

/// A photo whose print would show fewer pixels per inch than the lab wants.
struct TLowPrint {
    std::string File;
    std::string Aspect;
    int Ppi = 0;
};

/// The lab's view of an order: the prints per size in the order the sizes first
/// appear, and the photos below the threshold at their print size (only sizes
/// with a physical size have one).
struct TOrderSummary {
    std::vector<TPrintSize> Sizes;
    std::vector<TLowPrint> Low;
    int Threshold = 150;
};

TOrderSummary SummariseOrder(const std::vector<TOrderPhoto>& photos, int thresholdPpi);
/// The summary in the user's words, as the crop run's account and the export show it.
std::string OrderSummaryText(const TOrderSummary& summary);
/// The summary as CSV (RFC 4180, UTF-8): a header, then one "size" row per
/// size and one "low resolution" row per photo below the threshold; the column
/// names and kinds stay English for the lab's scripts.
std::string OrderSummaryCsv(const TOrderSummary& summary);
/// The subfolder of the destination that the prints of an aspect go into when
/// sizes are kept apart: the description with "/" and control characters
/// replaced, never "", "." or "..".
std::string AspectFolderName(const std::string& aspect);
