# Debian packages of the install components (cmake/install.cmake), built with
# `cpack -G DEB` in the build folder (scripts/build-packages.sh does it):
#   corvala4           the module libcorvala4.so.N and the corvala4 program; no Qt
#   corvala4-qt        the windows' library, with the Qt 6 runtime it needs
#   corvala4-dev       headers, CMake package, pkg-config files, the Fortran module
#   python3-corvala4   the Python package, in Debian's Python path
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvala4)
set(CPACK_PACKAGE_VENDOR "Corvala4")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Corvala4 developers <corvala4@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime qt dev python)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the shared libraries each package holds; our own ones are found in the build.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# A shlibs file and the ldconfig trigger for each package with a shared library.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

# What Debian wants in every package's documentation folder: the copyright and a changelog.
foreach(component runtime qt dev python)
  set(package_runtime corvala4)
  set(package_qt corvala4-qt)
  set(package_dev corvala4-dev)
  set(package_python python3-corvala4)
  set(doc ${PROJECT_BINARY_DIR}/debian/${package_${component}})
  string(TIMESTAMP now "%a, %d %b %Y %H:%M:%S +0000" UTC)
  file(WRITE ${doc}/changelog "${package_${component}} (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
    "  * Corvala4 ${PROJECT_VERSION}.\n\n -- ${CPACK_PACKAGE_CONTACT}  ${now}\n")
  file(ARCHIVE_CREATE OUTPUT ${doc}/changelog.gz PATHS ${doc}/changelog FORMAT raw COMPRESSION GZip
    COMPRESSION_LEVEL 9 MTIME 0)
  install(FILES ${doc}/changelog.gz ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
    DESTINATION share/doc/${package_${component}} COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME corvala4)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CORVALA4_DEB_LIBDIR ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
set(CORVALA4_DEB_BINDIR ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR})
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/postrm.in ${PROJECT_BINARY_DIR}/debian/postrm @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/postrm
  ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
string(CONCAT CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "correctness self-test module for calculation programs\n"
  "A calculation program links libcorvala4, names its own executable and lets\n"
  "the module run its golden-file cases: each case's outputs are compared with\n"
  "standard files, a pass marker is kept per case and every build that passed\n"
  "all mandatory cases is recorded. The corvala4 program runs the cases of any\n"
  "program, on every core or on a Slurm cluster.")

set(CPACK_DEBIAN_QT_PACKAGE_NAME corvala4-qt)
set(CPACK_DEBIAN_QT_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_QT_DEPENDS runtime)
set(CPACK_DEBIAN_QT_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
# The windows read best in a Ming face with 宋体's line height, and Qt's own dialogs in Chinese.
set(CPACK_DEBIAN_QT_PACKAGE_RECOMMENDS "fonts-arphic-uming, qt6-translations-l10n")
string(CONCAT CPACK_COMPONENT_QT_DESCRIPTION
  "correctness self-test module for calculation programs - windows\n"
  "The Qt 6 windows of Corvala4: the test window, the status, compare and\n"
  "options windows and the unit-runner form, loaded by the module where a\n"
  "display answers.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME corvala4-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
string(CONCAT CPACK_COMPONENT_DEV_DESCRIPTION
  "correctness self-test module for calculation programs - development files\n"
  "Headers for C++ and C hosts, the CMake package Corvala4, the pkg-config\n"
  "files corvala4, corvala4-c and corvala4-fortran, and the Fortran module\n"
  "corvala4.")

set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-corvala4)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3, python3-cffi")
set(CPACK_COMPONENT_PYTHON_DEPENDS runtime)
set(CPACK_DEBIAN_PYTHON_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/cmake/debian/postinst ${PROJECT_SOURCE_DIR}/cmake/debian/prerm)
string(CONCAT CPACK_COMPONENT_PYTHON_DESCRIPTION
  "correctness self-test module for calculation programs - Python 3\n"
  "The Python package corvala4, over the module's C interface through cffi.")

include(CPack)
