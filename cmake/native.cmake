# Native build: the modules over the simulated machine, the hermetic suite, benchmarks.

file(GLOB ZELKOR_SIM_SOURCES CONFIGURE_DEPENDS src/platform/sim/*.cpp)
add_library(zelkor_native STATIC ${ZELKOR_MODULE_SOURCES} ${ZELKOR_SIM_SOURCES})
target_include_directories(zelkor_native PUBLIC ${ZELKOR_INCLUDE_DIRS})
# Each module registers its state's reset for the test suite (common/reset_registry.h).
target_compile_definitions(zelkor_native PUBLIC ZELKOR_TEST_RESETS)
find_package(Threads REQUIRED)
target_link_libraries(zelkor_native PUBLIC Threads::Threads)
zelkor_coverage(zelkor_native)

file(GLOB_RECURSE ZELKOR_TEST_SOURCES CONFIGURE_DEPENDS tests/*.cpp tests/*.c)
list(FILTER ZELKOR_TEST_SOURCES EXCLUDE REGEX "/tests/wine/")
list(FILTER ZELKOR_TEST_SOURCES EXCLUDE REGEX "/tests/fuzz/")
list(FILTER ZELKOR_TEST_SOURCES EXCLUDE REGEX "/tests/package/")
# zelkorctl's timeline (CSV and plot) is portable code, tested here with the modules.
file(GLOB ZELKOR_TIMELINE_SOURCES CONFIGURE_DEPENDS tools/timeline/*.cpp)
add_executable(zelkor_tests ${ZELKOR_TEST_SOURCES} ${ZELKOR_TIMELINE_SOURCES})
target_include_directories(zelkor_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/tools/timeline)
target_link_libraries(zelkor_tests PRIVATE zelkor_native GTest::gtest_main)
gtest_discover_tests(zelkor_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)

if(ZELKOR_SANITIZE STREQUAL "")
  find_package(benchmark QUIET)
  if(benchmark_FOUND)
    file(GLOB ZELKOR_BENCH_SOURCES CONFIGURE_DEPENDS bench/*.cpp)
    add_executable(zelkor_bench ${ZELKOR_BENCH_SOURCES})
    target_link_libraries(zelkor_bench PRIVATE zelkor_native benchmark::benchmark)
  endif()
endif()

# The C# and Python bindings are generated from include/zelkor.h and checked in; these
# check them against the header (plain native build only: no product code runs here).
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND AND ZELKOR_SANITIZE STREQUAL "")
  foreach(step fresh layout csharp)
    add_test(NAME bindings_${step} COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/bindings/check_bindings.py
      ${step} --cc ${CMAKE_C_COMPILER})
    set_tests_properties(bindings_${step} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
  endforeach()
endif()
