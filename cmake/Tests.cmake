# GoogleTest from Debian's googletest sources, built with the same cross compiler.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
# The win32 thread model has no std::mutex, which GoogleTest's Notification is made of: a
# settings header of our own, found first, gives it one on a Win32 event.
target_include_directories(gtest BEFORE PUBLIC "${CMAKE_SOURCE_DIR}/tests/support/gtest-custom")
target_sources(gtest PRIVATE "${CMAKE_SOURCE_DIR}/tests/support/gtest-custom/GtestNotification.cpp")
include(GoogleTest)

# Tests are Windows programs: ctest runs them through the Wine sandbox script.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/scripts/wine-run.sh")

# Profiles that real browsers wrote (scripts/make-browser-profiles.sh), unpacked beside the
# test programs, and again whenever the archive changes.
set(browser_profiles "${CMAKE_SOURCE_DIR}/tests/data/browser-profiles.tar.xz")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${browser_profiles}")
file(REMOVE_RECURSE "${CMAKE_BINARY_DIR}/test-data/browser-profiles")
file(ARCHIVE_EXTRACT INPUT "${browser_profiles}"
     DESTINATION "${CMAKE_BINARY_DIR}/test-data/browser-profiles")

file(GLOB fixture_srcs CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/support/*.cpp")
add_library(testsupport STATIC ${fixture_srcs})
# Tests fill and read the URL cache themselves.
target_link_libraries(testsupport PUBLIC machine sys gtest gmock wininet)
target_compile_options(testsupport PRIVATE -Wall -Wextra)

# One test program per subsystem folder under tests/. A suite whose name begins with "Long"
# takes a minute or more (large seeded trees): run-tests.sh -E '^Long' leaves them out.
function(velmora_test_program name)
  file(GLOB srcs CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/${name}/*.cpp")
  if(NOT srcs)
    return()
  endif()
  add_executable(test_${name} ${srcs})
  target_link_libraries(test_${name} PRIVATE testsupport ${ARGN})
  target_compile_options(test_${name} PRIVATE -Wall -Wextra)
  target_link_options(test_${name} PRIVATE ${VELMORA_LINK_FLAGS})
  gtest_discover_tests(test_${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES TIMEOUT 300)
endfunction()

velmora_test_program(sys)
velmora_test_program(machine machine)
velmora_test_program(model model)
velmora_test_program(ui ui)
velmora_test_program(catalogue catalogue)
velmora_test_program(junk junk)
velmora_test_program(browsers browsers)
velmora_test_program(scan scan)
velmora_test_program(registry_scan registry_scan)
velmora_test_program(clean cleaner)
velmora_test_program(app app logcodec)
# The window tests load the program's pictures from their own executable.
velmora_add_resources(test_app)
add_dependencies(test_app Halvane4 LogDat verfixed)

# A library whose version resource has a fixed part and no string table.
add_library(verfixed SHARED tests/data/verfixed.c tests/data/verfixed.rc)
set_target_properties(verfixed PROPERTIES PREFIX "")
target_link_options(verfixed PRIVATE ${VELMORA_LINK_FLAGS})
add_dependencies(test_sys verfixed)
add_dependencies(test_registry_scan verfixed)
add_dependencies(test_sys Halvane4 OldShellBoth OldShellOnly211 OldShellOnly164)

# A library that imports another one, for the load-path test of sys/SystemLibrary.
add_library(plantdep SHARED tests/data/plantdep.c)
add_library(plantuser SHARED tests/data/plantuser.c)
set_target_properties(plantdep plantuser PROPERTIES PREFIX "")
target_link_libraries(plantuser PRIVATE plantdep)
foreach(t plantdep plantuser)
  target_link_options(${t} PRIVATE ${VELMORA_LINK_FLAGS})
endforeach()
add_dependencies(test_sys plantuser)

# Drives a running program by component name (end-to-end tests, screenshots).
add_executable(drive tests/tools/Drive.cpp)
target_compile_options(drive PRIVATE -Wall -Wextra)
target_compile_definitions(drive PRIVATE UNICODE _UNICODE)
target_link_options(drive PRIVATE ${VELMORA_LINK_FLAGS} -municode)

# Writes a shortcut to a target in the native system folder (the 64-bit prefix run).
add_executable(make-shortcut tests/tools/MakeShortcut.cpp)
target_link_libraries(make-shortcut PRIVATE sys)
target_compile_options(make-shortcut PRIVATE -Wall -Wextra)
target_link_options(make-shortcut PRIVATE ${VELMORA_LINK_FLAGS} -municode)

# Seeds the demo machine (scripts/run.sh, scripts/screenshot.sh) with what the window test
# of the demo scan seeds into its sandbox.
add_executable(seed-demo tests/tools/SeedDemo.cpp)
target_link_libraries(seed-demo PRIVATE testsupport)
target_compile_options(seed-demo PRIVATE -Wall -Wextra)
target_link_options(seed-demo PRIVATE ${VELMORA_LINK_FLAGS} -municode)

# Lists what the registry scanners find on the live system (end-to-end checks).
add_executable(scan-registry tests/tools/ScanRegistry.cpp)
target_link_libraries(scan-registry PRIVATE registry_scan)
target_compile_options(scan-registry PRIVATE -Wall -Wextra)
target_link_options(scan-registry PRIVATE ${VELMORA_LINK_FLAGS} -municode)

# End-to-end: the program as a user starts it. Run one at a time (one named mutex).
add_test(NAME EndToEnd.SingleInstance
         COMMAND bash "${CMAKE_SOURCE_DIR}/tests/e2e/single-instance.sh" "${CMAKE_BINARY_DIR}")
set_tests_properties(EndToEnd.SingleInstance PROPERTIES RUN_SERIAL TRUE TIMEOUT 300)
# Cleans the test prefix itself (its URL cache too): alone, like a user's machine.
add_test(NAME EndToEnd.OneKeyClean
         COMMAND bash "${CMAKE_SOURCE_DIR}/tests/e2e/one-key.sh" "${CMAKE_BINARY_DIR}")
set_tests_properties(EndToEnd.OneKeyClean PROPERTIES RUN_SERIAL TRUE TIMEOUT 600)
# The registry scanners and a one-key clean on a freshly made prefix, which must keep working.
add_test(NAME EndToEnd.FreshPrefixRegistryClean
         COMMAND bash "${CMAKE_SOURCE_DIR}/tests/e2e/registry-fresh.sh" "${CMAKE_BINARY_DIR}")
set_tests_properties(EndToEnd.FreshPrefixRegistryClean PROPERTIES RUN_SERIAL TRUE TIMEOUT 900)
# A program installed by a real (NSIS) installer, its folder then deleted: its registry
# entries are found, cleaned and restored from the backup.
add_test(NAME EndToEnd.RealInstallerRegistryClean
         COMMAND bash "${CMAKE_SOURCE_DIR}/tests/e2e/registry-installer.sh" "${CMAKE_BINARY_DIR}")
set_tests_properties(EndToEnd.RealInstallerRegistryClean PROPERTIES RUN_SERIAL TRUE TIMEOUT 900)

# Static checks of the built files, run on the build host itself (no Wine), so they run
# wherever the 32-bit program is built (label "static"). Where only the 64-bit build is
# tested, scripts/test.sh runs the import checks on the 32-bit files directly.
set(velmora_shipped $<TARGET_FILE:Sorvex> $<TARGET_FILE:Halvane0> $<TARGET_FILE:Halvane4>)
if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  # Only what Windows 2000 SP4 exports is imported, and the headers ask for 5.0.
  add_test(NAME Static.Windows2000Imports
           COMMAND bash "${CMAKE_SOURCE_DIR}/tests/static/imports.sh" win2000 "${CMAKE_OBJDUMP}"
                   "${CMAKE_SOURCE_DIR}/tests/data" ${velmora_shipped})
  set_tests_properties(Static.Windows2000Imports PROPERTIES LABELS static)
endif()
# No DLL that is not a known DLL is imported at load time (a copy beside the program would
# be loaded), and no DLL is loaded at run time except by full path.
add_test(NAME Static.KnownDllImports
         COMMAND bash "${CMAKE_SOURCE_DIR}/tests/static/imports.sh" known-dlls "${CMAKE_OBJDUMP}"
                 "${CMAKE_SOURCE_DIR}/tests/data" "${CMAKE_SOURCE_DIR}/resources/Sorvex.manifest"
                 ${velmora_shipped})
add_test(NAME Static.DllLoadsByFullPath
         COMMAND bash "${CMAKE_SOURCE_DIR}/tests/static/dll-loads.sh" "${CMAKE_SOURCE_DIR}")
set_tests_properties(Static.KnownDllImports Static.DllLoadsByFullPath PROPERTIES LABELS static)

# DLLs of someone else's beside the program: none of them may be loaded.
add_test(NAME EndToEnd.DllPlanting
         COMMAND bash "${CMAKE_SOURCE_DIR}/tests/e2e/dll-planting.sh" "${CMAKE_BINARY_DIR}")
# The one-key clean on the older systems, as Wine reports them: Windows 2000 and XP for the
# 32-bit program (32-bit prefixes), XP x64 for the 64-bit build; scripts/test.sh adds Server
# 2003 for the 32-bit program under WoW64.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(velmora_old_systems winxp64)
else()
  set(velmora_old_systems win2k winxp)
endif()
foreach(version ${velmora_old_systems})
  add_test(NAME EndToEnd.OldWindows.${version}
           COMMAND bash "${CMAKE_SOURCE_DIR}/tests/e2e/old-windows.sh" "${CMAKE_BINARY_DIR}" ${version})
  set_tests_properties(EndToEnd.OldWindows.${version} PROPERTIES RUN_SERIAL TRUE TIMEOUT 900)
endforeach()
set_tests_properties(EndToEnd.DllPlanting PROPERTIES RUN_SERIAL TRUE TIMEOUT 900)
