#include "model/CropAspectList.h"

#include <algorithm>
#include <utility>

#include "core/Error.h"
#include "core/Events.h"
#include "core/StorageTank.h"

TCropAspectList::~TCropAspectList() {
    Clear();
}

void TCropAspectList::CheckIndex(int index) const {
    if (index < 0 || index >= Count())
        throw TError("CropAspectList: List index out of bounds (" + std::to_string(index) + ")");
}

TCropAspect& TCropAspectList::Items(int index) const {
    CheckIndex(index);
    return *items_[static_cast<std::size_t>(index)];
}

void TCropAspectList::Append(std::unique_ptr<TCropAspect> aspect) {
    aspect->Attach(this);
    items_.push_back(std::move(aspect));
}

void TCropAspectList::Add(std::unique_ptr<TCropAspect> aspect) {
    if (!aspect) return;
    Append(std::move(aspect));
    Notify(this, Events::AspectListChanged, TVariant(std::string()));
}

void TCropAspectList::Delete(int index) {
    CheckIndex(index);
    items_.erase(items_.begin() + index);
    Notify(this, Events::AspectListChanged, TVariant(std::string()));
}

void TCropAspectList::Clear() {
    // first to last, as they were added
    for (auto& aspect : items_)
        aspect.reset();
    items_.clear();
}

void TCropAspectList::SetName(const std::string& name) {
    if (name == name_) return;
    name_ = name;
    Notify(this, Events::AspectListChanged, TVariant(name_));
}

void TCropAspectList::SetDefault(int index) {
    if (index == defaultIndex_ || index < 0 || index >= Count()) return;
    defaultIndex_ = index;
    Notify(this, Events::NewDefaultAspect, TVariant(int32_t{index}));
}

int32_t TCropAspectList::DefaultIndex() const {
    return std::max(0, std::min(defaultIndex_, Count() - 1));
}

bool TCropAspectList::MoveUp(int index) {
    if (index <= 0 || index >= Count()) return false;
    std::swap(items_[static_cast<std::size_t>(index)], items_[static_cast<std::size_t>(index - 1)]);
    Notify(this, Events::AspectListChanged, TVariant(std::string()));
    return true;
}

bool TCropAspectList::MoveDown(int index) {
    if (index < 0 || index >= Count() - 1) return false;
    std::swap(items_[static_cast<std::size_t>(index)], items_[static_cast<std::size_t>(index + 1)]);
    Notify(this, Events::AspectListChanged, TVariant(std::string()));
    return true;
}

std::string TCropAspectList::Descriptions() const {
    std::string text;
    for (const auto& aspect : items_)
        text += aspect->Description() + "\r\n";
    return text;
}

void TCropAspectList::Update(TObject* sender, const std::string&, const TVariant& value) {
    Notify(sender, Events::AspectListChanged, value);
}

std::unique_ptr<TStorageTank> TCropAspectList::SaveToTank() const {
    auto store = std::make_unique<TStorageTank>(name_);
    store->setValue("DefaultAspect", TVariant(defaultIndex_));
    auto single = std::make_unique<TStorageTank>("SingleAspects");
    for (const auto& aspect : items_)
        single->add(aspect->SaveToTank());
    store->add(std::move(single));
    return store;
}

void TCropAspectList::LoadFromTank(const TStorageTank& store) {
    Clear();
    SetName(store.name());
    const TStorageTank* source = &store;
    if (store.indexOf("SingleAspects") >= 0) {
        // a "SingleAspects" that is a plain value holds no aspects
        source = store.getTank("SingleAspects");
        defaultIndex_ = store.getInteger("DefaultAspect", 0);
    }
    if (source) {
        for (int i = 0; i < source->count(); ++i) {
            // in the older layout a plain value among the aspect stores is no aspect
            const auto* child = dynamic_cast<const TStorageTank*>(source->item(i));
            if (!child) continue;
            auto aspect = std::make_unique<TCropAspect>();
            aspect->LoadFromTank(*child);
            Append(std::move(aspect));
        }
    }
    Notify(this, Events::AspectListChanged, TVariant(std::string()));
}
