#include "face/PictureBox.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>

namespace {

constexpr double TwoPi = 6.283185307179586;

double Degrees(double radians) { return radians * 180.0 / 3.141592653589793; }

}  // namespace

PictureBox::PictureBox(QWidget* parent) : QWidget(parent)
{
    // The box paints every pixel of itself from its image.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

float PictureBox::Width() const { return static_cast<float>(width() * TwipsPerPixel); }

float PictureBox::Height() const { return static_cast<float>(height() * TwipsPerPixel); }

void PictureBox::Height(float twips)
{
    const int pixels = std::max(0, static_cast<int>(std::lround(twips / TwipsPerPixel)));
    // resize() keeps the top-left corner where it is.
    resize(width(), pixels);
    EnsureImage();
}

PictureBox::Scale PictureBox::UserScale() const
{
    if (m_userScale)
        return m_scale;
    return {0.0f, 0.0f, Width(), Height()};
}

void PictureBox::FixScale()
{
    if (!m_userScale) {
        m_scale = UserScale();
        m_userScale = true;
    }
}

void PictureBox::ScaleWidth(float value)
{
    FixScale();
    m_scale.width = value;
}

void PictureBox::ScaleHeight(float value)
{
    FixScale();
    m_scale.height = value;
}

void PictureBox::ScaleLeft(float value)
{
    FixScale();
    m_scale.left = value;
}

void PictureBox::ScaleTop(float value)
{
    FixScale();
    m_scale.top = value;
}

qreal PictureBox::PixelRatio() const { return devicePixelRatioF(); }

void PictureBox::EnsureImage()
{
    const qreal ratio = PixelRatio();
    const QSize wanted(static_cast<int>(std::lround(width() * ratio)), static_cast<int>(std::lround(height() * ratio)));
    if (m_image.size() == wanted && m_image.devicePixelRatio() == ratio)
        return;
    QImage image(wanted, QImage::Format_RGB32);
    image.fill(m_backColor);
    image.setDevicePixelRatio(ratio);
    const bool rescaled = !m_image.isNull() && m_image.devicePixelRatio() != ratio;
    if (!m_image.isNull() && !rescaled) {
        // Same scale, new size: keep what is drawn; new area shows the background colour.
        QImage old = m_image;
        old.setDevicePixelRatio(1.0);  // copy pixel for pixel
        QPainter painter(&image);
        painter.drawImage(QPoint(0, 0), old);
    }
    m_image = image;
    if (rescaled) {
        // Pixels of another size would come out shrunk or blown up, and a
        // needle erased later at the new scale would leave its old trace.
        update();
        emit Rescaled();
    }
}

double PictureBox::UnitsToPixelsX() const
{
    const Scale s = UserScale();
    return s.width == 0 ? 0.0 : width() * PixelRatio() / s.width;
}

double PictureBox::UnitsToPixelsY() const
{
    const Scale s = UserScale();
    return s.height == 0 ? 0.0 : height() * PixelRatio() / s.height;
}

QPointF PictureBox::ToPixel(float x, float y) const
{
    const Scale s = UserScale();
    return {(double(x) - s.left) * UnitsToPixelsX(), (double(y) - s.top) * UnitsToPixelsY()};
}

void PictureBox::Cls()
{
    EnsureImage();
    m_image.fill(m_backColor);
    update();
}

void PictureBox::BeginPainting(QPainter& painter, const QColor& outline, bool filled) const
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(outline);
    pen.setWidthF(std::max<int>(1, m_drawWidth) * PixelRatio());
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(filled ? QBrush(m_fillColor) : QBrush(Qt::NoBrush));
}

void PictureBox::Paint(const QPainterPath& devicePath, const QColor& outline, bool filled)
{
    EnsureImage();
    QPainter painter(&m_image);
    // The path is in device pixels already.
    painter.resetTransform();
    painter.scale(1.0 / PixelRatio(), 1.0 / PixelRatio());
    BeginPainting(painter, outline, filled);
    painter.drawPath(devicePath);
    painter.end();
    update();
}

void PictureBox::Circle(float x, float y, float radius, const QColor& colour)
{
    const QPointF centre = ToPixel(x, y);
    const double r = std::abs(radius * UnitsToPixelsX());
    QPainterPath path;
    path.addEllipse(centre, r, r);
    Paint(path, colour, m_fillStyle == FillSolid);
}

void PictureBox::Circle(float x, float y, float radius, const QColor& colour, float start, float end)
{
    const bool radiusAtStart = start < 0;
    const bool radiusAtEnd = end < 0;
    const double from = std::abs(double(start));
    const double to = std::abs(double(end));
    double span = to - from;
    if (span < 0)
        span += TwoPi;

    const QPointF centre = ToPixel(x, y);
    const double r = std::abs(radius * UnitsToPixelsX());
    const QRectF bounds(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
    // Angles run counterclockwise in user units. QPainterPath measures them
    // counterclockwise on the screen (y down), which is the same turn when the
    // user's y grows upwards and the opposite one otherwise.
    const double turn = UnitsToPixelsY() < 0 ? 1.0 : -1.0;
    const double startDeg = turn * Degrees(from);
    const double sweepDeg = turn * Degrees(span);

    QPainterPath path;
    if (radiusAtStart) {
        path.moveTo(centre);
        path.arcTo(bounds, startDeg, sweepDeg);  // joins the centre to the arc
    } else {
        path.arcMoveTo(bounds, startDeg);
        path.arcTo(bounds, startDeg, sweepDeg);
    }
    if (radiusAtEnd)
        path.lineTo(centre);
    const bool sector = radiusAtStart && radiusAtEnd;
    if (sector)
        path.closeSubpath();
    Paint(path, colour, sector && m_fillStyle == FillSolid);
}

void PictureBox::Line(float x1, float y1, float x2, float y2, const QColor& colour)
{
    QPainterPath path(ToPixel(x1, y1));
    path.lineTo(ToPixel(x2, y2));
    Paint(path, colour, false);
}

bool PictureBox::event(QEvent* event)
{
    // Moved to a screen of another scale, or the scale changed: redraw now,
    // before the next paint shows anything.
    if (event->type() == QEvent::ScreenChangeInternal)
        EnsureImage();
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    if (event->type() == QEvent::DevicePixelRatioChange)
        EnsureImage();
#endif
    return QWidget::event(event);
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    // A change of scale that came without its own notice shows here first.
    EnsureImage();
    QPainter painter(this);
    if (m_image.isNull()) {
        painter.fillRect(event->rect(), m_backColor);
        return;
    }
    painter.drawImage(QRectF(rect()), m_image);
}

void PictureBox::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    EnsureImage();
}
