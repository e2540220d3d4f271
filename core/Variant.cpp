#include "core/Variant.h"

int VariantTypeCode(const TVariant& value) {
    static constexpr int codes[] = {8, 11, 3, 5, 17, 7};
    return codes[value.index()];
}
