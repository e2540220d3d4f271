#include "model/CropAspect.h"

#include <cmath>
#include <limits>

#include "core/Error.h"
#include "core/Events.h"
#include "core/StorageTank.h"
#include "core/StringController.h"

void TCropAspect::Changed() {
    Notify(this, Events::AspectChanged, TVariant(Ratio()));
}

void TCropAspect::SetHorizontal(double value) {
    if (value == horizontal_) return;
    horizontal_ = value;
    Changed();
}

void TCropAspect::SetVertical(double value) {
    if (value == vertical_) return;
    vertical_ = value;
    Changed();
}

void TCropAspect::SetUnit(const std::string& unit) {
    if (unit == unit_) return;
    unit_ = unit;
    Changed();
}

void TCropAspect::SetDescription(const std::string& description) {
    if (description == description_) return;
    description_ = description;
    Changed();
}

void TCropAspect::SetAll(const std::string& description, const std::string& unit, double horizontal,
                         double vertical) {
    if (description == description_ && unit == unit_ && horizontal == horizontal_ &&
        vertical == vertical_)
        return;
    description_ = description;
    unit_ = unit;
    horizontal_ = horizontal;
    vertical_ = vertical;
    Changed();
}

double TCropAspect::Ratio() const {
    return vertical_ > 0 ? horizontal_ / vertical_ : 0.0;
}

int32_t TCropAspect::GetPPI(int32_t pixels, bool flipped) const {
    if (horizontal_ == 0 || vertical_ == 0 || unit_ == "none" || unit_ == "free" ||
        unit_ == "nocrop" || unit_ == "pixels")
        return -1;
    long double factor = 1.0L;
    if (unit_ == "mm")
        factor = 25.4L;
    else if (unit_ == "cm")
        factor = 2.54L;
    const long double size = flipped ? vertical_ : horizontal_;
    const long double exact = static_cast<long double>(pixels) / size * factor;
    if (std::isnan(exact)) return -1;
    // tiny sizes give huge quotients; an int cannot hold more than its range
    constexpr long double kMax = std::numeric_limits<int32_t>::max();
    constexpr long double kMin = std::numeric_limits<int32_t>::min();
    if (exact >= kMax) return std::numeric_limits<int32_t>::max();
    if (exact <= kMin) return std::numeric_limits<int32_t>::min();
    // halves go to the even neighbour: 2.5 gives 2, 3.5 gives 4
    long double rounded = std::floor(exact);
    const long double fraction = exact - rounded;
    if (fraction > 0.5L || (fraction == 0.5L && std::fmod(rounded, 2.0L) != 0)) rounded += 1;
    return static_cast<int32_t>(rounded);
}

std::unique_ptr<TStorageTank> TCropAspect::SaveToTank() const {
    auto store = std::make_unique<TStorageTank>();
    store->setValue("Horizontal", TVariant(horizontal_));
    store->setValue("Vertical", TVariant(vertical_));
    store->setValue("Unit", TVariant(unit_));
    store->setValue("Description", TVariant(description_));
    store->setValue("SnapL", TVariant(snapL_));
    store->setValue("SnapT", TVariant(snapT_));
    store->setValue("SnapW", TVariant(snapW_));
    store->setValue("SnapH", TVariant(snapH_));
    store->setValue("SnapR", TVariant(snapR_));
    store->setValue("SnapB", TVariant(snapB_));
    return store;
}

void TCropAspect::LoadFromTank(const TStorageTank& store) {
    horizontal_ = store.getDouble("Horizontal", horizontal_);
    vertical_ = store.getDouble("Vertical", vertical_);
    unit_ = store.getString("Unit", unit_);
    description_ = store.getString("Description", description_);
    snapL_ = store.getInteger("SnapL", snapL_);
    // older stores held only the left step: the others follow it
    snapT_ = store.getInteger("SnapT", snapL_);
    snapW_ = store.getInteger("SnapW", snapL_);
    snapH_ = store.getInteger("SnapH", snapL_);
    snapR_ = store.getInteger("SnapR", snapL_);
    snapB_ = store.getInteger("SnapB", snapL_);
}

bool TCropAspect::ParseLegacy(const std::string& line, const std::string& legacyUnits) {
    try {
        const std::size_t first = line.find(':');
        if (first == std::string::npos) return false;
        const int32_t h = ReadInteger(RemoveExtraSpaces(line.substr(0, first)));
        const std::string rest = line.substr(first + 1);
        const std::size_t second = rest.find(':');
        if (second == std::string::npos) return false;
        const int32_t v = ReadInteger(RemoveExtraSpaces(rest.substr(0, second)));
        const std::string name = RemoveExtraSpaces(rest.substr(second + 1));

        SetAll(std::to_string(h) + ":" + std::to_string(v) + " (" + name + ")", legacyUnits, h, v);
        // the old format knew only these two; anything else was its default, centimetres
        SetUnit(legacyUnits == "Inches" ? "inches" : "cm");
        // only photo lines kept a physical size, all others were bare ratios
        if (name != "Photo") SetUnit("none");
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
