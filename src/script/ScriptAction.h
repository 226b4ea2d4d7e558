#pragma once
// One line of a script: something a person does in the window (a button, an
// option, the slider, waiting, reading the meter's identity off the window,
// answering a question about what the needle does), with the line it was
// written on.
#include <QString>

struct ScriptAction {
    enum class Kind {
        Connect,  // `seconds` >= 0: connect within that many seconds
        Disconnect,
        Left,
        Right,
        Sweep,
        Cycle,  // pressed `number` times
        CalibrationOn,
        CalibrationOff,
        ScaleTrad,
        ScaleSimple,
        Speed,  // the slider moved to `number`
        Wait,   // `seconds` with nothing pressed
        ExpectSerial,
        ExpectFirmware,
        Ask,  // `question` for the operator; `seconds` >= 0: answered within that many seconds
        Exit,
    };

    Kind kind = Kind::Exit;
    int line = 0;         // 1 for the script's first line
    double seconds = -1;  // Wait, Connect within, Ask within; -1 for a plain Connect or Ask
    int number = 1;       // Cycle presses, Speed value
    QString pattern;      // ExpectSerial, ExpectFirmware
    QString question;     // Ask: as written, spacing and case kept

    // The action as a script line in its plain form, e.g. "connect within 30",
    // "cycle 3", "expect firmware 1.0?".
    QString Text() const;
    // A number of seconds as a script writes it: "0.5", "30".
    static QString Decimal(double seconds);
};
