# The real-world PDFs the tests convert. A test skips its corpus part when
# the folder is missing, or fails when the environment sets CI=true.
set(TRANCEL_CORPUS_DIR ${CMAKE_SOURCE_DIR}/../shared/corpus/pdf CACHE PATH
    "Folder of real-world PDF files the tests convert")

# project_test(<name> SOURCES ... [LIBS ...])
# Builds one GoogleTest executable and registers its tests with CTest.
# Tests run from the build tree with the source tree's fixtures reachable
# through TRANCEL_SOURCE_DIR, the corpus through TRANCEL_CORPUS_DIR, and a
# scratch folder per test binary.
function(project_test name)
  cmake_parse_arguments(PT "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${PT_SOURCES})
  project_warnings(${name})
  target_link_libraries(${name} PRIVATE ${PT_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    TRANCEL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    TRANCEL_BINARY_DIR="${CMAKE_BINARY_DIR}"
    TRANCEL_CORPUS_DIR="${TRANCEL_CORPUS_DIR}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT
      "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp")
endfunction()
