# The program end to end over the meter simulator's pseudo-terminals (Linux
# only, like the simulator), with a few checks of the simulator itself.
# Included from tests/link/CMakeLists.txt.
if(TARGET meter-sim AND COMMAND qz_add_test)
  qz_add_test(tst_e2e_connect tst_e2e_connect.cpp LinkTest.h e2e/E2eRig.h e2e/MeterSim.h)
  target_include_directories(tst_e2e_connect PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(tst_e2e_connect PRIVATE METER_SIM_PATH="$<TARGET_FILE:meter-sim>")
  add_dependencies(tst_e2e_connect meter-sim)
endif()
