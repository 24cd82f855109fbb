# The projection library itself, over the real PROJ.
kavro_program_test(test_porvex test_porvex.cpp)
target_link_libraries(test_porvex PRIVATE porvex)
