#pragma once
// Looking at the meter face as a user would: colours at places given in face
// units (x across, y up, pivot at the origin) or as an angle in degrees from
// the positive x axis and a radius.
#include "face/PictureBox.h"

#include <QImage>
#include <QList>
#include <QPoint>
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

class Face {
public:
    explicit Face(const PictureBox& box) : m_box(box), m_image(box.Image()) {}

    const QImage& Image() const { return m_image; }
    qreal Ratio() const { return m_image.devicePixelRatio(); }

    QPoint Pixel(double x, double y) const
    {
        const QPointF p = m_box.ToPixel(float(x), float(y));
        return {int(std::floor(p.x())), int(std::floor(p.y()))};
    }
    static double X(double degrees, double radius) { return radius * std::cos(degrees * M_PI / 180); }
    static double Y(double degrees, double radius) { return radius * std::sin(degrees * M_PI / 180); }
    QPoint Polar(double degrees, double radius) const { return Pixel(X(degrees, radius), Y(degrees, radius)); }

    // Outside the box: a colour none of the tests above accept.
    static constexpr QRgb Outside = 0x00FF00FF;
    bool Inside(QPoint p) const { return m_image.valid(p); }
    QRgb At(QPoint p) const { return m_image.valid(p) ? m_image.pixel(p) : Outside; }
    QRgb At(double x, double y) const { return At(Pixel(x, y)); }
    QRgb AtPolar(double degrees, double radius) const { return At(Polar(degrees, radius)); }

    // Some / every pixel within `reach` device pixels of p passes.
    bool AnyNear(QPoint p, int reach, const Test& test) const
    {
        for (int dy = -reach; dy <= reach; ++dy)
            for (int dx = -reach; dx <= reach; ++dx)
                if (m_image.valid(p + QPoint(dx, dy)) && test(m_image.pixel(p + QPoint(dx, dy))))
                    return true;
        return false;
    }
    bool AllNear(QPoint p, int reach, const Test& test) const
    {
        return !AnyNear(p, reach, [&](QRgb c) { return !test(c); });
    }

    // Whether anything passing `test` lies on the ray at `degrees` between
    // two radii.
    bool OnRay(double degrees, double from, double to, const Test& test) const
    {
        for (double r = from; r <= to; r += 0.5) {
            const QPoint p = Polar(degrees, r);
            if (Inside(p) && test(At(p)))
                return true;
        }
        return false;
    }

    // The marks crossing the band between two radii, swept from one angle to
    // another: the centre angle of each run of rays that meet a pixel passing
    // `test`.
    QList<double> MarksInBand(double fromDeg, double toDeg, double innerR, double outerR, const Test& test) const
    {
        QList<double> centres;
        const double step = 0.02;
        double runStart = 0;
        bool inRun = false;
        for (double a = fromDeg; a <= toDeg + 1e-9; a += step) {
            const bool hit = OnRay(a, innerR, outerR, test);
            if (hit && !inRun)
                runStart = a;
            if (!hit && inRun)
                centres << (runStart + a - step) / 2;
            inRun = hit;
        }
        if (inRun)
            centres << (runStart + toDeg) / 2;
        return centres;
    }

    // Number of device pixels in the image passing `test`.
    int Count(const Test& test) const
    {
        int n = 0;
        for (int y = 0; y < m_image.height(); ++y)
            for (int x = 0; x < m_image.width(); ++x)
                n += test(m_image.pixel(x, y)) ? 1 : 0;
        return n;
    }

    // The red needle stands at `phi` degrees from upright (positive to the
    // right), from radius 500 to 1000 about the pivot: red all along its
    // visible part, nothing red past its tip, no red pixel anywhere else.
    bool NeedleStandsAt(double phi, QString* why = nullptr) const
    {
        auto fail = [&](const QString& text) {
            if (why)
                *why = text;
            return false;
        };
        const double a = 90 - phi;
        int checked = 0;
        for (double r = 505; r <= 995; r += 10) {
            if (Y(a, r) < 486)
                continue;  // below the box
            ++checked;
            if (!IsRed(AtPolar(a, r)))
                return fail(QString("no red at radius %1").arg(r));
        }
        if (checked == 0)
            return fail("needle not in view");
        if (AnyNear(Polar(a, 1012), 0, IsRed))
            return fail("red past the tip");
        // Every red pixel lies on the needle: within its half-width (and a
        // pixel of rounding) of the line from radius 500 to 1000.
        const QPointF p1 = m_box.ToPixel(float(X(a, 500)), float(Y(a, 500)));
        const QPointF p2 = m_box.ToPixel(float(X(a, 1000)), float(Y(a, 1000)));
        const QPointF d = p2 - p1;
        const double len2 = QPointF::dotProduct(d, d);
        const double reach = 1.5 * Ratio() + 1.5;
        for (int y = 0; y < m_image.height(); ++y)
            for (int x = 0; x < m_image.width(); ++x) {
                if (!IsRed(m_image.pixel(x, y)))
                    continue;
                const QPointF c(x + 0.5, y + 0.5);
                const double t = std::clamp(QPointF::dotProduct(c - p1, d) / len2, 0.0, 1.0);
                const QPointF off = c - (p1 + t * d);
                if (std::hypot(off.x(), off.y()) > reach)
                    return fail(QString("stray red pixel at %1,%2").arg(x).arg(y));
            }
        return true;
    }

private:
    const PictureBox& m_box;
    QImage m_image;
};

}  // namespace FacePixels
