#pragma once
// A line trace into a file of the test's own, read back as far as it is
// written, or once every line queued for it has been (which ends the trace).
#include "link/LineTrace.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

struct TraceFile {
    QTemporaryDir dir;
    std::unique_ptr<LineTrace> trace;

    template <typename... More>
    explicit TraceFile(More&&... more)
        : trace(std::make_unique<LineTrace>(dir.filePath("trace"), std::forward<More>(more)...))
    {
    }
    LineTrace* get() const { return trace.get(); }
    QString Written() const
    {
        QFile file(dir.filePath("trace"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    QString Read()
    {
        trace.reset();
        return Written();
    }
};
