# Installing the Windows build: the DLL and the harness, the header, the import libraries
# for mingw (libZelkor.dll.a) and MSVC (Zelkor.lib, made from Zelkor.def by dlltool), and
# a CMake package giving Zelkor::Zelkor.

include(CMakePackageConfigHelpers)

# The linker writes the export list as it links; the table test checks it against the header.
set(ZELKOR_DEF ${CMAKE_BINARY_DIR}/lib/Zelkor.def)
set(ZELKOR_MSVC_IMPLIB ${CMAKE_BINARY_DIR}/lib/Zelkor.lib)
set_target_properties(Zelkor PROPERTIES ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
target_link_options(Zelkor PRIVATE -Wl,--output-def,${ZELKOR_DEF})
find_program(ZELKOR_DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
add_custom_command(TARGET Zelkor POST_BUILD
  COMMAND ${ZELKOR_DLLTOOL} -m i386:x86-64 -d ${ZELKOR_DEF} -D Zelkor.dll -l ${ZELKOR_MSVC_IMPLIB}
  COMMENT "Zelkor.lib for MSVC linkers" VERBATIM)

install(TARGETS Zelkor zelkorctl zk_helper RUNTIME DESTINATION bin ARCHIVE DESTINATION lib)
install(FILES include/zelkor.h DESTINATION include)
install(FILES ${ZELKOR_DEF} ${ZELKOR_MSVC_IMPLIB} DESTINATION lib)

configure_package_config_file(cmake/package/ZelkorConfig.cmake.in ${CMAKE_BINARY_DIR}/ZelkorConfig.cmake
  INSTALL_DESTINATION lib/cmake/Zelkor)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/ZelkorConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/ZelkorConfig.cmake ${CMAKE_BINARY_DIR}/ZelkorConfigVersion.cmake
  DESTINATION lib/cmake/Zelkor)

# A consumer project finds the installed package, links and runs under Wine.
add_test(NAME package_consumer COMMAND bash ${CMAKE_SOURCE_DIR}/tests/package/run.sh
  ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
set_tests_properties(package_consumer PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300
  ENVIRONMENT "${ZELKOR_WINE_ENV}")

# The host packages, at the project's version: scripts/package.sh builds the NuGet package and
# the Python wheel into packages/ with Debian's tools (nuget under mono, mcs, python3-build);
# the checks install each as a host would and use it.
set(ZELKOR_PACKAGE_PYTHON /usr/bin/python3 CACHE FILEPATH "Python with python3-build, twine, pip and python3-clang")
add_test(NAME packages_build COMMAND ${CMAKE_COMMAND} -E env PYTHON=${ZELKOR_PACKAGE_PYTHON}
  bash ${CMAKE_SOURCE_DIR}/scripts/package.sh ${CMAKE_BINARY_DIR})
set_tests_properties(packages_build PROPERTIES FIXTURES_SETUP packages TIMEOUT 300)
foreach(kind nuget wheel)
  add_test(NAME package_${kind} COMMAND ${ZELKOR_PACKAGE_PYTHON} ${CMAKE_SOURCE_DIR}/tests/package/check_packages.py
    ${kind} ${CMAKE_BINARY_DIR})
  set_tests_properties(package_${kind} PROPERTIES FIXTURES_REQUIRED packages TIMEOUT 300)
endforeach()
