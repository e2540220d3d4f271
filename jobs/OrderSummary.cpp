#include "jobs/OrderSummary.h"

#include <map>

#include "core/StringController.h"
#include "i18n/gnugettext.h"

namespace {
std::string Shown(const std::string& aspect) {
    return aspect.empty() ? TranslateOrKeep(N_("(no aspect)")) : aspect;
}

// a field in quotes when it holds a separator, a quote or a line break
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}
} // namespace

TOrderSummary SummariseOrder(const std::vector<TOrderPhoto>& photos, int thresholdPpi) {
    TOrderSummary summary;
    summary.Threshold = thresholdPpi;
    std::map<std::string, std::size_t> place;
    for (const TOrderPhoto& photo : photos) {
        const std::string& aspect = photo.Choice.Aspect;
        const auto [it, added] = place.emplace(aspect, summary.Sizes.size());
        if (added) summary.Sizes.push_back({aspect, 0});
        ++summary.Sizes[it->second].Prints;
        // -1: the aspect has no physical size, so there is no print resolution to judge
        if (photo.Resolution > 0 && photo.Resolution < thresholdPpi)
            summary.Low.push_back({photo.File(), aspect, photo.Resolution});
    }
    return summary;
}

std::string OrderSummaryText(const TOrderSummary& summary) {
    std::string text = TranslateOrKeep(N_("Prints per size:"));
    for (const TPrintSize& size : summary.Sizes)
        text += "\n  " + Shown(size.Aspect) + ": " + std::to_string(size.Prints);
    const std::string threshold = std::to_string(summary.Threshold);
    if (summary.Low.empty()) {
        text += "\n" +
                FillPlaceholders(TranslateOrKeep(N_("No photo is below %1 ppi at its print size.")),
                                 {threshold});
        return text;
    }
    text += "\n" +
            FillPlaceholders(TranslateOrKeep(N_("Below %1 ppi at their print size:")), {threshold});
    for (const TLowPrint& low : summary.Low)
        text += "\n  " + FillPlaceholders(TranslateOrKeep(N_("%1 (%2): %3 ppi")),
                                          {low.File, Shown(low.Aspect), std::to_string(low.Ppi)});
    return text;
}

std::string OrderSummaryCsv(const TOrderSummary& summary) {
    std::string csv = "kind,size,prints,file,ppi\r\n";
    for (const TPrintSize& size : summary.Sizes)
        csv += "size," + CsvField(size.Aspect) + "," + std::to_string(size.Prints) + ",,\r\n";
    for (const TLowPrint& low : summary.Low)
        csv += "low resolution," + CsvField(low.Aspect) + ",," + CsvField(low.File) + "," +
               std::to_string(low.Ppi) + "\r\n";
    return csv;
}

std::string AspectFolderName(const std::string& aspect) {
    std::string name;
    for (const char c : aspect)
        name += (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
    const auto first = name.find_first_not_of(' ');
    name = first == std::string::npos ? std::string() : name.substr(first);
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    if (name.empty() || name == "." || name == "..") name = "_" + name;
    return name;
}
