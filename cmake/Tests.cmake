# GoogleTest from Debian's googletest sources, built with the same cross compiler.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
include(GoogleTest)

# Tests are Windows programs: ctest runs them through the Wine sandbox script.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/scripts/wine-run.sh")

file(GLOB fixture_srcs CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/support/*.cpp")
add_library(testsupport STATIC ${fixture_srcs})
target_link_libraries(testsupport PUBLIC sys gtest gmock)
target_compile_options(testsupport PRIVATE -Wall -Wextra)

# One test program per subsystem folder under tests/.
function(velmora_test_program name)
  file(GLOB srcs CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/${name}/*.cpp")
  add_executable(test_${name} ${srcs})
  target_link_libraries(test_${name} PRIVATE testsupport ${ARGN})
  target_compile_options(test_${name} PRIVATE -Wall -Wextra)
  target_link_options(test_${name} PRIVATE ${VELMORA_LINK_FLAGS})
  gtest_discover_tests(test_${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES TIMEOUT 300)
endfunction()

velmora_test_program(sys)

# A library whose version resource has a fixed part and no string table.
add_library(verfixed SHARED tests/data/verfixed.c tests/data/verfixed.rc)
set_target_properties(verfixed PROPERTIES PREFIX "")
target_link_options(verfixed PRIVATE ${VELMORA_LINK_FLAGS})
add_dependencies(test_sys verfixed)
