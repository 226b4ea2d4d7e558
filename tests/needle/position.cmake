# Needle position and the stop buttons.
qz_add_test(tst_needle_geometry tst_needle_geometry.cpp)
qz_add_test(tst_stop_buttons tst_stop_buttons.cpp NeedleRig.h)
target_include_directories(tst_stop_buttons PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../face)
