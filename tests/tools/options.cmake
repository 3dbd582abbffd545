# A tool answers --version and --help:
#   cmake -DTOOL=PATH -DVERSION=X.Y.Z -P tests/tools/options.cmake
# Both succeed; the version names the tool and the module's version, the help
# opens with the tool's usage line.
get_filename_component(name ${TOOL} NAME)
string(REPLACE "." "\\." version ${VERSION})
foreach(option --version --help)
  execute_process(COMMAND ${TOOL} ${option} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(option STREQUAL "--version")
    set(wanted "^${name} \\(kestrom\\) ${version}\n")
  else()
    set(wanted "^usage: ${name} ")
  endif()
  if(NOT status EQUAL 0 OR NOT out MATCHES "${wanted}")
    message(FATAL_ERROR "${name} ${option}: exit status ${status}, printed:\n${out}${err}")
  endif()
endforeach()
