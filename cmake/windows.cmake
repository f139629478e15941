# Windows build: Zelkor.dll over the Win32 platform, the host harness, and the
# integration suite that runs under Wine.

file(GLOB ZELKOR_WIN32_SOURCES CONFIGURE_DEPENDS src/platform/win32/*.cpp)
add_library(Zelkor SHARED ${ZELKOR_MODULE_SOURCES} ${ZELKOR_WIN32_SOURCES})
set_target_properties(Zelkor PROPERTIES PREFIX "" OUTPUT_NAME "Zelkor")
target_include_directories(Zelkor PRIVATE ${ZELKOR_INCLUDE_DIRS})
target_compile_definitions(Zelkor PRIVATE ZELKOR_BUILDING UNICODE _UNICODE _WIN32_WINNT=0x0A00)
# Runtime and winpthread linked in, so that the DLL imports system DLLs only.
target_link_options(Zelkor PRIVATE -static -static-libgcc -static-libstdc++)
target_link_libraries(Zelkor PRIVATE advapi32)
zelkor_coverage(Zelkor)

# What the harness and the integration suite share: the typed loader of Zelkor.dll's
# exports and the helper-process launcher.
set(ZELKOR_TOOLS_COMMON tools/common/zelkor_exports.cpp tools/common/helper_launch.cpp)

file(GLOB ZELKORCTL_SOURCES CONFIGURE_DEPENDS tools/zelkorctl/*.cpp tools/timeline/*.cpp)
add_executable(zelkorctl ${ZELKORCTL_SOURCES} ${ZELKOR_TOOLS_COMMON})
target_include_directories(zelkorctl PRIVATE ${CMAKE_SOURCE_DIR}/include ${CMAKE_SOURCE_DIR}/tools/zelkorctl
  ${CMAKE_SOURCE_DIR}/tools/common ${CMAKE_SOURCE_DIR}/tools/timeline)
target_compile_definitions(zelkorctl PRIVATE UNICODE _UNICODE _WIN32_WINNT=0x0A00)
target_link_options(zelkorctl PRIVATE -static -municode)
add_dependencies(zelkorctl Zelkor)

# A tiny program that tests and the demo start under chosen names (a game, a hog, a service).
file(GLOB ZELKOR_HELPER_SOURCES CONFIGURE_DEPENDS tools/zk_helper/*.cpp)
add_executable(zk_helper ${ZELKOR_HELPER_SOURCES})
target_link_options(zk_helper PRIVATE -static -municode)

file(GLOB ZELKOR_WINE_TEST_SOURCES CONFIGURE_DEPENDS tests/wine/*.cpp tests/sweep/*rows*.cpp)
# The demo's test reads the timeline the demo records.
list(APPEND ZELKOR_WINE_TEST_SOURCES tools/timeline/timeline_csv.cpp tools/timeline/timeline_reader.cpp
  tools/timeline/timeline_effect.cpp)
# The guarded page read is proven on its own: no export can make a page fail to load.
add_executable(zelkor_wine_tests ${ZELKOR_WINE_TEST_SOURCES} ${ZELKOR_TOOLS_COMMON} src/platform/win32/guarded_read.cpp)
target_include_directories(zelkor_wine_tests PRIVATE ${CMAKE_SOURCE_DIR}/include ${CMAKE_SOURCE_DIR}/tests/wine
  ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/tools/common ${CMAKE_SOURCE_DIR}/tools/timeline ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(zelkor_wine_tests PRIVATE UNICODE _UNICODE _WIN32_WINNT=0x0A00)
target_link_libraries(zelkor_wine_tests PRIVATE GTest::gtest_main)
target_link_options(zelkor_wine_tests PRIVATE -static)
add_dependencies(zelkor_wine_tests Zelkor zk_helper zelkorctl)

# Each build tree runs Wine in a prefix of its own, so that its tests (which lower and
# kill processes) never meet another run's processes. Wine keeps a server per prefix;
# starting it once up front saves every test a wait.
set(ZELKOR_WINE_ENV "WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix" "WINEDEBUG=-all")
add_test(NAME wine_prefix_up COMMAND sh -c "wineserver -p >/dev/null 2>&1; wine wineboot </dev/null >/dev/null 2>&1; exit 0")
set_tests_properties(wine_prefix_up PROPERTIES FIXTURES_SETUP wine TIMEOUT 300 ENVIRONMENT "${ZELKOR_WINE_ENV}")
add_test(NAME wine_suite COMMAND zelkor_wine_tests)
set_tests_properties(wine_suite PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 900
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin ENVIRONMENT "${ZELKOR_WINE_ENV}")
add_test(NAME wine_prefix_down COMMAND sh -c "wineserver -k >/dev/null 2>&1; exit 0")
set_tests_properties(wine_prefix_down PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "${ZELKOR_WINE_ENV}")

find_program(ZELKOR_OBJDUMP NAMES x86_64-w64-mingw32-objdump REQUIRED)
add_test(NAME dll_tables COMMAND bash ${CMAKE_SOURCE_DIR}/tests/contract/check_dll_tables.sh
  $<TARGET_FILE:Zelkor> ${ZELKOR_OBJDUMP} ${CMAKE_SOURCE_DIR}/include/zelkor.h ${CMAKE_BINARY_DIR}/lib/Zelkor.def)
include(cmake/package.cmake)
