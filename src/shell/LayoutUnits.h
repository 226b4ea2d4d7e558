#pragma once
// Window layout in twips (1440 to the inch, 15 to a device-independent pixel)
// and the classic fonts with their substitutes.
#include <QFont>

class QWidget;

namespace LayoutUnits {

constexpr int TwipsPerPixel = 15;

int Px(int twips);
// Places a control by its left, top, width and height in twips.
void Place(QWidget* w, int left, int top, int width, int height);
// "MS Sans Serif" and "Arial" are rarely installed outside Windows: maps them
// to a close sans-serif face (Liberation Sans is metric-compatible with Arial).
void InstallFontSubstitutes();
QFont SansFont(double points, bool bold);   // "MS Sans Serif"
QFont ArialFont(double points, bool bold);  // "Arial"

}  // namespace LayoutUnits
