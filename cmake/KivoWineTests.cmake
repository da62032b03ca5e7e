# Test programs of the Windows build run under Wine, one ctest entry per program. The
# fixture wine_env starts the display and the wineserver once for the whole run.
set(KIVO_WINE_STATE ${CMAKE_BINARY_DIR}/wine-state)
set(KIVO_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix of the test run")
set(KIVO_HARNESS ${CMAKE_SOURCE_DIR}/tests/harness)
# The stand-in album service that tests needing the network reach as their HTTP proxy.
set(KIVO_SERVICE_STATE ${CMAKE_BINARY_DIR}/service-state)
# Where test programs put screenshots and other files worth a look after the run.
set(KIVO_TEST_ARTIFACTS ${CMAKE_BINARY_DIR}/test-artifacts)

# kivo_add_wine_test(NAME SOURCES... [LIBS libs...] [ARGS args...] [NEEDS_SERVICE] [OWN_MAIN])
function(kivo_add_wine_test name)
  cmake_parse_arguments(ARG "NEEDS_SERVICE;OWN_MAIN" "" "SOURCES;LIBS;ARGS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_OWN_MAIN)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest)
  else()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  endif()
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/tools)
  if(NOT KIVO_RUN_WINE_TESTS)
    return()
  endif()
  add_test(NAME ${name}
           COMMAND ${KIVO_HARNESS}/wine-run ${KIVO_WINE_STATE} $<TARGET_FILE:${name}> ${ARG_ARGS}
                   --gtest_output=xml:Z:${KIVO_TEST_XML_DIR}/${name}.xml)
  set(fixtures wine_env)
  set(environment "KIVO_TEST_ARTIFACTS=Z:${KIVO_TEST_ARTIFACTS}")
  if(ARG_NEEDS_SERVICE)
    list(APPEND fixtures kivo_service)
    list(APPEND environment "KIVO_SERVICE_STATE=${KIVO_SERVICE_STATE}")
  endif()
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${fixtures}" ENVIRONMENT "${environment}" TIMEOUT 300)
endfunction()
