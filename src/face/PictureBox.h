#pragma once
// The drawing surface of the meter face (picMeterPanel): keeps what is drawn
// on it and repaints itself. Placeholder until the face is drawn for real.
#include <QWidget>

class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr) : QWidget(parent) {}
};
