kavro_engine_test(test_run test_run.cpp)
