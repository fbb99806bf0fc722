# Tests on a private multi-adapter network: tests/topology/topology.sh builds
# a program namespace with loopback and two veth segments, each leading to a
# device namespace, runs the test inside the program namespace and always
# tears it all down. Needs root, like the NETNS tests.
#
# quillon_add_topology_test(NAME SOURCES... [TIMEOUT s])
function(quillon_add_topology_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES" ${ARGN})
    add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE quillon_core Qt6::Test)
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    add_dependencies(${name} quillon-devsim)
    add_test(NAME ${name}
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/topology/topology.sh $<TARGET_FILE:${name}>)
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QUILLON_DEVSIM=$<TARGET_FILE:quillon-devsim>")
endfunction()

if(TARGET quillon-devsim)
    quillon_add_topology_test(tst_topology
        SOURCES topology/tst_topology.cpp DevsimProcess.cpp DevsimProcess.h ModalAnswer.h
        TIMEOUT 300)
    # The fixture itself: clean-up after a failing command and after a run
    # that was killed outright.
    add_test(NAME topology_cleanup
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/topology/cleanup-check.sh
                     ${CMAKE_CURRENT_SOURCE_DIR}/topology/topology.sh)
    # Not beside the other topology tests: their start-up would tidy away the
    # killed run's namespaces before this test looks at them.
    set_tests_properties(topology_cleanup PROPERTIES TIMEOUT 60 RESOURCE_LOCK quillon_topology)
    set_tests_properties(tst_topology PROPERTIES RESOURCE_LOCK quillon_topology)
endif()
