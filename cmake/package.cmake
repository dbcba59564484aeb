# The Windows package: `cpack -G ZIP` in the build folder gives a zip with
# the three programs, decode_sender to try them without a radio, the
# sample log, and README.txt, which tells a user how to use them.
install(TARGETS live_tracker log_tracker log_lister decode_sender RUNTIME DESTINATION .)
# Windows line ends, so that every editor shows it as it is meant.
configure_file(${CMAKE_CURRENT_LIST_DIR}/README-windows.txt ${CMAKE_BINARY_DIR}/README.txt
               @ONLY NEWLINE_STYLE WIN32)
install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/samples/ALL.TXT DESTINATION samples)

set(CPACK_PACKAGE_NAME wsjt-trackers)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
