#include "shell/Console.h"

#include "shell/WriteAll.h"

#include <cstdio>

void StandardError::Say(const QString& line)
{
    // Straight to the descriptor: one write per line, nothing kept back.
    if (!m_broken)
        m_broken = WriteAll(fileno(stderr), (line + '\n').toLocal8Bit()) != 0;
}
