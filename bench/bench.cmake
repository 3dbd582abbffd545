# `make bench`: one Google Benchmark program from bench/*.cpp, driving the
# module's code through the simulated server.
option(KESTROM_BENCH "Build the benchmarks" OFF)
if(KESTROM_BENCH)
  find_package(benchmark REQUIRED)
  file(GLOB KESTROM_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
  add_executable(kestrom-bench ${KESTROM_BENCH_SOURCES})
  target_link_libraries(kestrom-bench PRIVATE kestrom_core
                        -Wl,--whole-archive kestrom_sim -Wl,--no-whole-archive
                        benchmark::benchmark ${CMAKE_DL_LIBS})
  set_target_properties(kestrom-bench PROPERTIES ENABLE_EXPORTS ON)
  target_compile_definitions(kestrom-bench PRIVATE KESTROM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

  # The baseline: a module that passes every message untouched.
  add_library(kestrom-passthrough MODULE ${CMAKE_SOURCE_DIR}/bench/passthrough/passthrough.cpp)
  target_include_directories(kestrom-passthrough PRIVATE ${CMAKE_SOURCE_DIR})
  set_target_properties(kestrom-passthrough PROPERTIES PREFIX "" SUFFIX ".so")
  target_compile_definitions(kestrom-bench PRIVATE
                             KESTROM_PASSTHROUGH_PATH="$<TARGET_FILE:kestrom-passthrough>")
  add_dependencies(kestrom-bench kestrom-passthrough)
endif()
