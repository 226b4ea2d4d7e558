#include "shell/Icons.h"

#include <QPainter>
#include <QPainterPath>

namespace Icons {

QPixmap ExitPicture()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(128, 0, 0), 1));
    p.setBrush(QColor(220, 0, 0));
    p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
    p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(22, 22));
    p.drawLine(QPointF(22, 10), QPointF(10, 22));
    return pm;
}

QPixmap MeterPicture()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(128, 128, 128), 1));
    p.setBrush(QColor(128, 128, 128));
    p.drawRoundedRect(QRectF(0.5, 4.5, 31, 23), 3, 3);
    // White face: the top of a circle centred below the box.
    QPainterPath face;
    face.moveTo(16, 30);
    face.arcTo(QRectF(-6, 8, 44, 44), 40, 100);
    face.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(face);
    p.setPen(QPen(Qt::black, 1));
    for (int a = 50; a <= 130; a += 20) {
        const QLineF tick = QLineF::fromPolar(21, a).translated(16, 30);
        const QLineF inner = QLineF::fromPolar(18, a).translated(16, 30);
        p.drawLine(inner.p2(), tick.p2());
    }
    p.setPen(QPen(QColor(255, 0, 0), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QLineF::fromPolar(19, 70).translated(16, 30).p2(), QPointF(16, 30) + QPointF(2.5, -7));
    return pm;
}

QIcon AppIcon()
{
    return QIcon(MeterPicture());
}

}  // namespace Icons
