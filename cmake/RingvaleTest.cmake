# ringvale_test(NAME source LINKS ...): one Qt Test executable per test file, registered with
# ctest and run headless (offscreen platform, a scratch HOME and XDG folders so no test ever
# touches the real user's settings).
function(ringvale_test name source)
    cmake_parse_arguments(ARG "" "TIMEOUT" "LINKS" ${ARGN})
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE ringvale_testsupport Qt6::Test ${ARG_LINKS})
    add_test(NAME ${name} COMMAND ${name})
    set(scratch ${CMAKE_BINARY_DIR}/test-home/${name})
    file(MAKE_DIRECTORY ${scratch})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HOME=${scratch};XDG_CONFIG_HOME=${scratch}/config;XDG_DATA_HOME=${scratch}/data;XDG_RUNTIME_DIR=${scratch}/run;TZ=UTC")
endfunction()
