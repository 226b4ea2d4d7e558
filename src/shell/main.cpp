#include "shell/qzStartup.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("qz Ruvude Zivo");
    // The main loop decides when the program ends, not the last window.
    QApplication::setQuitOnLastWindowClosed(false);
    return qzStartup::Main();
}
