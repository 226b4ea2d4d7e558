#include "needle/NeedleGeometry.h"

#include <cmath>

namespace NeedleGeometry {

int32_t Deflection(int16_t position)
{
    // The difference is a 16-bit quantity and the product a 32-bit one; the
    // division truncates (2047 gives -5, not -5.4 rounded).
    const int16_t offset = static_cast<int16_t>(position - Centre);
    int32_t d = static_cast<int32_t>(offset) * 20024 / 3700;
    if (d > Limit)
        d = Limit;
    if (d < -Limit)
        d = -Limit;
    return d;
}

Ends EndsAt(int32_t deflection)
{
    // Angle from upright, positive to the right.
    const double theta = deflection * 6.28318 / 65536;
    const double s = std::sin(theta);
    const double c = std::cos(theta);
    return {static_cast<float>(s * InnerRadius), static_cast<float>(c * InnerRadius),
            static_cast<float>(s * OuterRadius), static_cast<float>(c * OuterRadius)};
}

}  // namespace NeedleGeometry
