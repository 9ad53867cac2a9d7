# Helpers shared by every module's CMakeLists.

# orvanta_module(NAME DIR [RECURSIVE] LIBS ...)
# One library per source folder: every .cpp/.h below it is compiled, so adding
# a file needs no change here. Include paths are rooted at src/, so code says
# #include "storage/Table.h".
function(orvanta_module name)
    cmake_parse_arguments(M "RECURSIVE" "" "LIBS;EXCLUDE" ${ARGN})
    if(M_RECURSIVE)
        file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
             ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
             ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    else()
        file(GLOB srcs CONFIGURE_DEPENDS
             ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
             ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    endif()
    foreach(ex IN LISTS M_EXCLUDE)
        list(FILTER srcs EXCLUDE REGEX "${ex}")
    endforeach()
    list(FILTER srcs INCLUDE REGEX ".")
    set(has_cpp ${srcs})
    list(FILTER has_cpp INCLUDE REGEX "\\.cpp$")
    if(has_cpp)
        add_library(${name} STATIC ${srcs})
        target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${name} PUBLIC ${M_LIBS})
    else()
        # Nothing written yet: an interface target keeps dependants building.
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${name} INTERFACE ${M_LIBS})
    endif()
endfunction()

# orvanta_test(NAME SOURCES ... LIBS ...)
# One GoogleTest executable, one ctest entry, run headless.
function(orvanta_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} orv_testsupport GTest::gtest GTest::gmock)
    target_compile_definitions(${name} PRIVATE
        ORVANTA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        ORVANTA_BINARY_DIR="${PROJECT_BINARY_DIR}")
    add_test(NAME ${name} COMMAND ${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 600)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        LABELS "${T_LABELS}"
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ORVANTA_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# orvanta_bench(NAME SOURCES ... LIBS ...)
function(orvanta_bench name)
    cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${B_SOURCES})
    target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
endfunction()

# orvanta_fuzz(NAME SOURCE ... LIBS ...)
# A libFuzzer target (LLVMFuzzerTestOneInput). Under clang it links libFuzzer;
# under gcc it links our own driver, which replays files and random inputs
# for a given time, so every build has every fuzz target.
function(orvanta_fuzz name)
    cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang" AND ORVANTA_LIBFUZZER)
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    else()
        target_link_libraries(${name} PRIVATE orv_fuzzdriver)
    endif()
    set_property(GLOBAL APPEND PROPERTY ORVANTA_FUZZ_TARGETS ${name})
endfunction()

# Adds every immediate subfolder of the current folder that has a CMakeLists.txt.
function(orvanta_add_subfolders)
    file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
         CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
    list(SORT children)
    foreach(child IN LISTS children)
        if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child}
           AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
            add_subdirectory(${child})
        endif()
    endforeach()
endfunction()
