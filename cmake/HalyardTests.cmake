# SPDX-License-Identifier: GPL-3.0-or-later
include(GoogleTest)

# Each case is its own ctest entry, so `ctest -j` spreads them over the cores. A suite that prepares
# something costly once for all its cases (a Wine prefix, the sample workspace) stays one entry.
function(halyard_discover_tests target prefix)
    cmake_parse_arguments(arg "" "" "WHOLE_SUITES;PROPERTIES" ${ARGN})
    set(filter "")
    foreach(suite ${arg_WHOLE_SUITES})
        string(APPEND filter ":${suite}.*")
        add_test(NAME ${prefix}.${suite} COMMAND ${target} --gtest_filter=${suite}.*)
        # Such a suite is long: started early, it runs beside the many short cases.
        set_tests_properties(${prefix}.${suite} PROPERTIES COST 500)
        if(arg_PROPERTIES)
            set_tests_properties(${prefix}.${suite} PROPERTIES ${arg_PROPERTIES})
        endif()
    endforeach()
    set(extra)
    if(filter)
        string(SUBSTRING "${filter}" 1 -1 filter)
        set(extra TEST_FILTER "-${filter}")
    endif()
    if(arg_PROPERTIES)
        list(APPEND extra PROPERTIES ${arg_PROPERTIES})
    endif()
    gtest_discover_tests(${target} TEST_PREFIX "${prefix}." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${extra})
endfunction()
