# GoogleTest: Debian's package natively; for MinGW, built here from Debian's source package.
if(CMAKE_CROSSCOMPILING)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
    add_library(GTest::gmock ALIAS gmock)
  endif()
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# kv_add_gtest(NAME SOURCES... LIBS ...): one test program. Native programs are listed case by case;
# a Windows program runs as one CTest test, since every Wine start costs seconds.
function(kv_add_gtest name)
  cmake_parse_arguments(arg "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE KV_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    # A test program that hangs under Wine must fail the run, not use up its time.
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30)
  endif()
endfunction()

# kv_add_fuzzer(NAME SOURCE FILE CORPUS DIR... LIBS ...): a libFuzzer target over LLVMFuzzerTestOneInput.
# With KV_FUZZ (clang) it is fuzzed for KV_FUZZ_SECONDS from the corpus folders (crash inputs are kept
# in the first); in every other native build the same source is linked with a small driver that
# replays each file of the corpus folders (kept crash inputs included) as a regression test.
set(KV_FUZZ_SECONDS 60 CACHE STRING "How long each fuzz target runs under ctest in the fuzz build")
function(kv_add_fuzzer name)
  cmake_parse_arguments(arg "" "SOURCE" "CORPUS;LIBS" ${ARGN})
  if(CMAKE_CROSSCOMPILING)
    return()
  endif()
  if(KV_FUZZ)
    add_executable(${name} ${arg_SOURCE})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${arg_LIBS})
    set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
    add_test(NAME ${name}
             COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
                     ${CMAKE_SOURCE_DIR}/scripts/run-fuzzer.sh $<TARGET_FILE:${name}> ${work} ${KV_FUZZ_SECONDS}
                     ${arg_CORPUS})
  else()
    add_executable(${name}_replay ${arg_SOURCE} ${CMAKE_SOURCE_DIR}/tests/fuzz_replay_main.cpp)
    target_link_libraries(${name}_replay PRIVATE ${arg_LIBS})
    add_test(NAME ${name}_replay COMMAND ${name}_replay ${arg_CORPUS})
  endif()
endfunction()
