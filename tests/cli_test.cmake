# Runs build/tarvik-clean on the bundled sample field with the supplied settings.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(
  COMMAND "${CLEAN}" --settings "${SOURCE}/settings" -o "${WORK}/sample-fieldout.txt"
          "${SOURCE}/samples/sample-field.txt"
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "tarvik-clean exited with ${status}: ${err}")
endif()
if(NOT out MATCHES "points read, [0-9]+ retained")
  message(FATAL_ERROR "no summary line in: ${out}")
endif()
if(NOT EXISTS "${WORK}/sample-fieldout.txt")
  message(FATAL_ERROR "no output file")
endif()
message(STATUS "${out}")

# The detailed file of the same run, byte for byte as the engine's golden file.
execute_process(
  COMMAND "${CLEAN}" --settings "${SOURCE}/settings" --detailed --title sample-default
          -o "${WORK}/sample-detailed.txt" "${SOURCE}/samples/sample-field.txt"
  RESULT_VARIABLE status ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "tarvik-clean --detailed exited with ${status}: ${err}")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/sample-detailed.txt"
          "${SOURCE}/tests/data/golden/sample-default.txt"
  RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "the detailed file differs from tests/data/golden/sample-default.txt")
endif()
