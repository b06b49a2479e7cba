# velra_add_test(NAME SOURCES... [GUI]): one test executable per unit, run headless.
function(velra_add_test name)
    cmake_parse_arguments(ARG "GUI" "" "SOURCES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE velra_test_support Qt6::Test)
    if(ARG_GUI)
        target_link_libraries(${name} PRIVATE velra_gui)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8"
        TIMEOUT 300)
endfunction()
