# ringvale_test(NAME source LINKS ...): one Qt Test executable per test file, registered with
# ctest and run headless (offscreen platform, a scratch HOME and XDG folders so no test ever
# touches the real user's settings).
# SESSION_BUS runs the test on a private session bus of its own (dbus-run-session).
function(ringvale_test name source)
    cmake_parse_arguments(ARG "SESSION_BUS" "TIMEOUT" "LINKS" ${ARGN})
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE ringvale_testsupport Qt6::Test ${ARG_LINKS})
    find_program(DBUS_RUN_SESSION dbus-run-session)
    if(ARG_SESSION_BUS AND DBUS_RUN_SESSION)
        add_test(NAME ${name} COMMAND ${DBUS_RUN_SESSION} -- $<TARGET_FILE:${name}>)
    else()
        add_test(NAME ${name} COMMAND ${name})
    endif()
    set(scratch ${CMAKE_BINARY_DIR}/test-home/${name})
    file(MAKE_DIRECTORY ${scratch})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HOME=${scratch};XDG_CONFIG_HOME=${scratch}/config;XDG_DATA_HOME=${scratch}/data;XDG_RUNTIME_DIR=${scratch}/run;TZ=UTC")
endfunction()
