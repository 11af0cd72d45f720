# Installation (header, shared object, tool, CMake package, pkg-config file)
# and Debian packages through CPack.  Everything of the tool only when it is
# built: a library-only build installs the library's files alone.
include(CMakePackageConfigHelpers)

set(QUORLEN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/quorlen_config_parser)

set_target_properties(quorlen_config_parser PROPERTIES
  EXPORT_NAME config_parser
  PUBLIC_HEADER ${PROJECT_SOURCE_DIR}/include/quorlen_config_parser.h)
install(TARGETS quorlen_config_parser EXPORT quorlen_config_parser_targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT runtime NAMELINK_COMPONENT development
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
# A fuzz build makes the tool's libraries but not the tool.
set(QUORLEN_INSTALL_TOOL OFF)
if(TARGET quorlen-config)
  set(QUORLEN_INSTALL_TOOL ON)
  install(TARGETS quorlen-config RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    COMPONENT tool)
endif()

install(EXPORT quorlen_config_parser_targets NAMESPACE quorlen::
  FILE quorlen_config_parserTargets.cmake DESTINATION ${QUORLEN_CMAKE_DIR}
  COMPONENT development)
configure_package_config_file(cmake/quorlen_config_parserConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/quorlen_config_parserConfig.cmake
  INSTALL_DESTINATION ${QUORLEN_CMAKE_DIR})
# A newer minor version serves programs built against an older one; a new
# major version does not.
write_basic_package_version_file(
  ${CMAKE_CURRENT_BINARY_DIR}/quorlen_config_parserConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/quorlen_config_parserConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/quorlen_config_parserConfigVersion.cmake
  DESTINATION ${QUORLEN_CMAKE_DIR} COMPONENT development)

# The .pc file names the prefix it is installed to, as every library's does
# (pkg-config adds a sysroot in front of it), so it is written when it is
# installed: "cmake --install --prefix" and CPack choose the prefix then.
install(CODE "
  set(QUORLEN_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  set(CMAKE_INSTALL_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(PROJECT_DESCRIPTION \"${PROJECT_DESCRIPTION}\")
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/quorlen_config_parser.pc.in
    ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/quorlen_config_parser.pc @ONLY)
" COMPONENT development)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/quorlen_config_parser.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)


# Manual pages and the documents every Debian package carries, compressed
# as Debian wants them (gzip -9n: no name, no time stamp).
set(QUORLEN_PACKAGE_RUNTIME libquorlen-config-parser${QUORLEN_SOVERSION})
set(QUORLEN_PACKAGE_DEV libquorlen-config-parser-dev)
set(QUORLEN_PACKAGE_TOOL quorlen-config)
function(quorlen_gzip source target)
  execute_process(COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/${source}
    OUTPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/${target} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${source}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/${source})
endfunction()
quorlen_gzip(man/quorlen_parse_config.3 quorlen_parse_config.3.gz)
quorlen_gzip(packaging/changelog changelog.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quorlen_parse_config.3.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man3 COMPONENT development)
set(QUORLEN_COMPONENTS runtime development)
if(QUORLEN_INSTALL_TOOL)
  quorlen_gzip(man/quorlen-config.1 quorlen-config.1.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quorlen-config.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
  list(APPEND QUORLEN_COMPONENTS tool)
endif()
foreach(component IN LISTS QUORLEN_COMPONENTS)
  if(component STREQUAL runtime)
    set(package ${QUORLEN_PACKAGE_RUNTIME})
  elseif(component STREQUAL development)
    set(package ${QUORLEN_PACKAGE_DEV})
  else()
    set(package ${QUORLEN_PACKAGE_TOOL})
  endif()
  install(FILES packaging/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
    COMPONENT ${component})
endforeach()

# Debian packages the way Debian splits a library: the shared object alone,
# its development files, and the tool (when it is built).  Build them from a tree configured
# with CMAKE_INSTALL_PREFIX=/usr, so that the library lands in its
# multiarch folder.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${QUORLEN_COMPONENTS})
set(CPACK_PACKAGE_NAME libquorlen-config-parser)
set(CPACK_PACKAGE_VENDOR "quorlen")
set(CPACK_PACKAGE_CONTACT "quorlen developers <dev@quorlen.org>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR MATCHES "^arm")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE armhf)
else()
  find_program(DPKG_PROGRAM dpkg)
  if(DPKG_PROGRAM)
    execute_process(COMMAND ${DPKG_PROGRAM} --print-architecture
      OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE
      OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
endif()
# shlibs, so that packages built against the library depend on it, and the
# ldconfig trigger (CPack's own would call ldconfig from maintainer scripts).
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/debian-runtime/shlibs
  "libquorlen_config_parser ${QUORLEN_SOVERSION} "
  "libquorlen-config-parser${QUORLEN_SOVERSION} (>= ${PROJECT_VERSION})\n")
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/debian-runtime/triggers
  "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_BINARY_DIR}/debian-runtime/shlibs
  ${CMAKE_CURRENT_BINARY_DIR}/debian-runtime/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Written out: dpkg-shlibdeps cannot see a cross target's libraries.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${QUORLEN_PACKAGE_RUNTIME})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libc6 (>= 2.34)")
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "camera module configuration parser (shared library)
libquorlen_config_parser reads a camera module's configuration file and
fills a record that the calling program supplies: the sensor's size,
format and I2C address, the register and board command lists to send, and
the adjustable controls.  It exports one C function, needs the C library
alone, keeps no state and writes nothing to any stream.
.
This package holds the shared library.")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME ${QUORLEN_PACKAGE_DEV})
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
  "${QUORLEN_PACKAGE_RUNTIME} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "camera module configuration parser (development files)
libquorlen_config_parser reads a camera module's configuration file and
fills a record that the calling program supplies: the sensor's size,
format and I2C address, the register and board command lists to send, and
the adjustable controls.
.
This package holds the C header, the link to the shared library, the
pkg-config file, the CMake package and the manual page.")
if(QUORLEN_INSTALL_TOOL)
  set(CPACK_DEBIAN_TOOL_PACKAGE_NAME ${QUORLEN_PACKAGE_TOOL})
  set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
  # yaml-cpp's package, as its shlibs file for the target names it.
  set(yaml_cpp_package libyaml-cpp0.7)
  file(GLOB yaml_cpp_shlibs
    /var/lib/dpkg/info/libyaml-cpp*:${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}.shlibs)
  foreach(shlibs IN LISTS yaml_cpp_shlibs)
    file(STRINGS ${shlibs} lines REGEX "^libyaml-cpp ")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^libyaml-cpp [^ ]+ " "" yaml_cpp_package "${line}")
    endforeach()
  endforeach()
  set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS
    "libc6 (>= 2.34), libgcc-s1 (>= 3.5), libstdc++6 (>= 12), libeditorconfig0 (>= 0.12), ${yaml_cpp_package}")
  set(CPACK_DEBIAN_TOOL_DESCRIPTION "dump, check and lint camera module configuration files
quorlen-config reads camera module configuration files with the parser of
libquorlen_config_parser, exactly as a camera program would.  It prints
what the record holds (dump, json), lists the faulty lines (check), and
reports every place where what a file says differs from what the record
will hold (lint), as compilers print diagnostics or as JSON.")
endif()
# CPack puts this summary before every package's description unless it is
# CPack's own default; each package's first line is its synopsis instead.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
include(CPack)
