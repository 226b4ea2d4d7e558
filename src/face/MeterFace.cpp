#include "face/MeterFace.h"

#include "face/FaceColours.h"
#include "face/PictureBox.h"

#include <cmath>

using namespace FaceColours;

namespace MeterFace {
namespace {

// A tick mark along the ray at angle theta, from radius `outer` to `inner`.
// Theta is kept in single precision, as the tick loops count in it; the
// end points are worked out in double precision and drawn as singles.
void Tick(PictureBox& box, float theta, float from, float to)
{
    const double c = std::cos(double(theta));
    const double s = std::sin(double(theta));
    box.Line(float(from * c), float(from * s), float(to * c), float(to * s), Black);
}

void SectorAndHub(PictureBox& box)
{
    box.ForeColor(Grey);
    box.FillColor(White);
    box.FillStyle(PictureBox::FillSolid);
    // Both angles negative: a closed pie, filled white, outlined grey.
    box.Circle(0, 0, SectorRadius, Grey, -SectorFrom, -SectorTo);
    box.ForeColor(Grey);
    box.FillColor(Grey);
    box.Circle(0, 0, HubRadius, Grey);
}

void DrawSimple(PictureBox& box)
{
    box.DrawWidth(2);
    SectorAndHub(box);
    // End marks carry the scale 2.75 degrees past each end; the reference
    // mark sits on the sixth tick from the right.
    box.Circle(0, 0, 1020, Black, 2.5307253f, 2.5787218f);
    box.Circle(0, 0, 1020, Black, 0.5628682f, 0.6108647f);
    box.Circle(0, 0, 1020, Black, 1.7957787f, 1.8257765f);
    box.DrawWidth(2);
    const float step = 0.2399826f;  // an eighth of the span, 13.75 degrees
    // The angle is summed in single precision on purpose: the rounding of the
    // sum decides whether the last tick still fits, as on the meter's own face.
    // NOLINTNEXTLINE(clang-analyzer-security.FloatLoopCounter)
    for (float theta = TickFrom; theta <= TickUntil; theta = theta + step)
        Tick(box, theta, 1020, 1050);
}

void DrawTrad(PictureBox& box)
{
    box.DrawWidth(1);
    SectorAndHub(box);
    box.DrawWidth(1);
    // Base arc over the whole scale, outer arc broken between 101 and 106.5 degrees.
    box.Circle(0, 0, 1020, Black, ScaleRightEnd, ScaleLeftEnd);
    box.Circle(0, 0, 1070, Black, ScaleRightEnd, 1.7627811f);
    box.Circle(0, 0, 1070, Black, 1.8587741f, ScaleLeftEnd);
    // A twentieth of the span, 5.5 degrees: long ticks on even counts reach
    // down to the base arc, short ones stop halfway.
    const float step = 0.0959930f;
    int16_t k = 0;
    // Summed in single precision like the SIMPLE face's ticks, for the same reason.
    // NOLINTNEXTLINE(clang-analyzer-security.FloatLoopCounter)
    for (float theta = TickFrom; theta <= TickUntil; theta = theta + step) {
        Tick(box, theta, 1070, (k % 2 != 0) ? 1040 : 1020);
        k = static_cast<int16_t>(k + 1);
    }
}

}  // namespace

void Draw(PictureBox& box, int32_t scaleType)
{
    box.Height(box.Width() / 3.0f);
    box.ScaleWidth(ScaleWidth);
    box.ScaleHeight(ScaleHeight);
    box.ScaleLeft(ScaleLeft);
    box.ScaleTop(ScaleTop);
    box.DrawWidth(1);
    box.BackColor(Grey);
    box.Cls();
    if (scaleType == Simple)
        DrawSimple(box);
    else if (scaleType == Trad)
        DrawTrad(box);
}

}  // namespace MeterFace
