#pragma once
// picMeterPanel: the drawing surface of the meter face. It offers the classic
// picture-box operations that the face and the needle are drawn with, in a
// user coordinate system of the program's choosing, and keeps everything drawn
// on it in an image so that it repaints itself whenever it is uncovered.
//
// Units. Width and Height are layout units (twips, 15 to a pixel). Everything
// else takes user units as set by ScaleLeft/ScaleTop/ScaleWidth/ScaleHeight:
// x = ScaleLeft at the left inner edge, ScaleLeft + ScaleWidth at the right
// one; y = ScaleTop at the top, ScaleTop + ScaleHeight at the bottom (so a
// negative ScaleHeight makes y grow upwards). Until a scale is set, the user
// units are twips with the origin at the top-left corner. DrawWidth is in
// pixels.
//
// Rendering. The image is kept at the screen's device pixel ratio, so lines
// stay sharp on high-density screens. Nothing is anti-aliased: a line drawn
// again in another colour covers exactly the pixels of the first, which is
// how the needle is erased. When the ratio changes (the window moved to a
// screen of another scale, or the screen's scale changed) the old pixels
// cannot simply be copied: the box starts again blank in BackColor at the new
// ratio and emits Rescaled(), and its owner draws the picture anew.
#include <QColor>
#include <QImage>
#include <QPointF>
#include <QWidget>
#include <cstdint>

class QPainter;
class QPainterPath;

class PictureBox : public QWidget {
    Q_OBJECT
public:
    static constexpr int TwipsPerPixel = 15;
    // FillStyle values.
    static constexpr int16_t FillSolid = 0;
    static constexpr int16_t FillTransparent = 1;

    explicit PictureBox(QWidget* parent = nullptr);

    // Outer size in twips. Writing the height keeps the top edge in place,
    // so the box grows or shrinks downwards; the drawing is kept.
    float Width() const;
    float Height() const;
    void Height(float twips);

    // The user coordinate system.
    float ScaleWidth() const { return UserScale().width; }
    float ScaleHeight() const { return UserScale().height; }
    float ScaleLeft() const { return UserScale().left; }
    float ScaleTop() const { return UserScale().top; }
    void ScaleWidth(float value);
    void ScaleHeight(float value);
    void ScaleLeft(float value);
    void ScaleTop(float value);

    // Drawing settings.
    int16_t DrawWidth() const { return m_drawWidth; }
    void DrawWidth(int16_t pixels) { m_drawWidth = pixels; }
    QColor BackColor() const { return m_backColor; }
    void BackColor(const QColor& colour) { m_backColor = colour; }
    QColor ForeColor() const { return m_foreColor; }
    void ForeColor(const QColor& colour) { m_foreColor = colour; }
    QColor FillColor() const { return m_fillColor; }
    void FillColor(const QColor& colour) { m_fillColor = colour; }
    int16_t FillStyle() const { return m_fillStyle; }
    void FillStyle(int16_t style) { m_fillStyle = style; }

    // Wipes the whole box in BackColor.
    void Cls();
    // A whole circle about (x, y): outlined in `colour`, filled with FillColor
    // unless FillStyle is transparent. The radius is measured along x.
    void Circle(float x, float y, float radius, const QColor& colour);
    // An arc from angle `start` counterclockwise to `end` (radians, from the
    // positive x axis). A negative angle stands for its absolute value and also
    // draws the radius to that end of the arc; with both negative the figure
    // is a closed sector, filled like a whole circle.
    void Circle(float x, float y, float radius, const QColor& colour, float start, float end);
    // A straight line in `colour`, DrawWidth pixels wide.
    void Line(float x1, float y1, float x2, float y2, const QColor& colour);

    // What the box shows, at device pixels (for checking and screenshots).
    QImage Image() const { return m_image; }
    // Where a point in user units lands in Image(), in device pixels.
    QPointF ToPixel(float x, float y) const;

signals:
    // The device pixel ratio changed and the drawing is gone: draw it again.
    void Rescaled();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Scale {
        float left, top, width, height;
    };
    Scale UserScale() const;
    void FixScale();  // switches from twips to a user scale of its own
    void EnsureImage();
    qreal PixelRatio() const;
    // Device pixels per user unit along x (and y, signed).
    double UnitsToPixelsX() const;
    double UnitsToPixelsY() const;
    void Paint(const QPainterPath& devicePath, const QColor& outline, bool filled);
    void BeginPainting(QPainter& painter, const QColor& outline, bool filled) const;

    QImage m_image;
    bool m_userScale = false;
    Scale m_scale{0, 0, 0, 0};
    int16_t m_drawWidth = 1;
    QColor m_backColor{255, 255, 255};
    QColor m_foreColor{0, 0, 0};
    QColor m_fillColor{0, 0, 0};
    int16_t m_fillStyle = FillTransparent;
};
