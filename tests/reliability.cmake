# The allocation-failure sweep: one test per scenario under tests/scenarios/,
# each playing the scenario with every one of its module allocations failing
# in turn (alone, and with all that follow).  See tools/kestrom_sweep.cpp.
add_executable(kestrom-sweep tools/kestrom_sweep.cpp)
target_link_libraries(kestrom-sweep PRIVATE kestrom_trace_op
                      -Wl,--whole-archive kestrom_sim -Wl,--no-whole-archive ${CMAKE_DL_LIBS})
set_target_properties(kestrom-sweep PROPERTIES ENABLE_EXPORTS ON)
target_compile_options(kestrom-sweep PRIVATE ${KESTROM_WARNINGS})
target_compile_definitions(kestrom-sweep PRIVATE KESTROM_VERSION="${KESTROM_VERSION}")
add_dependencies(kestrom-sweep kestrom)

foreach(scenario ${KESTROM_SCENARIOS})
  get_filename_component(name ${scenario} NAME_WE)
  add_test(NAME sweep/${name} COMMAND kestrom-sweep ${scenario})
  set_tests_properties(sweep/${name} PROPERTIES TIMEOUT 600)
endforeach()
