# How the test executables register their tests with ctest.
#
#   kestrix_discover_tests(<target> [REALTIME <gtest pattern>...] [LONG_RUNS <gtest pattern>...]
#                          [PROPERTIES <name> <value>...])
#
# A test whose verdict depends on the wall clock (an edit checked on the tape to the frame, a
# bound such as "within 2 s", a wait in real time) is a realtime test: it gets the ctest label
# `realtime` and the resource lock `realtime`, so no two of them ever run at once, and only the
# Release pass runs them (`ctest -L realtime`); the sanitizer passes run `ctest -LE realtime`.
# Every test of a suite whose name ends in RealTime is one; a test of another suite is made one
# by listing it under REALTIME as a gtest filter pattern (Suite.Test, or Suite.* for a whole
# suite, */Suite.* for a parameterised one).
#
# LONG_RUNS: realtime tests that take a minute or more of real time on decks of their own (a
# whole list assembled, a run killed and resumed, a wait of 50 s), as gtest patterns (* for all
# the target's tests). Their label is `realtime-longrun` (which `-L realtime` and
# `-LE realtime` match as well, label filters being regular expressions) and their resource
# lock `longrun`: one long run may go on beside one other realtime test, never two of either
# kind at once, so that the suite's real time is not their sum.
include(GoogleTest)

set(KESTRIX_REALTIME_SUITES "*RealTime.*:*RealTime/*:*/*RealTime.*")

function(kestrix_discover_tests target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "REALTIME;LONG_RUNS;PROPERTIES")
  set(realtime ${KESTRIX_REALTIME_SUITES} ${arg_REALTIME} ${arg_LONG_RUNS})
  list(JOIN realtime ":" realtime)
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST TEST_FILTER "-${realtime}"
                       PROPERTIES ${arg_PROPERTIES})
  if(arg_LONG_RUNS)
    list(JOIN arg_LONG_RUNS ":" long)
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST TEST_FILTER "${realtime}-${long}"
                         PROPERTIES ${arg_PROPERTIES} LABELS realtime RESOURCE_LOCK realtime)
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST TEST_FILTER "${long}"
                         PROPERTIES ${arg_PROPERTIES} LABELS realtime-longrun RESOURCE_LOCK longrun)
  else()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST TEST_FILTER "${realtime}"
                         PROPERTIES ${arg_PROPERTIES} LABELS realtime RESOURCE_LOCK realtime)
  endif()
endfunction()
