#pragma once
// Where the run's report goes: standard output behind a seam. An output that
// cannot be written (its reader gone, the disk full) is said once on the
// console and then left alone; it never ends the run.
#include <QByteArray>
#include <QString>

#include <utility>

class Console;

class TextOutput {
public:
    virtual ~TextOutput() = default;
    virtual void Write(const QByteArray& bytes) = 0;
};

// A file descriptor: everything handed over is written at once, whole.
class DescriptorOutput final : public TextOutput {
public:
    // `name` for the complaint ("standard output"), said on `complaints`.
    DescriptorOutput(int fd, QString name, Console& complaints)
        : m_fd(fd), m_name(std::move(name)), m_complaints(complaints)
    {
    }
    void Write(const QByteArray& bytes) override;

private:
    int m_fd;
    QString m_name;
    Console& m_complaints;
    bool m_broken = false;
};
