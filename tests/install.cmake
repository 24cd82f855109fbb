# The installed tree: cmake --install into a scratch prefix, then the
# installed KavroC and a C program built against the prefix through
# pkg-config and through find_package(Kavro).
add_test(NAME InstallTree
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/install/check-install.sh
          ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR})
