# What an install puts beside the programs and libraries: the shipped
# projection list, the pkg-config file and the CMake package. Included by the
# top-level CMakeLists.txt after the targets are defined.
include(CMakePackageConfigHelpers)

install(FILES ${PROJECT_SOURCE_DIR}/data/projections.lst
  DESTINATION ${CMAKE_INSTALL_DATADIR}/kavro)

# The pkg-config file finds the prefix from its own place, so the same file
# serves `cmake --install --prefix` and the Debian package.
configure_file(${CMAKE_CURRENT_LIST_DIR}/kavro.pc.in
  ${PROJECT_BINARY_DIR}/packaging/kavro.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/kavro.pc
  DESTINATION ${KAVRO_INSTALL_LIBDIR}/pkgconfig)

# find_package(Kavro) gives Kavro::Kavro.
install(EXPORT KavroTargets NAMESPACE Kavro::
  DESTINATION ${KAVRO_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/KavroConfig.cmake.in
  ${PROJECT_BINARY_DIR}/packaging/KavroConfig.cmake
  INSTALL_DESTINATION ${KAVRO_INSTALL_CMAKEDIR}
  PATH_VARS CMAKE_INSTALL_DATADIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/packaging/KavroConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/packaging/KavroConfig.cmake
  ${PROJECT_BINARY_DIR}/packaging/KavroConfigVersion.cmake
  DESTINATION ${KAVRO_INSTALL_CMAKEDIR})

include(${CMAKE_CURRENT_LIST_DIR}/cpack.cmake)
