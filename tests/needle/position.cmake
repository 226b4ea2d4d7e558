# Needle position and the stop buttons.
set(QZ_FACE_TEST_DIR ${CMAKE_CURRENT_SOURCE_DIR}/../face)

qz_add_test(tst_needle_geometry tst_needle_geometry.cpp)

qz_add_test(tst_needle_drawing tst_needle_drawing.cpp)
target_include_directories(tst_needle_drawing PRIVATE ${QZ_FACE_TEST_DIR})
# The same on a screen of twice the pixel density.
qz_add_test(tst_needle_drawing_hidpi tst_needle_drawing.cpp)
target_include_directories(tst_needle_drawing_hidpi PRIVATE ${QZ_FACE_TEST_DIR})
target_compile_definitions(tst_needle_drawing_hidpi PRIVATE QZ_SCALE_FACTOR="2")

qz_add_test(tst_stop_buttons tst_stop_buttons.cpp)
target_include_directories(tst_stop_buttons PRIVATE ${QZ_FACE_TEST_DIR})
