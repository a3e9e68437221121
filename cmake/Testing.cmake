# One helper registers every test executable with ctest. Test discovery is
# avoided on purpose: under Wine it would run each executable at build time.
enable_testing()

if(WIN32)
  # GoogleTest from the Debian source package, built with the cross compiler.
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(VANTREL_GTEST_MAIN gtest_main)
else()
  find_package(GTest REQUIRED)
  set(VANTREL_GTEST_MAIN GTest::gtest_main)
endif()

# vantrel_add_test(NAME SOURCES... [LIBS libs...] [FIXTURES fixtures...])
function(vantrel_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;FIXTURES;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} ${VANTREL_GTEST_MAIN})
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  if(WIN32)
    # Wine tests share one prefix made by the vantrel_wine_prefix fixture.
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "wine_prefix;${T_FIXTURES}"
                                            RESOURCE_LOCK wine_registry)
  elseif(T_FIXTURES)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${T_FIXTURES}")
  endif()
  if(T_PROPERTIES)
    set_tests_properties(${name} PROPERTIES ${T_PROPERTIES})
  endif()
endfunction()

if(WIN32)
  # A throwaway Wine prefix inside the build tree, made once per test run.
  add_test(NAME vantrel_wine_prefix
           COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-prefix.sh)
  set_tests_properties(vantrel_wine_prefix PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 300)
endif()
