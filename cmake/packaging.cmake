# Installed layout beyond the executables (man pages, README, licence) and the Debian
# package built from it:
#   cmake --install build --prefix /usr/local
#   cd build && cpack -G DEB
# Included at the end of the top-level CMakeLists.txt, once the targets exist.
include(GNUInstallDirs)

# Man pages are installed gzip-compressed, as man-db and Debian expect; -n keeps the
# compressed bytes free of a timestamp, so rebuilding gives the same package.
find_program(TOVRA_GZIP gzip REQUIRED)
set(_tovra_man_dir ${PROJECT_BINARY_DIR}/man)
set(_tovra_man_pages)
foreach(page tovra-rf tovra-rf-tool)
  if(NOT TARGET ${page})
    continue()  # that program is not built (TOVRA_BUILD_CLI / TOVRA_BUILD_GUI off)
  endif()
  set(_source ${PROJECT_SOURCE_DIR}/docs/man/${page}.1)
  set(_output ${_tovra_man_dir}/${page}.1.gz)
  add_custom_command(
    OUTPUT ${_output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_tovra_man_dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${_source} ${_tovra_man_dir}/${page}.1
    COMMAND ${TOVRA_GZIP} -9nf ${_tovra_man_dir}/${page}.1
    DEPENDS ${_source}
    COMMENT "Compressing the ${page}(1) man page"
    VERBATIM)
  list(APPEND _tovra_man_pages ${_output})
endforeach()
if(_tovra_man_pages)
  add_custom_target(tovra_man_pages ALL DEPENDS ${_tovra_man_pages})
  install(FILES ${_tovra_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# docs/ keeps its place next to the README, so that the links between them still work.
# The licence goes in under Debian's name for it.
set(_tovra_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/tovra-rf-tool)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${_tovra_doc_dir})
install(FILES ${PROJECT_SOURCE_DIR}/docs/user-guide.md ${PROJECT_SOURCE_DIR}/docs/window.png
        DESTINATION ${_tovra_doc_dir}/docs)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${_tovra_doc_dir} RENAME copyright)

set(TOVRA_PACKAGE_MAINTAINER "TOVRA RF Tool developers <maintainers@tovra-rf.example.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tovra-rf-tool)
set(CPACK_PACKAGE_VENDOR "The TOVRA RF Tool developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TOVRA_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_HOMEPAGE_URL ${TOVRA_HOMEPAGE_URL})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure a LoRa radio modem module on a serial port")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # tovra-rf-tool_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TOVRA_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TOVRA_HOMEPAGE_URL})
# Dependencies come from the libraries the binaries link (dpkg-shlibdeps, in dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# CPack puts the summary in front as the synopsis line and indents the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "TOVRA RF Tool reads and writes the settings of a LoRa radio modem module
attached to a serial port, directly or through a USB serial adapter:
carrier frequency, spreading factor, RF mode, bandwidth, output power,
node id, network id, the module's own UART speed and parity, and its
version selector.

The package holds the window (tovra-rf-tool, in the desktop menu) and the
command-line tool tovra-rf, which also provisions many modules at once,
saves and applies settings profiles, and runs a simulated module for
trying the tool without hardware.")

include(CPack)
