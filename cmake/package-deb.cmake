# Installing on Linux and the Debian package.
#   cmake --install build --prefix DIR   the programs in DIR/bin, the README
#                                        and the sample logs in
#                                        DIR/share/doc/wsjt-trackers
#   (cd build && cpack -G DEB)           wsjt-trackers_<version>_<arch>.deb
include(GNUInstallDirs)
set(package_name wsjt-trackers)
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package_name})

set(programs live_tracker log_tracker log_lister decode_sender)
install(TARGETS ${programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${doc_dir})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/samples/ DESTINATION ${doc_dir}/samples)

# Who answers for the package.
set(DEB_MAINTAINER "Seed 190f407d maintainers <maintainers@users.noreply.c-seed-190f407d.example>"
    CACHE STRING "Maintainer line of the Debian package")

# What Debian asks of every package's documentation folder: the copyright
# statement and a changelog compressed without a time stamp (gzip -n).
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright DESTINATION ${doc_dir})
find_program(GZIP_PROGRAM gzip)
if(GZIP_PROGRAM)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog ${CMAKE_BINARY_DIR}/debian/changelog.Debian @ONLY)
  execute_process(COMMAND ${GZIP_PROGRAM} -9nf ${CMAKE_BINARY_DIR}/debian/changelog.Debian)
  install(FILES ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz DESTINATION ${doc_dir})
endif()

# The architecture of the package is the build's: amd64 here; a cross
# build for another one (arm64, armhf) sets it.
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE build_architecture
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT build_architecture)
  set(build_architecture amd64)
endif()
set(DEB_ARCHITECTURE ${build_architecture} CACHE STRING "Debian architecture of the package")

set(CPACK_PACKAGE_NAME ${package_name})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The first packaging of this version (Debian's revision after the "-").
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGE_CONTACT ${DEB_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${DEB_ARCHITECTURE})
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A cross build's dependencies come from its own libraries, under the
# names they have on the target (deb-cross-depends.cmake).
if(CMAKE_CROSSCOMPILING)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_CROSS_LIBRARY_DIR ${CMAKE_FIND_ROOT_PATH}/lib)
  list(TRANSFORM programs PREPEND ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/ OUTPUT_VARIABLE CPACK_CROSS_PROGRAMS)
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/deb-cross-depends.cmake)
endif()
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wsjtx")
# The first line is the summary; the lines after it, each begun with a
# blank, are the long description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "position reports of a moving station decoded by WSJT-X
 Console programs for radio amateurs who follow a moving station (a
 balloon, a vehicle) that sends its position as the text of ordinary
 WSJT-X messages. live_tracker takes WSJT-X's UDP datagrams as it decodes,
 log_tracker reads or follows its decode log (ALL.TXT, JTDX's monthly log)
 and log_lister lists the position reports of a log. Each report is shown
 with latitude, longitude and an Ordnance Survey National Grid reference;
 the track goes to a KML file that Google Earth shows as it grows.")
include(CPack)
