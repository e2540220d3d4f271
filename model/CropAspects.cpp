#include "model/CropAspects.h"

#include <algorithm>
#include <utility>

#include "core/Error.h"
#include "core/Events.h"
#include "core/StorageTank.h"
#include "i18n/gnugettext.h"

namespace {
struct TBuiltInAspect {
    const char* prefix; // kept as it stands before the text
    const char* text;
    bool translated;
    const char* unit;
    double horizontal;
    double vertical;
};

// Landscape throughout; the centimetre sizes are inch print sizes at 2.54 cm
// per inch, except the 27 of 18x27 cm.
const TBuiltInAspect kBuiltIn[] = {
    {"", "9x13 cm", false, "cm", 12.7, 8.89},     {"", "10x15 cm", false, "cm", 15.24, 10.16},
    {"", "13x18 cm", false, "cm", 17.78, 12.7},   {"", "13x19 cm", false, "cm", 19.05, 12.7},
    {"", "15x20 cm", false, "cm", 20.32, 15.24},  {"", "18x27 cm", false, "cm", 27, 17.78},
    {"", "20x30 cm", false, "cm", 30.48, 20.32},  {"", "30x45 cm", false, "cm", 45.72, 30.48},
    {"", "40x60 cm", false, "cm", 60.96, 40.64},  {"", "50x75 cm", false, "cm", 76.2, 50.8},
    {"4:3 ", "Monitor", true, "none", 4, 3},      {"", "Free", true, "free", 0, 0},
    {"", "No crop", true, "nocrop", 0, 0},        {"", "640x480", true, "pixels", 640, 480},
    {"", "3\" x 5\"", false, "inches", 5, 3},     {"", "3.5\" x 5\"", false, "inches", 5, 3.5},
    {"", "3.5\" x 6\"", false, "inches", 6, 3.5}, {"", "4\" x 5\"", false, "inches", 5, 4},
    {"", "4\" x 6\"", false, "inches", 6, 4},     {"", "4\" x 7\"", false, "inches", 7, 4},
    {"", "4\" x 10\"", false, "inches", 10, 4},   {"", "5\" x 7\"", false, "inches", 7, 5},
    {"", "8\" x 10\"", false, "inches", 10, 8},   {"", "11\" x 14\"", false, "inches", 14, 11},
};
constexpr int kDefaultBuiltIn = 1; // 10x15 cm
} // namespace

std::unique_ptr<TCropAspectList> MakeDefaultAspectList() {
    auto list = std::make_unique<TCropAspectList>();
    list->SetName(Translate("Custom"));
    for (const TBuiltInAspect& entry : kBuiltIn) {
        const std::string description =
            entry.prefix + (entry.translated ? Translate(entry.text) : std::string(entry.text));
        auto aspect = std::make_unique<TCropAspect>();
        aspect->SetAll(description, entry.unit, entry.horizontal, entry.vertical);
        list->Add(std::move(aspect));
    }
    list->SetDefault(kDefaultBuiltIn);
    return list;
}

TCropAspects::~TCropAspects() {
    // observers hear nothing of the teardown
    DetachAll();
    lists_.clear();
}

TCropAspectList& TCropAspects::Lists(int index) const {
    if (index < 0 || index >= Count())
        throw TError("CropAspects: List index out of bounds (" + std::to_string(index) + ")");
    return *lists_[static_cast<std::size_t>(index)];
}

int32_t TCropAspects::CurrentIndex() const {
    return std::max(0, std::min(currentIndex_, Count() - 1));
}

void TCropAspects::Adopt(std::unique_ptr<TCropAspectList> list) {
    list->Attach(this);
    lists_.push_back(std::move(list));
}

void TCropAspects::AddList(std::unique_ptr<TCropAspectList> list) {
    if (!list) return;
    Adopt(std::move(list));
    Notify(this, Events::AspectListChanged, TVariant(std::string()));
}

void TCropAspects::Update(TObject* sender, const std::string& event, const TVariant& value) {
    Notify(sender, event, value);
}

void TCropAspects::LoadDefaults() {
    lists_.clear();
    AddList(MakeDefaultAspectList());
    currentIndex_ = 0;
    Notify(this, Events::AspectListChanged, TVariant(std::string()));
}

void TCropAspects::ImportLegacy(const std::string& text, int defaultIndex,
                                const std::string& legacyUnits) {
    lists_.clear();
    auto list = std::make_unique<TCropAspectList>();
    list->SetName(Translate("Custom"));
    for (const std::string& line : SplitLines(text)) {
        // a line that does not parse still takes its place, as an empty aspect
        auto aspect = std::make_unique<TCropAspect>();
        aspect->ParseLegacy(line, legacyUnits);
        list->Add(std::move(aspect));
    }
    list->SetDefault(defaultIndex);
    AddList(std::move(list));
}

std::unique_ptr<TStorageTank> TCropAspects::SaveToTank() const {
    auto store = std::make_unique<TStorageTank>("Aspects");
    store->setValue("CurrentAspectList", TVariant(CurrentIndex()));
    auto lists = std::make_unique<TStorageTank>("Lists");
    for (const auto& list : lists_)
        lists->add(list->SaveToTank());
    store->add(std::move(lists));
    return store;
}

void TCropAspects::LoadFromTank(const TStorageTank& store) {
    lists_.clear();
    if (const TStorageTank* lists = store.getTank("Lists")) {
        for (int i = 0; i < lists->count(); ++i) {
            const auto* child = dynamic_cast<const TStorageTank*>(lists->item(i));
            if (!child) continue;
            auto list = std::make_unique<TCropAspectList>();
            list->LoadFromTank(*child);
            Adopt(std::move(list));
        }
    }
    // everything that shows aspects asks for the current list at once
    if (lists_.empty()) Adopt(MakeDefaultAspectList());
    Notify(this, Events::AspectListChanged, TVariant(std::string()));
}

TCropAspects& GetCropAspects() {
    static TCropAspects registry;
    return registry;
}
