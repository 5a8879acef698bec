# Included after project() in a mingw cross-build (see mingw-w64.cmake): builds GoogleTest
# for Windows from Debian's sources (package googletest) and points find_package(GTest) at
# it, so the test folders need nothing Windows-specific.
# TOVRA_BUILD_TESTS is declared after project(), so here it is set only when given with -D.
if((DEFINED TOVRA_BUILD_TESTS AND NOT TOVRA_BUILD_TESTS) OR TARGET GTest::gtest_main)
  return()
endif()

set(TOVRA_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross-build")
if(NOT EXISTS ${TOVRA_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${TOVRA_GOOGLETEST_SOURCE}: "
                      "apt-get install googletest")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${TOVRA_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)

# GoogleTest's own code is not held to the project's -Werror.
foreach(target gtest gtest_main gmock gmock_main)
  if(TARGET ${target})
    target_compile_options(${target} PRIVATE -w)
  endif()
endforeach()

foreach(target gtest gtest_main gmock gmock_main)
  if(TARGET ${target} AND NOT TARGET GTest::${target})
    add_library(GTest::${target} ALIAS ${target})
  endif()
endforeach()

# find_package(GTest) in config mode finds this stub: the targets exist already.
set(_tovra_gtest_config ${CMAKE_BINARY_DIR}/_googletest_config)
file(WRITE ${_tovra_gtest_config}/GTestConfig.cmake
     "# Generated: GTest targets come from the in-tree GoogleTest build.\n"
     "set(GTest_FOUND TRUE)\n")
file(WRITE ${_tovra_gtest_config}/GTestConfigVersion.cmake
     "set(PACKAGE_VERSION 1.12.1)\nset(PACKAGE_VERSION_COMPATIBLE TRUE)\n")
set(GTest_DIR ${_tovra_gtest_config} CACHE PATH "" FORCE)
unset(_tovra_gtest_config)
