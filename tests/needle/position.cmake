# Needle position and the stop buttons.
qz_add_test(tst_needle_position tst_needle_position.cpp NeedleRig.h)
target_include_directories(tst_needle_position PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../face)
