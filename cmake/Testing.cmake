# Test helpers shared by every subsystem.
#
# qern_add_gtest(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [LABELS l1] [TIMEOUT s])
#   builds a GoogleTest executable into bin/ and registers each test case with ctest.
#   Under the win32 build ctest runs it through the Wine wrapper (the crossing emulator).
#
# qern_add_script_test(NAME COMMAND cmd args...)  registers a plain command (bash script).
#
# qern_add_camsim_test(NAME [GTEST] COMMAND cmd args... [CAMSIM camsim options...] [SETUP name] [LABELS l] [TIMEOUT s])
#   runs the command beside a camera simulator of its own (tools/test/with-camsim) started with the
#   CAMSIM options; SETUP reaches the test as QERN_CAMSIM_SETUP (see tests/support/Camsim.h). A
#   command that starts with a target of the win32 build runs under Wine. GTEST: the command is a
#   GoogleTest run, judged by its verdict line.
enable_testing()

if(QERN_NATIVE)
  find_package(GTest REQUIRED)
  set(QERN_GTEST_LIBS GTest::gtest GTest::gmock)
elseif(QERN_WIN32)
  # Debian ships GoogleTest as source; build it with the cross compiler.
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(QERN_GTEST_LIBS gtest gmock)
endif()

include(GoogleTest)

# A GoogleTest run passes only when it says so: under Wine a process that crashed after its last
# output can still end with exit code 0.
set(QERN_GTEST_VERDICT PASS_REGULAR_EXPRESSION "\\[  PASSED  \\]" FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")

function(qern_add_gtest name)
  if(NOT (QERN_NATIVE OR QERN_WIN32))
    return()
  endif()
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} ${QERN_GTEST_LIBS})
  if(TARGET gtest_main_qern)
    target_link_libraries(${name} PRIVATE gtest_main_qern)
  endif()
  qern_warnings(${name})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}" ${QERN_GTEST_VERDICT}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endfunction()

# qern_add_fuzz_target(NAME LIBS lib1 lib2): a libFuzzer target NAME from NAME.cpp (fuzz build only);
# run-all runs every bin/fuzz_* it finds.
function(qern_add_fuzz_target name)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  add_executable(${name} ${name}.cpp)
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()

function(qern_add_script_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "COMMAND;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${T_COMMAND})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
endfunction()

function(qern_add_camsim_test name)
  cmake_parse_arguments(T "GTEST" "TIMEOUT;SETUP" "COMMAND;CAMSIM;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  list(POP_FRONT T_COMMAND first)
  if(TARGET ${first})
    set(first $<TARGET_FILE:${first}>)
    if(QERN_WIN32)
      set(first ${QERN_ROOT}/tools/wine/winerun ${first})
    endif()
  endif()
  add_test(NAME ${name} COMMAND ${QERN_ROOT}/tools/test/with-camsim ${QERN_NATIVE_BIN_DIR} ${T_CAMSIM} --
           env QERN_CAMSIM_SETUP=${T_SETUP} ${first} ${T_COMMAND})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "camsim;${T_LABELS}")
  if(T_GTEST)
    set_tests_properties(${name} PROPERTIES ${QERN_GTEST_VERDICT})
  endif()
endfunction()
