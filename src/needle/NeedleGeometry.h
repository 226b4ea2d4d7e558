#pragma once
// Where the needle stands for a position sent to the meter.
//
// Positions run 0..4095 with 2048 upright; the stops at 198 and 3898 lie 55
// degrees either side. The deflection is an angle in units of 6.28318/65536
// radians (very nearly 1/65536 of a turn), limited to +-10500 (about
// +-57.7 degrees), just inside the white part of the face.
#include <cstdint>

namespace NeedleGeometry {

constexpr int16_t Centre = 2048;
constexpr int16_t LeftStop = 198;
constexpr int16_t RightStop = 3898;
constexpr int32_t Limit = 10500;
constexpr float InnerRadius = 500;   // the needle is drawn from here ...
constexpr float OuterRadius = 1000;  // ... to here, in face units

// (Position - 2048) * 20024 / 3700 in 16- and 32-bit integers, truncated
// toward zero, then limited to +-Limit.
int32_t Deflection(int16_t position);

// Inner and outer end of the needle at a deflection, in face units about the
// pivot, rounded to single precision.
struct Ends {
    float X1, Y1, X2, Y2;
};
Ends EndsAt(int32_t deflection);

}  // namespace NeedleGeometry
