# The Depends line of a cross build's Debian package, run by cpack
# (CPACK_PROJECT_CONFIG_FILE, set by package-deb.cmake). dpkg-shlibdeps
# finds the target's libraries in the cross root (/usr/aarch64-linux-gnu/lib)
# and their versions in the package info of Debian's cross packages, which
# are the target's libc6, libgcc-s1 and libstdc++6 renamed by dpkg-cross
# (libgcc-s1-arm64-cross, libc6:arm64): the dependencies take back the names
# they have on the target. The cross libc6 has no symbols file, so its
# version is the one built against (2.36 on Debian 12) rather than the
# oldest that would do.
if(NOT CPACK_GENERATOR STREQUAL "DEB" OR NOT CPACK_CROSS_LIBRARY_DIR)
  return()
endif()
set(work ${CPACK_TOPLEVEL_DIRECTORY}/cross-shlibdeps)
file(MAKE_DIRECTORY ${work}/debian)
file(TOUCH ${work}/debian/control)
execute_process(COMMAND dpkg-shlibdeps -O -l${CPACK_CROSS_LIBRARY_DIR} ${CPACK_CROSS_PROGRAMS}
                WORKING_DIRECTORY ${work} OUTPUT_VARIABLE found ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT found MATCHES "shlibs:Depends=([^\n]*)")
  message(FATAL_ERROR "dpkg-shlibdeps found no dependencies: ${errors}")
endif()
set(arch ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})
string(REGEX REPLACE "-${arch}-cross|:${arch}" "" found "${CMAKE_MATCH_1}")
# A library whose cross package has a shlibs file and no symbols file
# (libstdc++6) gets no version: at least the release it was built with.
string(REPLACE ", " ";" found "${found}")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "")
foreach(dependency IN LISTS found)
  if(NOT dependency MATCHES "[(]")
    execute_process(COMMAND dpkg-query -W -f=\${Version} ${dependency}-${arch}-cross OUTPUT_VARIABLE version)
    if(version MATCHES "^([0-9]+)[.]")
      string(APPEND dependency " (>= ${CMAKE_MATCH_1})")
    endif()
  endif()
  list(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS "${dependency}")
endforeach()
list(JOIN CPACK_DEBIAN_PACKAGE_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
