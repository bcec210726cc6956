# add_project_test(NAME <name> LABEL <label> SOURCES <files...> LIBS <libs...> [TIMEOUT <s>])
# One line adds a GoogleTest executable registered with CTest, labelled, time-limited and
# running Qt on the offscreen platform, so a test never needs a display.
function(add_project_test)
    cmake_parse_arguments(T "" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES
        LABELS "${T_LABEL}"
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;COSTANALYSIS_SOURCE_DIR=${CMAKE_SOURCE_DIR};COSTANALYSIS_BIN_DIR=${CMAKE_BINARY_DIR}/bin"
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
endfunction()
