# Installs the build into a staging folder as a package would, then runs the
# installed tarvik-clean on the sample field with the installed settings.
#   -DBUILD=<build folder> -DSOURCE=<source folder> -DWORK=<scratch folder>
#   -DCLEAN=<tarvik-clean of the build> -DVERSION=<project version>
#   -DUI=<ON when the window is built> -DAPP_ID=<desktop id without .desktop>
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(stage "${WORK}/stage")

function(run)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "EXPECT_STATUS" "COMMAND;ENV")
  if(NOT DEFINED arg_EXPECT_STATUS)
    set(arg_EXPECT_STATUS 0)
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${arg_ENV} ${arg_COMMAND}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL arg_EXPECT_STATUS)
    list(JOIN arg_COMMAND " " shown)
    message(FATAL_ERROR "${shown}\nexited with ${status}, not ${arg_EXPECT_STATUS}:\n${out}${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

run(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${stage}")

# Everything a desktop needs is in its place.
file(GLOB man_pages "${stage}/share/man/man1/tarvik-clean.1*")
if(NOT man_pages)
  message(FATAL_ERROR "no manual page of tarvik-clean in ${stage}/share/man/man1")
endif()
set(expected
  bin/tarvik-clean
  share/tarvik/settings/crop.dat
  share/tarvik/settings/criteria.dat
  share/doc/tarvik/copyright)
if(UI)
  list(APPEND expected
    bin/tarvik
    share/applications/${APP_ID}.desktop
    share/metainfo/${APP_ID}.metainfo.xml
    share/icons/hicolor/scalable/apps/${APP_ID}.svg)
  foreach(size 16 24 32 48 64 128 256)
    list(APPEND expected share/icons/hicolor/${size}x${size}/apps/${APP_ID}.png)
  endforeach()
endif()
foreach(file IN LISTS expected)
  if(NOT EXISTS "${stage}/${file}")
    message(FATAL_ERROR "cmake --install did not put ${file} in place")
  endif()
endforeach()

run(COMMAND "${stage}/bin/tarvik-clean" --version)
if(NOT out STREQUAL "tarvik-clean ${VERSION}\n")
  message(FATAL_ERROR "tarvik-clean --version printed \"${out}\", not the version ${VERSION}")
endif()
if(UI)
  run(COMMAND "${stage}/bin/tarvik" --version)
  if(NOT out MATCHES " ${VERSION}\n$")
    message(FATAL_ERROR "tarvik --version printed \"${out}\", not the version ${VERSION}")
  endif()
endif()

# The installed program with the installed settings cleans exactly as the
# build does with the settings of the source tree.
run(COMMAND "${stage}/bin/tarvik-clean" --settings "${stage}/share/tarvik/settings"
            -o "${WORK}/installed.txt" "${SOURCE}/samples/sample-field.txt")
set(installed_summary "${out}")
run(COMMAND "${CLEAN}" --settings "${SOURCE}/settings" -o "${WORK}/built.txt"
            "${SOURCE}/samples/sample-field.txt")
if(NOT installed_summary MATCHES ": 5000 points read, [0-9]+ retained")
  message(FATAL_ERROR "no summary line in: ${installed_summary}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/installed.txt" "${WORK}/built.txt"
  RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "the installed tarvik-clean wrote other bytes than the built one")
endif()
set(header "Project Title?\r\n4\r\nEasting\r\nNorthing\r\nYield\r\nMoisture\r\n")
string(LENGTH "${header}" length)
string(HEX "${header}" header)
file(READ "${WORK}/installed.txt" begin LIMIT ${length} HEX)
if(NOT begin STREQUAL header)
  message(FATAL_ERROR "the output does not begin with the GSLIB header")
endif()

# A home without settings: the message says how to copy the supplied files,
# and the program leaves the home as it was.
file(MAKE_DIRECTORY "${WORK}/home")
run(COMMAND "${stage}/bin/tarvik-clean" -o "${WORK}/none.txt" "${SOURCE}/samples/sample-field.txt"
    ENV "HOME=${WORK}/home" EXPECT_STATUS 1)
if(NOT err MATCHES "mkdir -p ~/Tarvik && cp -n [^\n]*/share/tarvik/settings/\\*\\.dat ~/Tarvik/")
  message(FATAL_ERROR "the settings message names no copy command:\n${err}")
endif()
file(GLOB left "${WORK}/home/*")
if(left OR EXISTS "${WORK}/none.txt")
  message(FATAL_ERROR "tarvik-clean without settings left files behind: ${left}")
endif()

# The desktop's own checks, where they are installed.
if(UI)
  find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
  if(DESKTOP_FILE_VALIDATE)
    run(COMMAND "${DESKTOP_FILE_VALIDATE}" "${stage}/share/applications/${APP_ID}.desktop")
    if(NOT out STREQUAL "" OR NOT err STREQUAL "")
      message(FATAL_ERROR "desktop-file-validate: ${out}${err}")
    endif()
  endif()
  find_program(APPSTREAMCLI appstreamcli)
  if(APPSTREAMCLI)
    run(COMMAND "${APPSTREAMCLI}" validate --no-net
                "${stage}/share/metainfo/${APP_ID}.metainfo.xml")
  endif()
endif()
message(STATUS "${installed_summary}")
