# End-to-end tests over the meter simulator on a real pseudo-terminal
# (Linux only, like the simulator). Included from tests/link/CMakeLists.txt.
if(TARGET meter-sim)
  # The simulator on its own: no program code at all, only Qt Test and the
  # timing bounds.
  add_executable(tst_e2e_metersim tst_e2e_metersim.cpp e2e/MeterSim.h)
  target_include_directories(tst_e2e_metersim PRIVATE
    ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests/support)
  target_link_libraries(tst_e2e_metersim PRIVATE Qt6::Core Qt6::Test)
  target_compile_definitions(tst_e2e_metersim PRIVATE METER_SIM_PATH="$<TARGET_FILE:meter-sim>")
  add_dependencies(tst_e2e_metersim meter-sim)
  add_test(NAME tst_e2e_metersim COMMAND tst_e2e_metersim)
  set_tests_properties(tst_e2e_metersim PROPERTIES TIMEOUT 300)
endif()

# The program end to end: the main window on the production serial control,
# over the simulator's pseudo-terminals.
if(TARGET meter-sim AND COMMAND qz_add_test)
  qz_add_test(tst_e2e_connect tst_e2e_connect.cpp e2e/E2eRig.h e2e/MeterSim.h)
  target_include_directories(tst_e2e_connect PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(tst_e2e_connect PRIVATE METER_SIM_PATH="$<TARGET_FILE:meter-sim>")
  add_dependencies(tst_e2e_connect meter-sim)
endif()
