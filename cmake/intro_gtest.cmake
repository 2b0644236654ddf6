# intro_gtest(TARGET LABEL [TIMEOUT SECONDS]): a GoogleTest program as CTest tests under LABEL.
# Natively every test case is a CTest test of its own (gtest_discover_tests runs the program to
# list them). A cross build cannot run it while building, so there the program is one test, run
# through CMAKE_CROSSCOMPILING_EMULATOR (e.g. -DCMAKE_CROSSCOMPILING_EMULATOR=wine64) if given.
include(GoogleTest)

function(intro_gtest target label)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "TIMEOUT" "")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "intro_gtest(${target} ${label}): unknown arguments ${arg_UNPARSED_ARGUMENTS}; "
                        "expected intro_gtest(TARGET LABEL [TIMEOUT SECONDS])")
  endif()
  set(properties LABELS ${label})
  if(arg_TIMEOUT)
    list(APPEND properties TIMEOUT ${arg_TIMEOUT})
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES ${properties})
  else()
    gtest_discover_tests(${target} PROPERTIES ${properties} DISCOVERY_TIMEOUT 60)
  endif()
  # The unit tests' programs, for a build that makes only those (target unit_tests).
  if(label STREQUAL "unit")
    set_property(GLOBAL APPEND PROPERTY INTRO_UNIT_TEST_PROGRAMS ${target})
  endif()
endfunction()

# intro_test(TARGET LABEL SOURCES file... [LINK library...] [TIMEOUT SECONDS]): the usual test
# program in one call: an executable of SOURCES on GoogleTest's main, linked to LINK with the
# warnings on, registered through intro_gtest. Anything more (include folders, definitions) is set
# on TARGET afterwards.
function(intro_test target label)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "TIMEOUT" "SOURCES;LINK")
  if(arg_UNPARSED_ARGUMENTS OR NOT arg_SOURCES)
    message(FATAL_ERROR "intro_test(${target} ${label}): expected "
                        "intro_test(TARGET LABEL SOURCES file... [LINK library...] [TIMEOUT SECONDS])")
  endif()
  add_executable(${target} ${arg_SOURCES})
  target_link_libraries(${target} PRIVATE ${arg_LINK} GTest::gtest_main intro_warnings)
  if(arg_TIMEOUT)
    intro_gtest(${target} ${label} TIMEOUT ${arg_TIMEOUT})
  else()
    intro_gtest(${target} ${label})
  endif()
endfunction()
