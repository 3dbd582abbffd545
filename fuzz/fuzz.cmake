# Fuzzing: two libFuzzer targets driving the module through the simulated
# server (fuzz/handle_message.cpp, fuzz/parameter_file.cpp).
#
# With KESTROM_FUZZ=ON (a clang build, `make fuzz`): the module is built with
# coverage for libFuzzer and the targets link libFuzzer; pair it with
# KESTROM_SANITIZE=address,undefined.  Otherwise (every ordinary build): each
# target is linked with a small main that replays the saved findings of
# fuzz/regressions/ and the seeds of fuzz/corpus/, as part of `make test`.
option(KESTROM_FUZZ "Build the libFuzzer targets (clang only)" OFF)

set(KESTROM_FUZZ_TARGETS handle_message parameter_file)

if(KESTROM_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "KESTROM_FUZZ needs clang: configure with "
                        "-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
  endif()
  target_compile_options(kestrom_objs PRIVATE -fsanitize=fuzzer-no-link)
endif()

foreach(target ${KESTROM_FUZZ_TARGETS})
  string(REPLACE "_" "-" dashed ${target})
  if(KESTROM_FUZZ)
    set(program fuzz-${dashed})
    add_executable(${program} ${CMAKE_SOURCE_DIR}/fuzz/${target}.cpp)
    target_link_options(${program} PRIVATE -fsanitize=fuzzer)
  else()
    set(program kestrom-replay-${dashed})
    add_executable(${program} ${CMAKE_SOURCE_DIR}/fuzz/${target}.cpp
                   ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
    target_compile_options(${program} PRIVATE ${KESTROM_WARNINGS})
    add_test(NAME fuzz/${target}
             COMMAND ${program} ${CMAKE_SOURCE_DIR}/fuzz/regressions/${target}
                     ${CMAKE_SOURCE_DIR}/fuzz/corpus/${target})
  endif()
  target_link_libraries(${program} PRIVATE kestrom_core
                        -Wl,--whole-archive kestrom_sim -Wl,--no-whole-archive ${CMAKE_DL_LIBS})
  target_include_directories(${program} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(${program} PRIVATE KESTROM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endforeach()
