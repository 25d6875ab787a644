# kalder_add_test(NAME SOURCES ... LIBS ... [LABELS ...])
# A GoogleTest executable whose cases are registered with CTest one by one. Label "threaded"
# marks tests that the ThreadSanitizer stage runs; "e2e" those that start the simulator.
function(kalder_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  # A sanitizer build never runs these: not building them saves the sanitizer stage's time.
  if(KALDER_SANITIZE AND "no-sanitizer" IN_LIST T_LABELS)
    return()
  endif()
  add_executable(${name} ${T_SOURCES} $<TARGET_OBJECTS:kalder_hang_watchdog>)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE
    KALDER_PROGRAM_DIR="${KALDER_PROGRAM_DIR}"
    KALDER_TEST_CACHE_DIR="${CMAKE_BINARY_DIR}/test-cache")
  set(props TIMEOUT 300)
  if(T_LABELS)
    # Test discovery flattens a list of labels, so several labels travel as one joined label;
    # `ctest -L` matches by regular expression, so -L threaded and -L e2e both still select it.
    list(JOIN T_LABELS "," joined)
    list(APPEND props LABELS "${joined}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
  set_property(GLOBAL APPEND PROPERTY KALDER_TEST_TARGETS ${name})
  if("threaded" IN_LIST T_LABELS)
    set_property(GLOBAL APPEND PROPERTY KALDER_THREADED_TEST_TARGETS ${name})
  endif()
endfunction()

# kalder_add_fuzz(NAME SOURCES ... LIBS ...)
# A libFuzzer target, built only with KALDER_FUZZ. The test script runs every fuzz_* program
# in the program folder for a few seconds.
function(kalder_add_fuzz name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT KALDER_FUZZ)
    return()
  endif()
  add_executable(fuzz_${name} ${F_SOURCES})
  target_link_libraries(fuzz_${name} PRIVATE ${F_LIBS})
  target_include_directories(fuzz_${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
endfunction()
