# KavroC: its command line read directly, and the built program run with the
# projection library's test double under the engine.
kavro_program_test(test_console test_console.cpp)
target_link_libraries(test_console PRIVATE kavroc_objects ${CMAKE_DL_LIBS})
add_dependencies(test_console KavroC Kavro porvex_double)
