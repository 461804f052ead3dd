# Install rules and packages of patprn, included at the end of the top-level
# CMakeLists.txt so that host programs built beside the library (patmon)
# are already defined.
#
#   cmake --install build/native --prefix /opt/patprn
#   cd build/native && cpack          # .tar.gz and .deb (Linux), .zip (Windows)
include(CMakePackageConfigHelpers)

set(PATPRN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/patprn)
set(PATPRN_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/patprn)

# The library: bin/patprn.dll, lib/libpatprn.dll.a and lib/patprn.def on
# Windows; lib/libpatprn.so.1.x.y with the libpatprn.so.1 and libpatprn.so
# links elsewhere.
install(TARGETS patprn EXPORT patprnTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/include/patprn/patprn.h ${PROJECT_SOURCE_DIR}/include/patprn/win32.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/patprn COMPONENT development)
if(WIN32)
  install(FILES ${PROJECT_BINARY_DIR}/patprn.def DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
endif()

# The host program, when it is part of this build.
if(TARGET patmon)
  if(NOT WIN32)
    # Finds the library beside it in a relocated tree (the .tar.gz).
    set_property(TARGET patmon APPEND PROPERTY INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  endif()
  install(TARGETS patmon RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endif()

# find_package(patprn) -> patprn::patprn
install(EXPORT patprnTargets NAMESPACE patprn:: DESTINATION ${PATPRN_CMAKE_DIR} COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/patprnConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/patprnConfig.cmake INSTALL_DESTINATION ${PATPRN_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/patprnConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/patprnConfig.cmake ${PROJECT_BINARY_DIR}/patprnConfigVersion.cmake
        DESTINATION ${PATPRN_CMAKE_DIR} COMPONENT development)

# pkg-config, relocatable: the prefix is found from the .pc file's place.
file(RELATIVE_PATH PATPRN_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" PATPRN_PC_TO_PREFIX "${PATPRN_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/patprn.pc.in ${PROJECT_BINARY_DIR}/patprn.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/patprn.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# What a host developer reads.
install(FILES ${PROJECT_SOURCE_DIR}/docs/host-guide.md ${PROJECT_SOURCE_DIR}/README.md
              ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG.md
        DESTINATION ${PATPRN_DOC_DIR} COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/examples/poll.c DESTINATION ${PATPRN_DOC_DIR}/examples COMPONENT development)

# ---- CPack: a ZIP of the Windows tree; a .tar.gz and a .deb on Linux ----
set(CPACK_PACKAGE_NAME patprn)
set(CPACK_PACKAGE_VENDOR "patprn developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Printer data library of a printer status monitor")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_GENERATOR TGZ DEB)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "patprn developers <patprn@localhost>")
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # Dependencies from the shared libraries the installed programs need.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
