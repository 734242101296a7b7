# How the test executables register their tests with ctest.
#
#   kestrix_discover_tests(<target> [LONG_RUNS] [REALTIME <gtest pattern>...]
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
# LONG_RUNS: the target's realtime tests drive many edits on decks of their own (a whole list
# assembled, a run killed and resumed), minutes each. Their label is `realtime-longrun` (which
# `-L realtime` and `-LE realtime` match as well, label filters being regular expressions) and
# their resource lock `longrun`: one long run may go on beside one other realtime test, never
# two of either kind at once, so that the suite's real time is not their sum.
include(GoogleTest)

set(KESTRIX_REALTIME_SUITES "*RealTime.*:*RealTime/*:*/*RealTime.*")

function(kestrix_discover_tests target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "LONG_RUNS" "" "REALTIME;PROPERTIES")
  set(realtime ${KESTRIX_REALTIME_SUITES} ${arg_REALTIME})
  list(JOIN realtime ":" realtime)
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST TEST_FILTER "-${realtime}"
                       PROPERTIES ${arg_PROPERTIES})
  if(arg_LONG_RUNS)
    set(label realtime-longrun)
    set(lock longrun)
  else()
    set(label realtime)
    set(lock realtime)
  endif()
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST TEST_FILTER "${realtime}"
                       PROPERTIES ${arg_PROPERTIES} LABELS ${label} RESOURCE_LOCK ${lock})
endfunction()
