# What every build of the project's folders needs, the fuzz build included:
# which platform files to compile, and how unit tests are registered.

# The platform calls live in files named *-posix.cc and *-win32.cc.
if(WIN32)
  set(PLATFORM win32)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)
else()
  set(PLATFORM posix)
endif()

# A unit test executable: each of its tests a CTest test of its own, or, in
# the cross build, the whole executable as one test (one wine start each).
function(add_unit_tests target)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
  else()
    gtest_discover_tests(${target} ${ARGN})
  endif()
endfunction()
