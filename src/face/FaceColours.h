#pragma once
// The colours of the meter face and its needle.
#include <QColor>

namespace FaceColours {

inline const QColor Grey{128, 128, 128};   // box background, sector outline, hub
inline const QColor White{255, 255, 255};  // the face itself; also erases the needle
inline const QColor Black{0, 0, 0};        // arcs and ticks of the scale
inline const QColor Red{255, 0, 0};        // the needle

}  // namespace FaceColours
