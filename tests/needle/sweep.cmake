# Sweep, cycle and calibration.
qz_add_test(tst_sweep tst_sweep.cpp FrameScript.h DirectConnection.h)
qz_add_test(tst_cycle tst_cycle.cpp DirectConnection.h)
qz_add_test(tst_calibration tst_calibration.cpp DirectConnection.h)
