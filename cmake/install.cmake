include(CMakePackageConfigHelpers)

# Components, one Debian package each (cmake/packaging.cmake): runtime (the module and the
# corvala4 program), qt (the windows), dev (headers, CMake package, pkg-config files, the
# Fortran module) and python.
install(TARGETS corvala4 EXPORT Corvala4Targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY interface/corvala4 DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev
  FILES_MATCHING PATTERN "*.h")
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/generated/corvala4/version.h
  ${CMAKE_CURRENT_BINARY_DIR}/generated/corvala4/version_c.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/corvala4 COMPONENT dev)
install(EXPORT Corvala4Targets NAMESPACE Corvala4:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Corvala4
  COMPONENT dev)

configure_package_config_file(cmake/Corvala4Config.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/Corvala4Config.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Corvala4)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/Corvala4ConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/Corvala4Config.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/Corvala4ConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Corvala4 COMPONENT dev)

file(RELATIVE_PATH CORVALA4_PC_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" CORVALA4_PC_PREFIX "${CORVALA4_PC_PREFIX}")
# corvala4.pc for C++ hosts, corvala4-c.pc for C hosts (no C++ standard in their flags).
configure_file(cmake/corvala4.pc.in ${CMAKE_CURRENT_BINARY_DIR}/corvala4.pc @ONLY)
configure_file(cmake/corvala4-c.pc.in ${CMAKE_CURRENT_BINARY_DIR}/corvala4-c.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/corvala4.pc ${CMAKE_CURRENT_BINARY_DIR}/corvala4-c.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
