// The ways out of the program: Exit, File/Exit, the close box, and Exit after the About window.
#include "TestRig.h"

#include <QApplication>

using Port = MemoryCommControl::PortState;

class TestExit : public QObject {
    Q_OBJECT
private slots:
    void exitPaths_data()
    {
        QTest::addColumn<int>("path");
        QTest::addColumn<bool>("portOpen");
        for (bool open : {true, false}) {
            QTest::addRow("button, port %s", open ? "open" : "closed") << 0 << open;
            QTest::addRow("menu, port %s", open ? "open" : "closed") << 1 << open;
            QTest::addRow("close box, port %s", open ? "open" : "closed") << 2 << open;
        }
        QTest::addRow("button after the About window") << 3 << true;
    }
    void exitPaths()
    {
        QFETCH(int, path);
        QFETCH(bool, portOpen);
        TestRig rig;
        frmMain& f = rig.Make();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        rig.comm.SetPort(2, Port::Available);
        QVERIFY(rig.comm.setCommPort(2));
        if (portOpen)
            QVERIFY(rig.comm.setPortOpen(true));
        QString about;
        QTimer::singleShot(20, &f, [&] {
            if (path == 3) {  // Help/About, closed with its OK button
                QTimer::singleShot(0, &f, [&] {
                    QWidget* w = QApplication::activeModalWidget();
                    about = w ? w->windowTitle() : "no modal window";
                    if (auto* ok = w ? w->findChild<QPushButton*>("cmdOK") : nullptr)
                        ok->click();
                });
                f.mnuhelpAbout->trigger();  // returns when the window has closed
            }
            if (path == 0 || path == 3)
                QTest::mouseClick(f.cmdExit, Qt::LeftButton);
            else if (path == 1)
                f.mnuExit->trigger();
            else
                f.close();
        });
        f.Form_Activate();  // the main loop returns only once the program is to end
        QCOMPARE(about, path == 3 ? QString("About qz Ruvude Zivo") : QString());
        QVERIFY(qzGlobals::QuitRequested);
        QVERIFY(!rig.comm.PortOpen());
        QCOMPARE(rig.comm.Frames().join(), portOpen ? QByteArray("\x52\x0D\x55\x0D", 4) : QByteArray());
        QCOMPARE(rig.comm.DroppedWrites(), 0);
    }
};

QTEST_MAIN(TestExit)
#include "tst_exit.moc"
