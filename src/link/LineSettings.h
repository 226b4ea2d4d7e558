#pragma once
// The comm control's settings string, "baud,parity,data,stop" (the meter
// uses "9600,n,8,1"), taken apart into QSerialPort terms.
#include <QSerialPort>
#include <QString>
#include <optional>

struct LineSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    // Empty when the text is not a valid settings string. Parity letters:
    // n(one), e(ven), o(dd), m(ark), s(pace), either case; data bits 5 to 8;
    // stop bits 1, 1.5 or 2.
    static std::optional<LineSettings> Parse(const QString& text);
};
