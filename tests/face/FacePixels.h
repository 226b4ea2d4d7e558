#pragma once
// Looking at the meter face as a user would: colours at places given in face
// units (pivot at the origin, y up) or by an angle in degrees from the
// positive x axis and a radius.
#include "face/PictureBox.h"

#include <QImage>
#include <QLineF>
#include <QList>
#include <QString>
#include <algorithm>
#include <cmath>
#include <functional>

namespace FacePixels {

using Test = std::function<bool(QRgb)>;
inline bool IsBlack(QRgb c) { return qRed(c) < 64 && qGreen(c) < 64 && qBlue(c) < 64; }
inline bool IsWhite(QRgb c) { return (c & 0xFFFFFF) == 0xFFFFFF; }
inline bool IsGrey(QRgb c) { return (c & 0xFFFFFF) == 0x808080; }
inline bool IsRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; }

// Pixels of a 32-bit image (one QRgb each, no padding) that pass `test`.
inline int Count(const QImage& image, const Test& test)
{
    const QRgb* px = reinterpret_cast<const QRgb*>(image.constBits());
    return int(std::count_if(px, px + image.width() * image.height(), test));
}

struct Face {
    explicit Face(const PictureBox& box) : box(box), image(box.Image()) {}
    const PictureBox& box;
    const QImage image;

    QPoint Pixel(double x, double y) const
    {
        const QPointF p = box.ToPixel(float(x), float(y));
        return {int(std::floor(p.x())), int(std::floor(p.y()))};
    }
    QPoint Polar(double deg, double r) const
    {
        return Pixel(r * std::cos(deg * M_PI / 180), r * std::sin(deg * M_PI / 180));
    }
    QRgb At(QPoint p) const { return image.valid(p) ? image.pixel(p) : 0x00FF00; }  // outside: green
    bool AnyNear(QPoint p, int reach, const Test& test) const
    {
        for (int dy = -reach; dy <= reach; ++dy)
            for (int dx = -reach; dx <= reach; ++dx)
                if (image.valid(p + QPoint(dx, dy)) && test(image.pixel(p + QPoint(dx, dy))))
                    return true;
        return false;
    }
    // Whether a black pixel lies within `reach` pixels of the ray at `deg`
    // between two radii.
    bool BlackOnRay(double deg, double from, double to, int reach) const
    {
        for (double r = from; r <= to; r += 0.5)
            if (AnyNear(Polar(deg, r), reach, IsBlack))
                return true;
        return false;
    }
    // Empty if the red needle stands at `phi` degrees from upright (positive
    // to the right) from radius 500 to 1000: red all along its visible part,
    // none past its tip, and no red pixel off it; otherwise what is wrong.
    QString NeedleError(double phi) const
    {
        const QPointF tip = Polar(90 - phi, 1000), foot = Polar(90 - phi, 500), d = tip - foot;
        for (double r = 505; r <= 995; r += 10)
            if (r * std::cos(phi * M_PI / 180) > 486 && !IsRed(At(Polar(90 - phi, r))))
                return QString("no red at radius %1").arg(r);
        if (IsRed(At(Polar(90 - phi, 1012))))
            return "red past the tip";
        const double reach = 1.5 * image.devicePixelRatio() + 2;  // half the width, and rounding
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QPointF c(x, y);
                const double t = std::clamp(QPointF::dotProduct(c - foot, d) / QPointF::dotProduct(d, d), 0.0, 1.0);
                if (IsRed(image.pixel(x, y)) && QLineF(c, foot + t * d).length() > reach)
                    return QString("stray red pixel at %1,%2").arg(x).arg(y);
            }
        return {};
    }
};

}  // namespace FacePixels
