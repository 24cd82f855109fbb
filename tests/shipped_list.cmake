# The shipped projection list, checked with the engine's loader, the real
# projection library, PROJ's EPSG database and GDAL's ogrinfo.
find_package(PkgConfig REQUIRED)
pkg_check_modules(KAVRO_SHIPPED_PROJ REQUIRED IMPORTED_TARGET proj)
kavro_program_test(test_shipped_list test_shipped_list.cpp)
target_link_libraries(test_shipped_list PRIVATE kavro_objects porvex PkgConfig::KAVRO_SHIPPED_PROJ)
