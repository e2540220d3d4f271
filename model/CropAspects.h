#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/ObserverPattern2.h"
#include "model/CropAspectList.h"

class TStorageTank;

/// The aspect registry: the aspect lists, of which the first is current. It
/// owns and observes its lists and passes their events on unchanged, so its
/// observers hear about every change of every aspect.
class TCropAspects : public TSubject {
public:
    TCropAspects() = default;
    ~TCropAspects() override;

    int Count() const { return static_cast<int>(lists_.size()); }
    /// The list at a position; a position outside raises a TError.
    TCropAspectList& Lists(int index) const;
    /// The stored current position, clamped to the lists.
    int32_t CurrentIndex() const;
    /// The current list; the registry must hold one.
    TCropAspectList& CurrentList() const { return Lists(CurrentIndex()); }

    /// Takes ownership, observes it and announces "AspectListChanged".
    void AddList(std::unique_ptr<TCropAspectList> list);

    void Update(TObject* sender, const std::string& event, const TVariant& value) override;

    /// Replaces the lists by one list of the built-in aspects.
    void LoadDefaults();
    /// Replaces the lists by one list made from the old "h:v:name" lines.
    void ImportLegacy(const std::string& text, int defaultIndex, const std::string& legacyUnits);

    /// A new store "Aspects" with "CurrentAspectList" and "Lists".
    std::unique_ptr<TStorageTank> SaveToTank() const;
    /// Replaces the lists by those of a store written by SaveToTank; a store
    /// without lists gives the built-in ones, so a current list always exists.
    void LoadFromTank(const TStorageTank& store);

private:
    void Adopt(std::unique_ptr<TCropAspectList> list);

    int32_t currentIndex_ = 0;
    std::vector<std::unique_ptr<TCropAspectList>> lists_;
};

/// The application-wide registry, made on first use.
TCropAspects& GetCropAspects();

/// A new list named "Custom" (translated) holding the 24 built-in aspects,
/// with "10x15 cm" as its default.
std::unique_ptr<TCropAspectList> MakeDefaultAspectList();
