// bench_face: how long the meter face and one needle move take to draw.
//
//   bench_face [repetitions]
//
// Times Draw_Panel for each face style and Update_Needle over the positions a
// sweep visits, drawing into the panel's image; then the same needle moves
// with the window shown and every move painted to the screen. Prints median,
// mean and worst time per call. Runs offscreen unless a platform is given.
#include "face/PictureBox.h"
#include "shell/Clock.h"
#include "shell/Platform.h"
#include "shell/frmMain.h"
#include "shell/qzGlobals.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <algorithm>
#include <functional>
#include <numeric>
#include <vector>

namespace {

struct Stats {
    double median, mean, worst;  // microseconds
};

Stats Measure(int repetitions, const std::function<void(int)>& work)
{
    std::vector<double> us;
    us.reserve(repetitions);
    QElapsedTimer t;
    for (int i = 0; i < repetitions; ++i) {
        t.start();
        work(i);
        us.push_back(t.nsecsElapsed() / 1000.0);
    }
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], std::accumulate(us.begin(), us.end(), 0.0) / us.size(), us.back()};
}

void Print(QTextStream& out, const QString& what, const Stats& s)
{
    out << qSetFieldWidth(44) << Qt::left << what << qSetFieldWidth(0) << Qt::right
        << QString("median %1 us   mean %2 us   worst %3 us")
               .arg(s.median, 8, 'f', 1)
               .arg(s.mean, 8, 'f', 1)
               .arg(s.worst, 8, 'f', 1)
        << "\n";
}

// The positions of one sweep at the slider's start value, up then down.
std::vector<int16_t> SweepPositions()
{
    std::vector<int16_t> p;
    for (int k = 0; k <= 4095; k += 54)
        p.push_back(int16_t(k));
    for (int k = 0; k <= 4095; k += 54)
        p.push_back(int16_t(4095 - k));
    return p;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, atoi(argv[1])) : 500;
    QTextStream out(stdout);

    // Drawing needs neither the serial port nor message boxes.
    MonotonicClock clock;
    Platform platform;
    platform.clock = &clock;
    frmMain form(platform);
    qzGlobals::ScaleType = 0;
    form.Draw_Panel();  // warm up; also gives the panel its height
    out << "panel " << form.picMeterPanel->width() << " x " << form.picMeterPanel->height()
        << " pixels at pixel ratio " << form.picMeterPanel->devicePixelRatioF() << ", " << repetitions
        << " repetitions\n";
    Print(out, "Draw_Panel, TRAD", Measure(repetitions, [&](int) { form.Draw_Panel(); }));
    qzGlobals::ScaleType = 1;
    Print(out, "Draw_Panel, SIMPLE", Measure(repetitions, [&](int) { form.Draw_Panel(); }));

    const std::vector<int16_t> sweep = SweepPositions();
    const int moves = repetitions * 4;
    Print(out, "Update_Needle", Measure(moves, [&](int i) { form.Update_Needle(sweep[i % sweep.size()]); }));

    form.show();
    QApplication::processEvents();
    Print(out, "Update_Needle + painting the window",
          Measure(moves, [&](int i) {
              form.Update_Needle(sweep[i % sweep.size()]);
              form.picMeterPanel->repaint();
          }));
    Print(out, "Draw_Panel + painting the window", Measure(repetitions, [&](int) {
              form.Draw_Panel();
              form.picMeterPanel->repaint();
          }));
    return 0;
}
