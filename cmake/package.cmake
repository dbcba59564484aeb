# The Windows package: `cpack -G ZIP` in the build folder gives a zip with
# the three programs, the README and the sample log.
install(TARGETS live_tracker log_tracker log_lister RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/samples/ALL.TXT DESTINATION samples)

set(CPACK_PACKAGE_NAME wsjt-trackers)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_SYSTEM_NAME win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
