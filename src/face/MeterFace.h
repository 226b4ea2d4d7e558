#pragma once
// The meter face: a white sector of a large circle whose centre, the needle's
// pivot, lies below the box, with a scale of ticks and arcs near its rim. Two
// styles: TRAD (a base arc, a broken outer arc and 21 ticks, long and short in
// turn) and SIMPLE (9 heavier ticks and three short marks).
//
// Face units: x from -1000 at the left edge to +1000 at the right edge, y from
// 1150 at the top edge down to 483 at the bottom edge, pivot at (0, 0). Angles
// are radians counterclockwise from the positive x axis; the scale runs from
// 35 degrees (right end) to 145 degrees (left end).
#include <cstdint>

class PictureBox;

namespace MeterFace {

constexpr int32_t Trad = 0;
constexpr int32_t Simple = 1;

// The face's user scale.
constexpr float ScaleWidth = 2000;
constexpr float ScaleHeight = -667;
constexpr float ScaleLeft = -1000;
constexpr float ScaleTop = 1150;

// Pi as the meter's drawings have always rounded it, and the 110-degree span
// of the scale in those units.
constexpr double Pi = 3.14159;
constexpr double ScaleSpan = 110 * Pi / 180;  // 1.9198606

// The white sector: 61.111 degrees either side of upright.
constexpr float SectorRadius = 1110;
constexpr float SectorFrom = 0.5042058f;
constexpr float SectorTo = 2.6373842f;
constexpr float HubRadius = 465;

// Both tick loops start at the right end and stop after the left end.
constexpr float TickFrom = 0.6108647f;   // 35 degrees
constexpr float TickUntil = 2.5407252f;  // 145 degrees plus a little
constexpr float ScaleRightEnd = 0.6108647f;
constexpr float ScaleLeftEnd = 2.5307253f;

// Clears the box and draws the whole face in the given style (0 TRAD,
// 1 SIMPLE; any other style leaves the bare grey box). The box is first
// made one third as high as it is wide.
void Draw(PictureBox& box, int32_t scaleType);

}  // namespace MeterFace
