# The tests that build for Windows: the core unit tests and the Win32
# platform tests, as .exe files in build-windows/tests. scripts/test-windows.sh
# runs them under wine, every wine process under setpriv --bounding-set
# -sys_time; ctest does not (running the programs at build time
# to list their tests would need wine in every build).

# GoogleTest from Debian's source package, built with the same compiler.
set(ORVIK_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${ORVIK_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The test doubles and the shared test helpers that need no POSIX system.
add_library(orvik_test_fakes STATIC ${CMAKE_SOURCE_DIR}/tests/fakes/fake_text_files.cpp
            ${CMAKE_SOURCE_DIR}/tests/fakes/fake_system_clock.cpp
            ${CMAKE_SOURCE_DIR}/tests/support/dates.cpp
            ${CMAKE_SOURCE_DIR}/tests/support/temp_dir.cpp
            ${CMAKE_SOURCE_DIR}/tests/support/file_text.cpp)
target_include_directories(orvik_test_fakes PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(orvik_test_fakes PUBLIC orvik_platform orvik_core)
orvik_target_defaults(orvik_test_fakes)

# orvik_add_test(NAME SOURCES ... LIBS ... LABELS ...): the labels are
# ignored here; scripts/test-windows.sh runs every executable.
function(orvik_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} orvik_test_fakes GTest::gtest GTest::gmock
                        GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  orvik_target_defaults(${name})
endfunction()

add_subdirectory(${CMAKE_SOURCE_DIR}/tests/core ${CMAKE_BINARY_DIR}/tests-core)
add_subdirectory(${CMAKE_SOURCE_DIR}/tests/platform/win32 ${CMAKE_BINARY_DIR}/tests-win32)

# The Windows-only pieces above the platform layer.
orvik_add_test(win32_main_loop_test
               SOURCES ${CMAKE_SOURCE_DIR}/tests/windows/win32_main_loop_test.cpp
               LIBS orvik_service_win32)

# The desktop program's wiring on test doubles with the real windows: it
# needs a display, so tests/windows/desktop_windows_e2e.sh runs it under Xvfb
# (kept out of build-windows/tests).
add_executable(desktop_program_test ${CMAKE_SOURCE_DIR}/tests/windows/desktop_program_test.cpp
               ${CMAKE_SOURCE_DIR}/tests/fakes/fake_serial_link.cpp
               ${CMAKE_SOURCE_DIR}/tests/fakes/service/recording_decoders.cpp)
target_link_libraries(desktop_program_test PRIVATE orvik_ui_win32 orvik_test_fakes GTest::gtest
                      GTest::gtest_main)
target_include_directories(desktop_program_test PRIVATE ${CMAKE_SOURCE_DIR}/tests)
set_target_properties(desktop_program_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                      ${CMAKE_BINARY_DIR}/test-programs)
orvik_target_defaults(desktop_program_test)
orvik_add_test(masked_field_test SOURCES ${CMAKE_SOURCE_DIR}/tests/windows/masked_field_test.cpp
               LIBS orvik_ui_win32)

# The programs' resources, read back from the .exe files in build-windows/bin.
orvik_add_test(program_resources_test
               SOURCES ${CMAKE_SOURCE_DIR}/tests/windows/program_resources_test.cpp
               LIBS orvik_version version)
target_include_directories(program_resources_test PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(program_resources_test PRIVATE UNICODE _UNICODE)
add_dependencies(program_resources_test orvik-gpstime orvik-gpstimed)

# The windows' layout at the process's DPI and twice it, with the desktop
# program's manifest (per-monitor DPI aware as the program is): it needs a
# display, so tests/windows/desktop_windows_e2e.sh runs it under Xvfb at
# several scalings (kept out of build-windows/tests).
add_executable(window_layout_test ${CMAKE_SOURCE_DIR}/tests/windows/window_layout_test.cpp
               $<TARGET_OBJECTS:orvik-gpstime-resources>)
target_link_libraries(window_layout_test PRIVATE orvik_ui_win32 GTest::gtest GTest::gtest_main)
target_include_directories(window_layout_test PRIVATE ${CMAKE_SOURCE_DIR}/tests)
set_target_properties(window_layout_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                      ${CMAKE_BINARY_DIR}/test-programs)
orvik_target_defaults(window_layout_test)

# Helpers of tests/windows/desktop_beside_service_e2e.sh: a stand-in for the
# time service, and a reader of another program's window texts.
add_executable(stub_time_service ${CMAKE_SOURCE_DIR}/tests/windows/stub_time_service.cpp)
target_link_libraries(stub_time_service PRIVATE orvik_core ws2_32 advapi32)
add_executable(window_texts ${CMAKE_SOURCE_DIR}/tests/windows/window_texts.cpp)
target_link_options(window_texts PRIVATE -municode)
foreach(helper stub_time_service window_texts)
  set_target_properties(${helper} PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                        ${CMAKE_BINARY_DIR}/test-programs)
  orvik_target_defaults(${helper})
endforeach()
