#pragma once
// Looking at the meter face as a user would: colours at places given in face
// units (pivot at the origin, y up) or by an angle in degrees from the
// positive x axis and a radius.
#include "face/PictureBox.h"

#include <QImage>
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
    int Count(const Test& test) const
    {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += test(image.pixel(x, y)) ? 1 : 0;
        return n;
    }
    // The centre angles of the marks crossing the band between two radii,
    // looked for from 15 to 165 degrees, well past both ends of the scale.
    QList<double> Marks(double inner, double outer) const
    {
        QList<double> centres;
        double start = 0;
        bool inMark = false;
        for (double a = 15; a <= 165; a += 0.02) {
            bool hit = false;
            for (double r = inner; r <= outer && !hit; r += 0.5)
                hit = IsBlack(At(Polar(a, r)));
            if (hit && !inMark)
                start = a;
            if (!hit && inMark)
                centres << (start + a - 0.02) / 2;
            inMark = hit;
        }
        return centres;
    }
    // Empty if the red needle stands at `phi` degrees from upright (positive
    // to the right) from radius 500 to 1000: red all along its visible part,
    // none past its tip, and no red pixel off it; otherwise what is wrong.
    QString NeedleError(double phi) const
    {
        const double a = 90 - phi;
        for (double r = 505; r <= 995; r += 10)
            if (r * std::sin(a * M_PI / 180) > 486 && !IsRed(At(Polar(a, r))))
                return QString("no red at radius %1").arg(r);
        if (IsRed(At(Polar(a, 1012))))
            return "red past the tip";
        const QPointF p1 = box.ToPixel(float(500 * std::cos(a * M_PI / 180)), float(500 * std::sin(a * M_PI / 180)));
        const QPointF d = box.ToPixel(float(1000 * std::cos(a * M_PI / 180)), float(1000 * std::sin(a * M_PI / 180))) - p1;
        const double reach = 1.5 * image.devicePixelRatio() + 1.5;  // half the width, and rounding
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QPointF c(x + 0.5, y + 0.5);
                const double t = std::clamp(QPointF::dotProduct(c - p1, d) / QPointF::dotProduct(d, d), 0.0, 1.0);
                const QPointF off = c - (p1 + t * d);
                if (IsRed(image.pixel(x, y)) && std::hypot(off.x(), off.y()) > reach)
                    return QString("stray red pixel at %1,%2").arg(x).arg(y);
            }
        return {};
    }
};

}  // namespace FacePixels
