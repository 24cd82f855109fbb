# The Debian package, built with `cpack -G DEB` in the build folder:
# kavro_<version>_<arch>.deb, installing under /usr.
#
# The runtime dependencies are declared here rather than found by
# dpkg-shlibdeps, so that packaging needs no more than dpkg-deb. PROJ's
# runtime package is the one that holds the libproj the build links against
# (its name carries the soname: libproj25 ...); the C and C++ runtimes are
# required at least at the versions the build was made with.

# The Debian package that holds a file, or "" when dpkg knows none.
function(kavro_package_of_file file result)
  execute_process(COMMAND dpkg-query -S ${file}
    OUTPUT_VARIABLE owner RESULT_VARIABLE status ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(status EQUAL 0 AND owner MATCHES "^([^:, ]+)")
    set(${result} ${CMAKE_MATCH_1} PARENT_SCOPE)
  else()
    set(${result} "" PARENT_SCOPE)
  endif()
endfunction()

# "package (>= upstream version)" for an installed package, or the bare name.
function(kavro_at_least package result)
  execute_process(COMMAND dpkg-query -W -f=\${Version} ${package}
    OUTPUT_VARIABLE version RESULT_VARIABLE status ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  # The upstream part: no epoch, no Debian revision.
  if(status EQUAL 0 AND version MATCHES "^([0-9]+:)?([0-9][0-9.]*)")
    set(${result} "${package} (>= ${CMAKE_MATCH_2})" PARENT_SCOPE)
  else()
    set(${result} ${package} PARENT_SCOPE)
  endif()
endfunction()

find_library(KAVRO_PROJ_LIBRARY NAMES proj)
set(kavro_proj_package "")
if(KAVRO_PROJ_LIBRARY)
  # The development symlink belongs to libproj-dev; the file it names
  # belongs to the runtime package.
  get_filename_component(kavro_proj_real ${KAVRO_PROJ_LIBRARY} REALPATH)
  kavro_package_of_file(${kavro_proj_real} kavro_proj_package)
endif()
if(NOT kavro_proj_package)
  message(WARNING "The Debian package of PROJ's runtime library was not found; "
    "the package declares libproj25. Set CPACK_DEBIAN_PACKAGE_DEPENDS to change it.")
  set(kavro_proj_package libproj25)
endif()
kavro_at_least(libc6 kavro_libc)
kavro_at_least(libstdc++6 kavro_libstdcxx)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavro)
set(CPACK_PACKAGE_VENDOR "The Kavro developers")
set(CPACK_PACKAGE_CONTACT "The Kavro developers <kavro@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "converts MapInfo Interchange Format drawings between map projections")
set(CPACK_PACKAGE_DESCRIPTION
  "KavroC converts a MIF drawing (.mif and its .mid companion) from the projection \
named in its CoordSys line to another, through PROJ. Every line that carries no \
coordinates is copied as it stands. The package holds the program, the library \
libKavro with its header, pkg-config file and CMake package, and the shipped \
projection list.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(NOT CPACK_DEBIAN_PACKAGE_DEPENDS)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${kavro_proj_package}, proj-data, ${kavro_libc}, ${kavro_libstdcxx}")
endif()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
# A shlibs file for libKavro.so.1, and ldconfig run when the package comes
# and goes, as the libraries land in /usr/lib.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_STRIP_FILES ON)

include(CPack)
