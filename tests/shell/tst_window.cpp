// The main window as a technician first sees it.
#include "TestRig.h"

#include "face/PictureBox.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

class TestWindow : public QObject {
    Q_OBJECT

    static QRect Twips(int l, int t, int w, int h) { return {l / 15, t / 15, w / 15, h / 15}; }

private slots:
    void controlsAtStart()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));

        QCOMPARE(f.windowTitle(), QString("driftmark Ruvude Zivo"));
        for (QPushButton* b : {f.cmdLeft, f.cmdSweep, f.cmdRight})
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
        QVERIFY(f.cmdConnect->isEnabled());
        QVERIFY(f.cmdCycle->isEnabled());
        QVERIFY(f.cmdExit->isEnabled());
        QCOMPARE(f.cmdLeft->text(), QString("LEFT"));
        QCOMPARE(f.cmdSweep->text(), QString("SWEEP"));
        QCOMPARE(f.cmdRight->text(), QString("RIGHT"));
        QCOMPARE(f.cmdConnect->text(), QString("Connect"));
        QCOMPARE(f.cmdCycle->text(), QString("CYCLE"));
        QCOMPARE(f.cmdExit->text(), QString("Exit"));
        QCOMPARE(f.cmdExit->toolTip(), QString("Quit VA3"));
        QVERIFY(!f.cmdExit->icon().isNull());

        QVERIFY(f.Label1->isVisible());
        QCOMPARE(f.Label1->text(), QString("Sweep Speed"));
        for (QLabel* l : {f.lblInfo, f.lblSerialNum, f.lblHard, f.lblFw, f.lblFirm, f.lblTitle})
            QVERIFY2(!l->isVisible(), qPrintable(l->objectName()));
        QCOMPARE(f.lblSerialNum->text(), QString("Meter Serial Number:"));
        QCOMPARE(f.lblFw->text(), QString("Firmware Version:"));
        QCOMPARE(f.lblHard->text(), QString("QZ"));
        QCOMPARE(f.lblFirm->text(), QString("x.xx"));
        QCOMPARE(f.lblTitle->text(), QString("Searching for meter"));
        QCOMPARE(f.lblInfo->text(), QString("Info"));

        QCOMPARE(f.Frame1->title(), QString("Scale Type"));
        QCOMPARE(f.Frame2->title(), QString("Calibration"));
        QCOMPARE(f.optTrad->parentWidget(), f.Frame1);
        QCOMPARE(f.optSimple->parentWidget(), f.Frame1);
        QCOMPARE(f.optLIN->parentWidget(), f.Frame2);
        QCOMPARE(f.optLUT->parentWidget(), f.Frame2);
        QCOMPARE(f.optLIN->text(), QString("OFF"));
        QCOMPARE(f.optLUT->text(), QString("ON"));
        // Start-up selects OFF and TRAD.
        QVERIFY(f.optLIN->isChecked() && !f.optLUT->isChecked());
        QVERIFY(f.optTrad->isChecked() && !f.optSimple->isChecked());

        QCOMPARE(f.SldSpeed->value(), 54);
        QCOMPARE(f.SldSpeed->minimum(), 8);
        QCOMPARE(f.SldSpeed->maximum(), 100);
        QCOMPARE(f.SldSpeed->singleStep(), 1);
        QCOMPARE(f.SldSpeed->pageStep(), 5);
        QCOMPARE(f.SldSpeed->tickInterval(), 1);
        QVERIFY(f.SldSpeed->tickPosition() != QSlider::NoTicks);

        // Starting the program sends nothing to any port.
        QVERIFY(rig.comm.Frames().isEmpty());
        QCOMPARE(rig.comm.DroppedWrites(), 0);
    }

    void geometryInTwips()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        QCOMPARE(f.centralWidget()->size(), QSize(777, 434));
        QCOMPARE(f.cmdLeft->geometry(), Twips(720, 240, 1095, 375));
        QCOMPARE(f.cmdSweep->geometry(), Twips(2040, 240, 1095, 375));
        QCOMPARE(f.cmdRight->geometry(), Twips(3360, 240, 1095, 375));
        QCOMPARE(f.SldSpeed->geometry(), Twips(240, 780, 4575, 315));
        QCOMPARE(f.Frame1->geometry(), Twips(6840, 120, 1455, 1215));
        QCOMPARE(f.optSimple->geometry(), Twips(120, 720, 1215, 300));
        QCOMPARE(f.Frame2->geometry(), Twips(8760, 120, 1455, 1215));
        QCOMPARE(f.optLUT->geometry(), Twips(240, 720, 855, 300));
        QCOMPARE(f.cmdConnect->geometry(), Twips(2040, 6000, 2655, 375));
        QCOMPARE(f.cmdCycle->geometry(), Twips(6720, 5160, 1455, 1215));
        QCOMPARE(f.cmdExit->geometry(), Twips(9000, 5400, 855, 855));
        QCOMPARE(f.lblTitle->geometry(), Twips(1320, 5400, 4215, 495));
        QCOMPARE(f.picMeterPanel->x(), 480 / 15);
        QCOMPARE(f.picMeterPanel->y(), 1440 / 15);
        QCOMPARE(f.picMeterPanel->width(), 667);  // 10002 twips
    }

    void fixedBorder()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        const Qt::WindowFlags flags = f.windowFlags();
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QCOMPARE(f.minimumSize(), f.maximumSize());
        const QSize before = f.size();
        f.resize(before + QSize(200, 100));
        QCOMPARE(f.size(), before);
    }

    void fontsAndTabOrder()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        QCOMPARE(f.font().family(), QString("MS Sans Serif"));
        QCOMPARE(f.font().pointSizeF(), 12.0);
        QVERIFY(f.optTrad->font().bold());
        QCOMPARE(f.optTrad->font().pointSizeF(), 9.75);
        QCOMPARE(f.lblInfo->font().family(), QString("Arial"));
        QVERIFY(f.cmdCycle->font().bold());
        QCOMPARE(f.cmdExit->font().pointSizeF(), 8.25);
        // The substitute actually used is a real sans-serif face, not a fallback to nothing.
        QVERIFY(!QFontInfo(f.font()).family().isEmpty());

        // Within an option group the Tab key stops at the selected button only.
        const QList<QWidget*> expected{f.cmdExit, f.cmdConnect, f.SldSpeed, f.cmdSweep, f.cmdLeft,
                                       f.cmdRight, f.picMeterPanel, f.cmdCycle, f.optLIN, f.optTrad};
        // Walk the window with the Tab key, as a keyboard user would (with
        // the needle buttons enabled, as they are once a meter is connected).
        for (QWidget* w : {static_cast<QWidget*>(f.cmdLeft), static_cast<QWidget*>(f.cmdSweep),
                           static_cast<QWidget*>(f.cmdRight)})
            w->setEnabled(true);
        f.show();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        f.cmdExit->setFocus();
        QList<QWidget*> visited{QApplication::focusWidget()};
        for (int i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget();
        }
        QCOMPARE(visited, expected);
    }

    void menus()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        QStringList shown;
        for (QAction* a : f.menuBar()->actions())
            if (a->isVisible())
                shown << a->text();
        QCOMPARE(shown, (QStringList{"&File", "&Port", "&Help"}));
        QVERIFY(!f.mnuTools->menuAction()->isVisible());
        QVERIFY(!f.mnuTools->menuAction()->isEnabled());
        QCOMPARE(f.mnuDeviceInfo->text(), QString("Device Info"));
        QCOMPARE(f.mnuExit->text(), QString("E&xit"));
        QCOMPARE(f.mnuhelpAbout->text(), QString("&About"));
        QVERIFY(f.mnuhelpAbout->isVisible() && f.mnuhelpAbout->isEnabled());
        QVERIFY(!f.mnuHelpHelp->isVisible());
        QVERIFY(!f.mnuHelpHelp->isEnabled());
        QCOMPARE(f.mnuSourcePortComm[0]->text(), QString("None"));
        QCOMPARE(f.mnuSourcePortComm.size(), size_t(17));
        for (QAction* a : f.mnuSourcePortComm) {
            QVERIFY(!a->isChecked());
            QVERIFY(!a->isEnabled());
            QVERIFY(a->shortcut().isEmpty());
        }
    }

    void optionGroupsAreIndependent()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTest::mouseClick(f.optSimple, Qt::LeftButton, {}, QPoint(6, f.optSimple->height() / 2));
        QVERIFY(f.optSimple->isChecked());
        QVERIFY(!f.optTrad->isChecked());
        QVERIFY(f.optLIN->isChecked());
        QTest::mouseClick(f.optLUT, Qt::LeftButton, {}, QPoint(6, f.optLUT->height() / 2));
        QVERIFY(f.optLUT->isChecked());
        QVERIFY(!f.optLIN->isChecked());
        QVERIFY(f.optSimple->isChecked());
    }

    void sliderStaysInRange()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        f.SldSpeed->setValue(3);
        QCOMPARE(f.SldSpeed->value(), 8);
        f.SldSpeed->setValue(250);
        QCOMPARE(f.SldSpeed->value(), 100);
        f.SldSpeed->setEnabled(true);
        f.SldSpeed->setFocus();
        f.SldSpeed->setValue(99);
        QTest::keyClick(f.SldSpeed, Qt::Key_PageUp);
        QCOMPARE(f.SldSpeed->value(), 100);
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
