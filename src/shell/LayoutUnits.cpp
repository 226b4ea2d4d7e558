#include "shell/LayoutUnits.h"

#include <QStringList>
#include <QWidget>
#include <cmath>

namespace LayoutUnits {

int Px(int twips)
{
    return static_cast<int>(std::lround(twips / double(TwipsPerPixel)));
}

void Place(QWidget* w, int left, int top, int width, int height)
{
    w->setGeometry(Px(left), Px(top), Px(width), Px(height));
}

void InstallFontSubstitutes()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const QStringList sans{"Liberation Sans", "Arimo", "DejaVu Sans", "Sans Serif"};
    QFont::insertSubstitutions("MS Sans Serif", sans);
    QFont::insertSubstitutions("Arial", sans);
}

namespace {
QFont Font(const char* family, double points, bool bold)
{
    QFont f(family);
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setStyleHint(QFont::SansSerif);
    return f;
}
}  // namespace

QFont SansFont(double points, bool bold)
{
    return Font("MS Sans Serif", points, bold);
}

QFont ArialFont(double points, bool bold)
{
    return Font("Arial", points, bold);
}

}  // namespace LayoutUnits
