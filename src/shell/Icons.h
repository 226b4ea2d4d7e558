#pragma once
// The program's own pictures, drawn in code so that no image file can go missing.
#include <QIcon>
#include <QPixmap>

namespace Icons {
// 32 x 32: a red disc with a white cross, the Exit button's picture.
QPixmap ExitPicture();
// 32 x 32: a small analogue meter face with a red needle, the program's icon.
QPixmap MeterPicture();
QIcon AppIcon();
}  // namespace Icons
