# What every build of the project's folders needs, the fuzz build included:
# which platform files to compile, and how unit tests are registered.

# The platform calls live in files named *-posix.cc and *-win32.cc.
if(WIN32)
  set(PLATFORM win32)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)
else()
  set(PLATFORM posix)
  # 64-bit file offsets and inode numbers on 32-bit processors (armhf), as
  # 64-bit ones have them: logs past 2 GiB open, and folders list on file
  # systems with 64-bit inodes. (On 64-bit ones it would only rename the
  # calls that tests/read_fault.cc and write_fault.cc define both names of.)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    add_compile_definitions(_FILE_OFFSET_BITS=64)
  endif()
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

# A folder's headers, named with their folder ("report/decode_record.h"),
# for `target` and, with PUBLIC, for whatever links it, and for nothing else:
# the include root is a folder of the build that holds one link, to this
# folder, so that an include from a folder not linked still fails to build.
function(expose_headers target scope)
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  file(MAKE_DIRECTORY ${root})
  if(NOT EXISTS ${root}/${folder})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} ${scope} ${root})
endfunction()

# The path by which a test starts one of the programs: the program itself,
# or in a cross build a script that runs it under the emulator.
function(program_command target variable)
  if(CMAKE_CROSSCOMPILING_EMULATOR AND NOT WIN32)
    string(JOIN "' '" emulator ${CMAKE_CROSSCOMPILING_EMULATOR})
    set(script ${CMAKE_BINARY_DIR}/emulated/${target})
    file(GENERATE OUTPUT ${script} CONTENT "#!/bin/sh\nexec '${emulator}' '$<TARGET_FILE:${target}>' \"$@\"\n"
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    set(${variable} ${script} PARENT_SCOPE)
  else()
    set(${variable} $<TARGET_FILE:${target}> PARENT_SCOPE)
  endif()
endfunction()
