# mb_add_gtest(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>]
#              [WINDOWS_ONLY | NATIVE_ONLY] [SERIAL] [TIMEOUT <s>])
# SERIAL: the program drives windows on the shared desktop (all Windows test programs run one at a time).
# TIMEOUT: seconds for one case natively, for the whole program under Wine. Limits sit a few times
# above what a test takes on a loaded machine, so that a hang fails in a minute, not in ten; the
# default covers everything that ends within a few seconds (ASan's slowest cases take about 13).
# One test program. Natively each test case is its own ctest test; under Wine the whole
# program is one ctest test (discovery would start Wine once per case).
include(GoogleTest)
function(mb_add_gtest name)
  cmake_parse_arguments(T "WINDOWS_ONLY;NATIVE_ONLY;SERIAL" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(MB_FUZZ)
    return()  # the fuzz build runs only the fuzzers
  endif()
  if(T_WINDOWS_ONLY AND NOT MB_WINDOWS)
    return()
  endif()
  if(T_NATIVE_ONLY AND MB_WINDOWS)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 60)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(MB_WINDOWS)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "windows;${T_LABELS}")
    # Under Wine every program shares one desktop and one focus: windows of one test
    # program can take the activation another one checks, so they run one at a time.
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK desktop)
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "native;${T_LABELS}")
  endif()
endfunction()

# mb_add_fuzzer(<name> SOURCES <files...> LIBS <targets...> SEEDS <dir>)
# A libFuzzer target; ctest runs it for MB_FUZZ_SECONDS on a scratch copy of its seeds.
set(MB_FUZZ_SECONDS 60 CACHE STRING "How long ctest runs each fuzzer")
function(mb_add_fuzzer name)
  cmake_parse_arguments(F "" "SEEDS" "SOURCES;LIBS" ${ARGN})
  if(NOT MB_FUZZ)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
            sh -c "rm -rf '${work}' && mkdir -p '${work}' && cp -r '${F_SEEDS}'/. '${work}'/ && exec \"$0\" -max_total_time=${MB_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 '${work}'"
            $<TARGET_FILE:${name}>)
  # The run ends by itself after its time; the margin covers start-up and the final report.
  math(EXPR limit "${MB_FUZZ_SECONDS} + 60")
  set_tests_properties(${name} PROPERTIES TIMEOUT ${limit} LABELS fuzz)
endfunction()

# Adds every subfolder of the calling folder that has a CMakeLists.txt, in name order.
function(mb_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
