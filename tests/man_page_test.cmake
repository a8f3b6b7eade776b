# Checks a manual page against its program's --help: every long option the
# program lists must be in the page, and the page must describe no option the
# program lacks. With groff at hand, the page must also format without warnings.
#   -DPROGRAM=<program> -DPAGE=<page.1> [-DLEFT_OUT=<options a build leaves out>]
execute_process(COMMAND "${PROGRAM}" --help
  RESULT_VARIABLE status OUTPUT_VARIABLE help ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help exited with ${status}: ${err}")
endif()

# "--name" wherever it stands: in the option column or in a description.
function(long_options text out)
  string(REGEX MATCHALL "--[A-Za-z0-9][A-Za-z0-9-]*" found "${text}")
  list(REMOVE_DUPLICATES found)
  list(SORT found)
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

file(READ "${PAGE}" page)
# roff writes a hyphen-minus as \-.
string(REPLACE "\\-" "-" page "${page}")
long_options("${help}" listed)
long_options("${page}" documented)

set(undocumented ${listed})
list(REMOVE_ITEM undocumented ${documented})
set(unknown ${documented})
list(REMOVE_ITEM unknown ${listed} ${LEFT_OUT})

get_filename_component(program_name "${PROGRAM}" NAME)
set(problems "")
if(undocumented)
  list(JOIN undocumented "\n  " lines)
  string(APPEND problems
    "${PAGE} lacks these options of `${program_name} --help`:\n  ${lines}\n")
endif()
if(unknown)
  list(JOIN unknown "\n  " lines)
  string(APPEND problems
    "${PAGE} describes these options, which `${program_name} --help` does not list:\n  ${lines}\n")
endif()
if(problems)
  message(NOTICE "${problems}")
  message(FATAL_ERROR "The manual page and --help disagree.")
endif()

find_program(GROFF groff)
if(GROFF)
  execute_process(COMMAND "${GROFF}" -man -ww -z -Tutf8 "${PAGE}"
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE warnings)
  if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
    message(FATAL_ERROR "groff finds fault with ${PAGE}:\n${warnings}")
  endif()
endif()
list(LENGTH listed count)
message(STATUS "${PAGE}: all ${count} long options of ${program_name} --help")
