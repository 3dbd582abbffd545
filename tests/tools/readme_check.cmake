# The README's command for checking a parameter file works as written, from
# the top of the repository:
#   cmake -DCHECK=PATH-OF-kestrom-check -DSOURCE=REPOSITORY -P tests/tools/readme_check.cmake
# Every `build/kestrom-check ARGS` the README shows must exit 0 (the file
# exists and loads without a problem).
file(STRINGS ${SOURCE}/README.md lines REGEX "build/kestrom-check [^`]+")
if(NOT lines)
  message(FATAL_ERROR "README.md shows no build/kestrom-check command")
endif()
foreach(line IN LISTS lines)
  string(REGEX MATCH "build/kestrom-check ([^`]+)" command "${line}")
  separate_arguments(args UNIX_COMMAND "${CMAKE_MATCH_1}")
  execute_process(COMMAND ${CHECK} ${args} WORKING_DIRECTORY ${SOURCE}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "README.md: ${command}: exit status ${status}\n${out}${err}")
  endif()
endforeach()
