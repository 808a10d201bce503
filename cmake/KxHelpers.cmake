# Shared helpers for the subsystems' CMakeLists.

# Where the tests find the real tool outputs they replay (tests/samples, with
# its PROVENANCE.md); a test whose sample is missing fails.
set(KX_SAMPLES_DIR "${CMAKE_SOURCE_DIR}/tests/samples")

# kx_program(<target>): a deliverable program, left in the build folder itself
# and installed flat into the installation folder.
function(kx_program target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  install(TARGETS ${target} RUNTIME DESTINATION .)
endfunction()

# kx_test(<name> SOURCES ... LIBS ... [TIMEOUT s] [SERIAL])
# A GoogleTest program whose tests CTest runs one by one.
function(kx_test name)
  cmake_parse_arguments(T "SERIAL" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT KX_TESTS)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  # Includes name their folder from the top ("tests/agent/Installation.h").
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
  target_compile_definitions(${name} PRIVATE
    KX_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    KX_BINARY_DIR="${CMAKE_BINARY_DIR}"
    KX_SAMPLES_DIR="${KX_SAMPLES_DIR}")
  set(props TIMEOUT ${T_TIMEOUT})
  if(T_SERIAL)
    list(APPEND props RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
endfunction()

# kx_fuzzer(<name> SOURCES ... LIBS ... SEEDS <dir>)
# A libFuzzer target, built only with KX_FUZZ. Every fuzzer is listed in
# <build>/fuzzers.txt as "<executable> <seed dir>" for the CI's timed runs.
function(kx_fuzzer name)
  cmake_parse_arguments(F "" "SEEDS" "SOURCES;LIBS" ${ARGN})
  if(NOT KX_FUZZ)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  set_property(GLOBAL APPEND PROPERTY KX_FUZZERS "${CMAKE_BINARY_DIR}/fuzz/${name} ${F_SEEDS}")
endfunction()
