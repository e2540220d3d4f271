#include "model/Options.h"

#include "core/StorageTank.h"

bool Get(const TStorageTank& store, const TBoolOption& option) {
    return store.getBoolean(option.key, option.def);
}

int32_t Get(const TStorageTank& store, const TIntOption& option) {
    return store.getInteger(option.key, option.def);
}

std::string Get(const TStorageTank& store, const TTextOption& option, const std::string& fallback) {
    return store.getString(option.key, option.def ? option.def : fallback);
}

void Set(TStorageTank& store, const TBoolOption& option, bool value) {
    store.setValue(option.key, value);
}

void Set(TStorageTank& store, const TIntOption& option, int32_t value) {
    store.setValue(option.key, value);
}

void Set(TStorageTank& store, const TTextOption& option, const std::string& value) {
    store.setValue(option.key, value);
}
