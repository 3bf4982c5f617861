# Installation: the libraries with their headers and CMake package
# (ombrix::ombrix with ombrix::signals, ombrix::automation and the component
# server ombrix::component, and ombrix::formats as the
# component "formats"),
# pkg-config files, the program with its samples and man page; and the
# Debian package that cpack builds from the same rules.
include(CMakePackageConfigHelpers)
set(_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/ombrix)

install(TARGETS ombrix ombrix_signals ombrix_automation ombrix_component EXPORT ombrixTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ombrix/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ombrix
  FILES_MATCHING PATTERN "*.h" PATTERN "*_internal.h" EXCLUDE)
install(EXPORT ombrixTargets NAMESPACE ombrix:: FILE ombrixTargets.cmake
  DESTINATION ${_package_dir})

# pkg-config files find their prefix from where they are, so that an
# unpacked or moved tree works as well as the prefix it was built for.
file(RELATIVE_PATH _pc_to_prefix "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
string(REGEX REPLACE "/$" "" _pc_to_prefix "${_pc_to_prefix}")
set(_pc_libs "-lombrix_automation -lombrix_signals -lombrix_core")
set(_pc_name "ombrix")
set(_pc_description "${PROJECT_DESCRIPTION} (compile with -std=c++20)")
set(_pc_requires "")
set(_pc_cflags "-I\${includedir}")
configure_file(cmake/ombrix.pc.in ${CMAKE_CURRENT_BINARY_DIR}/ombrix.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ombrix.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The component server for C and every other language: libombrix.so.1,
# its one header, and a pkg-config file of its own.
set(_pc_libs "-lombrix")
set(_pc_name "ombrix-c")
set(_pc_description "The Ombrix component server: its classes by name and late binding from C")
set(_pc_cflags "-I\${includedir}")
configure_file(cmake/ombrix.pc.in ${CMAKE_CURRENT_BINARY_DIR}/ombrix-c.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ombrix-c.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(OMBRIX_BUILD_FORMATS)
  install(TARGETS ombrix_formats EXPORT ombrixFormatsTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ombrix)
  # Clients include "formats/image/image_file.h" as inside this tree; the
  # headers go under include/ombrix so that they claim no folder of their own there.
  install(FILES formats/file_error.h formats/file_io.h formats/json_property_bag.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ombrix/formats)
  install(FILES formats/image/image_file.h formats/image/image_builder.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ombrix/formats/image)
  install(FILES formats/dbc/dbc_file.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ombrix/formats/dbc)
  # Bus traces ride with the formats: the same component, headers under ombrix/traces.
  install(TARGETS ombrix_traces EXPORT ombrixFormatsTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES traces/trace_frame.h traces/trace_reader.h traces/trace_writer.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ombrix/traces)
  install(EXPORT ombrixFormatsTargets NAMESPACE ombrix:: FILE ombrixFormatsTargets.cmake
    DESTINATION ${_package_dir})
  set(_pc_libs "-lombrix_traces -lombrix_formats -lz")
  set(_pc_name "ombrix-formats")
  set(_pc_requires "ombrix = ${PROJECT_VERSION}")
  set(_pc_cflags "-I\${includedir}/ombrix")
  configure_file(cmake/ombrix.pc.in ${CMAKE_CURRENT_BINARY_DIR}/ombrix-formats.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ombrix-formats.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()

configure_package_config_file(cmake/ombrixConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/ombrixConfig.cmake
  INSTALL_DESTINATION ${_package_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/ombrixConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ombrixConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/ombrixConfigVersion.cmake
  DESTINATION ${_package_dir})

# The Debian package: cpack -G DEB in a build tree.
set(CPACK_PACKAGE_NAME ombrix)
set(CPACK_PACKAGE_VENDOR "Ombrix")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
  "The ombrix C++ library (static, with headers, CMake package and pkg-config files) with
its signal databases and late binding, the component server libombrix.so.1 with its C
interface ombrix/ombrix_c.h, its file formats library ombrix_formats (Intel HEX, S-records, JSON,
DBC), and the ombrix program
with its samples and man page.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Ombrix developers <ombrix@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6, zlib1g")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "cmake, pkgconf, g++")
include(CPack)
