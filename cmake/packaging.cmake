# Installation (header, shared object, tool, CMake package, pkg-config file)
# and Debian packages through CPack.
include(CMakePackageConfigHelpers)

set(QUORLEN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/quorlen_config_parser)

set_target_properties(quorlen_config_parser PROPERTIES
  EXPORT_NAME config_parser
  PUBLIC_HEADER ${PROJECT_SOURCE_DIR}/include/quorlen_config_parser.h)
install(TARGETS quorlen_config_parser EXPORT quorlen_config_parser_targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT runtime NAMELINK_COMPONENT development
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
install(TARGETS quorlen-config RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  COMPONENT runtime)

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

configure_file(cmake/quorlen_config_parser.pc.in
  ${CMAKE_CURRENT_BINARY_DIR}/quorlen_config_parser.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quorlen_config_parser.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# One Debian package with the library, the header and the tool.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME libquorlen-config-parser)
set(CPACK_PACKAGE_VENDOR "quorlen")
set(CPACK_PACKAGE_CONTACT "quorlen developers <dev@quorlen.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "camera module configuration parser (library, header and quorlen-config)")
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
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
# Written out: dpkg-shlibdeps cannot see a cross target's libraries.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)  # shlibs and the ldconfig trigger
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1")
include(CPack)
