#pragma once
// A console that keeps what the program says on standard error.
#include "shell/Console.h"

#include <QStringList>

struct HeardConsole final : Console {
    QStringList lines;
    void Say(const QString& line) override { lines << line; }
};
