# Fuzzing. The checks behind the fuzz targets replay the seed corpus and
# every kept finding in each ordinary build (tst_fuzzcases). The libFuzzer
# programs themselves need clang and QUILLON_FUZZ=ON; scripts/fuzz.sh
# configures such a build (tests/fuzz/README.md).
option(QUILLON_FUZZ "Build the libFuzzer targets fuzz_datagram and fuzz_addresstext (clang only)" OFF)

quillon_add_test(tst_fuzzcases SOURCES fuzz/tst_fuzzcases.cpp fuzz/FuzzChecks.h fuzz/FuzzChecks.cpp)
target_compile_definitions(tst_fuzzcases PRIVATE QUILLON_FUZZ_DIR="${CMAKE_CURRENT_SOURCE_DIR}/fuzz")

if(QUILLON_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "QUILLON_FUZZ needs clang (libFuzzer), not ${CMAKE_CXX_COMPILER_ID}")
    endif()
    # Coverage feedback from the code under test, not only from the checks.
    target_compile_options(quillon_core PRIVATE -fsanitize=fuzzer-no-link)
    foreach(target datagram addresstext)
        add_executable(fuzz_${target} fuzz/fuzz_${target}.cpp fuzz/FuzzChecks.h fuzz/FuzzChecks.cpp)
        target_link_libraries(fuzz_${target} PRIVATE quillon_core)
        target_compile_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
        target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
    endforeach()
endif()
