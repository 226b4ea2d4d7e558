// The main window as a technician first sees it, and the ways out of it: Exit,
// File/Exit, the close box, and Exit after the About window.
#include "TestRig.h"
#include "face/PictureBox.h"

#include <QApplication>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>

using Port = MemoryCommControl::PortState;

class TestWindow : public QObject {
    Q_OBJECT

    static QRect Twips(int l, int t, int w, int h) { return {l / 15, t / 15, w / 15, h / 15}; }

private slots:
    void atStart()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QCOMPARE(f.windowTitle(), QString("driftmark Ruvude Zivo"));
        // Needle buttons off, no label of the meter's shown, no port; start-up
        // selects OFF and TRAD, and sends nothing to any port.
        QCOMPARE(Shows(f), QString("Connect slider CYCLE |  | None | OFF TRAD"));
        QVERIFY(f.cmdExit->isEnabled() && f.Label1->isVisible());
        QCOMPARE(f.cmdExit->toolTip(), QString("Quit VA3"));
        QStringList captions;
        for (QAbstractButton* b : QList<QAbstractButton*>{f.cmdLeft, f.cmdSweep, f.cmdRight, f.optTrad, f.optSimple,
                                                          f.optLIN, f.optLUT, f.cmdCycle, f.cmdExit})
            captions << b->text();
        for (QLabel* l : {f.Label1, f.lblInfo, f.lblSerialNum, f.lblHard, f.lblFw, f.lblFirm, f.lblTitle})
            captions << l->text();
        QCOMPARE(captions.join('/'), QString("LEFT/SWEEP/RIGHT/TRAD/SIMPLE/OFF/ON/CYCLE/Exit/Sweep Speed/Info/"
                                             "Meter Serial Number:/QZ/Firmware Version:/x.xx/Searching for meter"));
        QCOMPARE(f.Frame1->title() + "/" + f.Frame2->title(), QString("Scale Type/Calibration"));
        QVERIFY(rig.comm.Events().empty());

        QCOMPARE(f.centralWidget()->size(), QSize(777, 434));
        QCOMPARE(f.minimumSize(), f.maximumSize());
        QVERIFY(!(f.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(f.cmdSweep->geometry(), Twips(2040, 240, 1095, 375));
        QCOMPARE(f.optSimple->geometry(), Twips(120, 720, 1215, 300));
        QCOMPARE(f.cmdExit->geometry(), Twips(9000, 5400, 855, 855));
        QCOMPARE(f.lblTitle->geometry(), Twips(1320, 5400, 4215, 495));
        // The face's box is a third as high as it is wide, and shows what was drawn on it.
        QCOMPARE(f.picMeterPanel->geometry(), QRect(32, 96, 667, 222));
        QCOMPARE(f.picMeterPanel->grab().toImage().convertToFormat(QImage::Format_RGB32), f.picMeterPanel->Image());

        QStringList shown;
        for (QAction* a : f.menuBar()->actions())
            if (a->isVisible())
                shown << a->text();
        QCOMPARE(shown, (QStringList{"&File", "&Port", "&Help"}));
        QVERIFY(!f.mnuHelpHelp->isVisible());
        // The menu bar in the desktop's menu font, like its menus; the controls in the window's 12 pt.
        QCOMPARE(f.menuBar()->font(), QApplication::font(f.menuBar()));
        QCOMPARE(f.mnuFile->font(), QApplication::font(f.mnuFile));
        QCOMPARE(f.cmdConnect->font().pointSizeF(), 12.0);
        QCOMPARE(f.Label1->font(), f.cmdConnect->font());

        // Each option group picks one; the slider's steps and bounds.
        QTest::mouseClick(f.optSimple, Qt::LeftButton, {}, QPoint(6, f.optSimple->height() / 2));
        QVERIFY(f.optSimple->isChecked() && !f.optTrad->isChecked() && f.optLIN->isChecked());
        QTest::mouseClick(f.optLUT, Qt::LeftButton, {}, QPoint(6, f.optLUT->height() / 2));
        QVERIFY(f.optLUT->isChecked() && !f.optLIN->isChecked() && f.optSimple->isChecked());

        QCOMPARE(f.SldSpeed->value(), 54);
        QTest::keyClick(f.SldSpeed, Qt::Key_Right);  // a small step is 1, a large one 5
        QTest::keyClick(f.SldSpeed, Qt::Key_PageUp);
        QCOMPARE(f.SldSpeed->value(), 60);
        f.SldSpeed->setValue(3);
        QCOMPARE(f.SldSpeed->value(), 8);
        f.SldSpeed->setValue(250);
        QCOMPARE(f.SldSpeed->value(), 100);
    }

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

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
