#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/ObserverPattern2.h"

class TStorageTank;

/// One crop shape the user can pick: a print size, a bare ratio, a pixel size,
/// free size or no crop. `Unit` names both the unit of the two sizes and the
/// kind ("cm", "mm", "inches", "none", "pixels", "free", "nocrop"). Every
/// change of the four visible fields is announced as "AspectChanged" with the
/// new ratio.
class TCropAspect : public TSubject {
public:
    TCropAspect() = default;

    double Horizontal() const { return horizontal_; }
    double Vertical() const { return vertical_; }
    const std::string& Description() const { return description_; }
    const std::string& Unit() const { return unit_; }
    int32_t SnapW() const { return snapW_; }
    int32_t SnapB() const { return snapB_; }
    int32_t SnapR() const { return snapR_; }
    int32_t SnapL() const { return snapL_; }
    int32_t SnapH() const { return snapH_; }
    int32_t SnapT() const { return snapT_; }

    /// Each setter stores and announces only when the value differs exactly.
    void SetHorizontal(double value);
    void SetVertical(double value);
    void SetUnit(const std::string& unit);
    void SetDescription(const std::string& description);
    /// Stores all four and announces once, unless all four are unchanged.
    void SetAll(const std::string& description, const std::string& unit, double horizontal,
                double vertical);

    /// Horizontal / Vertical, or 0 when Vertical is not positive.
    double Ratio() const;
    /// Pixels per inch that `pixels` across give at this aspect's physical
    /// size (the vertical size when flipped); -1 for aspects without one.
    int32_t GetPPI(int32_t pixels, bool flipped) const;

    /// A new unnamed store with the sizes, unit, description and snap steps.
    std::unique_ptr<TStorageTank> SaveToTank() const;
    /// Reads what SaveToTank wrote; missing or mistyped keys keep defaults.
    /// Announces nothing.
    void LoadFromTank(const TStorageTank& store);

    /// Fills the aspect from one line "h:v:name" of the old settings format;
    /// legacyUnits is "Inches" or "Centimeters". False for a malformed line.
    bool ParseLegacy(const std::string& line, const std::string& legacyUnits);

private:
    void Changed();

    double horizontal_ = 0;
    double vertical_ = 0;
    std::string description_;
    std::string unit_;
    int32_t snapW_ = 1;
    int32_t snapB_ = 1;
    int32_t snapR_ = 1;
    int32_t snapL_ = 16;
    int32_t snapH_ = 1;
    int32_t snapT_ = 16;
};
