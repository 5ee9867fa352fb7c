include(CMakePackageConfigHelpers)

install(TARGETS corvala4 EXPORT Corvala4Targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY interface/corvala4 DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/generated/corvala4/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/corvala4)
install(EXPORT Corvala4Targets NAMESPACE Corvala4:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Corvala4)

configure_package_config_file(cmake/Corvala4Config.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/Corvala4Config.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Corvala4)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/Corvala4ConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/Corvala4Config.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/Corvala4ConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Corvala4)

configure_file(cmake/corvala4.pc.in ${CMAKE_CURRENT_BINARY_DIR}/corvala4.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/corvala4.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
