# kestrom-sim --compare on the example evening: the loose and the tight file
# differ (exit 1, shares per profile, the first differences with a reason on
# each side); a file and a copy of it do not (exit 0); a missing file is an
# error (exit 2).
#   cmake -DSIM=PATH-OF-kestrom-sim -DSOURCE=REPOSITORY -DWORK=DIR -P tests/tools/compare.cmake
set(scenario ${SOURCE}/examples/whatif.scenario)
function(compare expected_status old new)
  execute_process(COMMAND ${SIM} --compare ${old} ${new} ${scenario}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL expected_status)
    message(FATAL_ERROR "--compare ${old} ${new}: exit status ${status}, not ${expected_status}\n${out}${err}")
  endif()
  foreach(wanted IN LISTS ARGN)
    if(NOT out MATCHES "${wanted}")
      message(FATAL_ERROR "--compare ${old} ${new}: no line matches \"${wanted}\" in\n${out}")
    endif()
  endforeach()
endfunction()

compare(1 ${SOURCE}/examples/loose.params ${SOURCE}/examples/tight.params
        "\n  chatters \\(300\\): [<0-9.]+% [^\n]*-> [<0-9.]+% refused"
        "\n  flooders \\(4\\): [<0-9.]+% [^\n]*-> [<0-9.]+% refused, by chat line 10"
        "\n  bob: 0.0% -> [1-9][0-9.]*% refused, by chat line 10\n"
        "\nfirst differences \\(10 of [0-9]+\\):\n"
        "\n      OLD  passed\n      NEW  refused by [a-z]+ \\(line [0-9]+: "
        "\n  and [0-9]+ more\n"
        "\nstatistics, OLD \\| NEW:\n  rule ")

configure_file(${SOURCE}/examples/tight.params ${WORK}/tight-copy.params COPYONLY)
compare(0 ${SOURCE}/examples/tight.params ${WORK}/tight-copy.params
        "\n  flooders \\(4\\): [<0-9.]+% refused under both"
        "\nno message's outcome differs\n")

compare(2 ${SOURCE}/examples/tight.params ${WORK}/no-such.params "cannot read the parameter file")
