#pragma once
// The baseline the program is measured against: the same sweep steps (draw,
// send, one tick, events), but the tick is a literal busy wait that reads the
// clock and handles events over and over until the tick is up, as a naive
// port of the meter utility would do it.
class frmMain;
class Clock;

namespace SpinSweep {

// Runs until form.StopSweep, QuitRequested or !form.Connected, like SWEEP.
void Run(frmMain& form, Clock& clock);

}  // namespace SpinSweep
