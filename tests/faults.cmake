kavro_engine_test(test_faults test_faults.cpp)
