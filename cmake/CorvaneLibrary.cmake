# One static library per subsystem folder, made of every source file in the folder (not its
# subfolders, which are libraries of their own).
function(corvane_library name)
    cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} Threads::Threads)
endfunction()

# One test program per folder under tests/, registered test by test with CTest. The
# ThreadSanitizer run selects the suites whose name contains "Concurrency". TIMEOUT gives a
# suite whose tests run long on purpose its own limit, in seconds.
function(corvane_test_suite name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "DEPENDS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(NOT sources)
        return()  # a folder whose tests are still to come
    endif()
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} corvane_test_support GTest::gtest GTest::gtest_main)
    set(timeout)
    if(ARG_TIMEOUT)
        set(timeout TIMEOUT ${ARG_TIMEOUT})
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS "${name}" ${timeout})
endfunction()
