#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/StorageTankElement.h"
#include "core/StorageTankInterface.h"

class IUserPrompt;

/// A named, ordered settings store owning its children (values or nested
/// stores). Names are matched without regard to letter case; lookups find the
/// first match. The whole settings file is one such store.
class TStorageTank : public TStorage {
public:
    explicit TStorageTank(const std::string& name = std::string(), IUserPrompt* prompt = nullptr);
    ~TStorageTank() override;
    TStorageTank(const TStorageTank&) = delete;
    TStorageTank& operator=(const TStorageTank&) = delete;

    /// Where the store's message box about a failed write goes; nested stores
    /// inherit it. Without one it is dropped.
    void setPrompt(IUserPrompt* prompt) { prompt_ = prompt; }
    IUserPrompt* prompt() const { return prompt_; }

    const std::string& name() const { return name_; }
    void setName(const std::string& name) { name_ = name; }

    int count() const { return static_cast<int>(el_.size()); }
    TStorage* item(int index) const { return el_.at(static_cast<std::size_t>(index)).get(); }
    int indexOf(const std::string& name) const;
    TStorage* find(const std::string& name) const;

    void setValue(const std::string& name, const TVariant& value);
    // Exact overloads: without them an integer 0 would pick the text overload as a null pointer.
    void setValue(const std::string& name, int32_t value) { setValue(name, TVariant(value)); }
    void setValue(const std::string& name, bool value) { setValue(name, TVariant(value)); }
    void setValue(const std::string& name, const std::string& value) {
        setValue(name, TVariant(value));
    }
    void setValue(const std::string& name, const char* value) {
        setValue(name, TVariant(std::string(value ? value : "")));
    }
    void setDouble(const std::string& name, double value) { setValue(name, TVariant(value)); }

    bool getBoolean(const std::string& name, bool def = true) const;
    int32_t getInteger(const std::string& name, int32_t def = 0) const;
    double getDouble(const std::string& name, double def) const;
    std::string getString(const std::string& name, const std::string& def = std::string()) const;
    TStorageTank* getTank(const std::string& name) const;

    /// Appends without any name check; the store takes ownership.
    void add(std::unique_ptr<TStorage> child);
    /// Removes and frees the first child of that name; an empty name removes nothing.
    void remove(const std::string& name);
    void clear() { el_.clear(); }

    /// Reads the file (relative names beside the program); a missing file
    /// leaves the store as it is. A file that cannot be read throws TError.
    /// Read faults as in fromStrings.
    void loadFromFile(const std::string& fileName);
    /// Writes the file atomically: a temporary file beside it is renamed over it.
    void saveToFile(const std::string& fileName) const;

    std::string valueToString() const override { return toString(); }
    std::string toString() const override;
    void toStrings(std::vector<std::string>& lines) const override;
    void fromSS(const std::string& text) override;
    /// Reads a store and everything nested in it. A wrong header leaves the store
    /// empty; a line that cannot be read is skipped and the rest read on. Either
    /// way TError names the faults once the read is over. Stores nested deeper
    /// than 64 levels are skipped as faults.
    void fromStrings(const std::vector<std::string>& lines, std::size_t& index) override;
    std::string getName() const override { return name_; }

private:
    const TStorageElement* element(const std::string& name, const char* type) const;
    void report(const std::string& message) const;

    std::string name_;
    std::vector<std::unique_ptr<TStorage>> el_;
    IUserPrompt* prompt_ = nullptr;
};

/// Splits text into lines at CR LF, a lone CR or a lone LF.
std::vector<std::string> SplitLines(const std::string& text);
/// Text of a settings file as UTF-8: files of older programs are Windows-1252.
std::string DecodeSettingsText(const std::string& bytes);
