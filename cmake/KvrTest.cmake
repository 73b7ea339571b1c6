# kvr_add_test(name SOURCES a.cpp ... [LIBS lib ...] [GUI])
# Builds a test executable and registers it with CTest. GUI tests run on the
# offscreen platform; every test gets a private runtime folder.
function(kvr_add_test name)
    cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test GTest::gtest)
    add_test(NAME ${name} COMMAND ${name})
    set(env "KVR_APPSERVER=$<TARGET_FILE:kvr-appserver>" "KVR_MODULES_DIR=${KVR_MODULES_DIR}"
            "KVR_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
    if(ARG_GUI)
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
    endif()
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()
