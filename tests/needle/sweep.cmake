# Sweep, cycle and calibration.
qz_add_test(tst_sweep tst_sweep.cpp NeedleRig.h)

# SWEEP end to end over the meter simulator (Linux only, like the simulator).
if(TARGET meter-sim AND EXISTS ${PROJECT_SOURCE_DIR}/tests/link/e2e/E2eRig.h)
  qz_add_test(tst_e2e_sweep tst_e2e_sweep.cpp)
  target_include_directories(tst_e2e_sweep PRIVATE ${PROJECT_SOURCE_DIR}/tests/link)
  target_compile_definitions(tst_e2e_sweep PRIVATE METER_SIM_PATH="$<TARGET_FILE:meter-sim>")
  add_dependencies(tst_e2e_sweep meter-sim)
endif()
