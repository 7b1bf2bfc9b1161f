# nox_target_warnings(target): the warning set every target of ours builds with.
function(nox_target_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wold-style-cast -Wcast-align -Wunused -Woverloaded-virtual
                                           -Wformat=2 -Wimplicit-fallthrough)
  if(NOX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# nox_add_test(name SOURCES ... LIBS ...): one GoogleTest executable registered with CTest.
function(nox_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  nox_target_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "NOX_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data")
endfunction()
