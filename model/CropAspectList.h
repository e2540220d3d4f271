#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/ObserverPattern2.h"
#include "model/CropAspect.h"

class TStorageTank;

/// A named, ordered list of aspects with a default position. The list owns
/// its aspects, observes them and re-announces whatever they announce as
/// "AspectListChanged".
class TCropAspectList : public TSubject {
public:
    TCropAspectList() = default;
    ~TCropAspectList() override;

    int Count() const { return static_cast<int>(items_.size()); }
    /// The aspect at a position; a position outside the list raises a TError.
    TCropAspect& Items(int index) const;

    /// Appends and takes ownership; announces "AspectListChanged".
    void Add(std::unique_ptr<TCropAspect> aspect);
    /// Removes and frees the aspect; the default position stays where it was.
    void Delete(int index);
    /// Frees every aspect without announcing anything.
    void Clear();

    const std::string& Name() const { return name_; }
    /// Announces "AspectListChanged" with the new name when it differs.
    void SetName(const std::string& name);

    /// Announces "NewDefaultAspect" when index is a different, valid position.
    void SetDefault(int index);
    /// The stored default position, clamped to the list (0 when empty).
    int32_t DefaultIndex() const;

    /// Swap with the neighbour; false (and nothing announced) at the ends.
    /// The default position does not travel with the aspect.
    bool MoveUp(int index);
    bool MoveDown(int index);

    /// Every description, each followed by CR LF.
    std::string Descriptions() const;

    /// Relays an event of one of the aspects as "AspectListChanged".
    void Update(TObject* sender, const std::string& event, const TVariant& value) override;

    /// A new store named after the list: "DefaultAspect" and "SingleAspects".
    std::unique_ptr<TStorageTank> SaveToTank() const;
    /// Replaces the aspects by those of a store written by SaveToTank, or of
    /// the older layout whose children are the aspect stores themselves.
    void LoadFromTank(const TStorageTank& store);

private:
    void CheckIndex(int index) const;
    void Append(std::unique_ptr<TCropAspect> aspect);

    std::vector<std::unique_ptr<TCropAspect>> items_;
    std::string name_;
    int32_t defaultIndex_ = 0;
};
