# Plays one scenario with a server that provides the decision trace
# (TRACED) and with one that does not (UNTRACED), and fails unless both
# pass and their transcripts are the same but for what only the trace adds:
# the reason lines under refused messages, the decisions `why` lists, and
# the decision checks (not judged without the trace).  For a scenario without decision checks the
# --quiet output must be the same too.
#   cmake -DTRACED=... -DUNTRACED=... -DSCENARIO=... -P compare_hosts.cmake
foreach(mode full quiet)
  set(args ${SCENARIO})
  if(mode STREQUAL "quiet")
    set(args --quiet ${SCENARIO})
  endif()
  execute_process(COMMAND ${TRACED} ${args} OUTPUT_VARIABLE traced_${mode} RESULT_VARIABLE traced_rc)
  execute_process(COMMAND ${UNTRACED} ${args} OUTPUT_VARIABLE untraced_${mode} RESULT_VARIABLE untraced_rc)
  if(NOT traced_rc EQUAL 0 OR NOT untraced_rc EQUAL 0)
    message(FATAL_ERROR "${mode}: exit ${traced_rc} with the trace, ${untraced_rc} without:\n"
                        "${traced_${mode}}\n----\n${untraced_${mode}}")
  endif()
endforeach()

# Drops the lines only the trace makes, and the summary (its counts differ
# by the decision checks); each server's scratch directory has its own name.
function(strip_trace text out)
  string(REGEX REPLACE "kestrom-sim-[A-Za-z0-9]+/" "kestrom-sim-X/" text "${text}")
  string(REGEX REPLACE "\n +(refused by|passed by|carried out as) [^\n]*" "" text "${text}")
  string(REGEX REPLACE "\n +[0-9]+  expect-(refused|passed)-by [^\n]*" "" text "${text}")
  string(REGEX REPLACE "\n +(\\(this server has no decision trace\\)|no rule of the module's looked at it)" ""
         text "${text}")
  string(REGEX REPLACE "\n[0-9]+ passed, [^\n]*\n$" "\n" text "\n${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

strip_trace("${traced_full}" a)
strip_trace("${untraced_full}" b)
if(NOT a STREQUAL b)
  get_filename_component(name ${SCENARIO} NAME_WE)
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name}.traced.txt "${a}")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name}.untraced.txt "${b}")
  message(FATAL_ERROR "the transcripts differ beyond the trace: compare ${name}.traced.txt and "
                      "${name}.untraced.txt in ${CMAKE_CURRENT_BINARY_DIR}")
endif()

file(READ ${SCENARIO} source)
if(NOT source MATCHES "expect-(refused|passed)-by" AND NOT traced_quiet STREQUAL untraced_quiet)
  message(FATAL_ERROR "--quiet differs:\n${traced_quiet}\n----\n${untraced_quiet}")
endif()
