# Fails when a file of the engine includes a layer above its own: core/
# includes no stage and no run, a stage (input/, checks/, output/, export/) includes no
# other stage and no run. Run as: cmake -DSOURCE=<tree> -P layout_test.cmake
set(allowed_core "core")
set(allowed_input "core|input")
set(allowed_checks "core|checks")
set(allowed_output "core|output")
set(allowed_run "core|input|checks|output|run")
# The GIS export sits beside the stages and needs only the table.
set(allowed_export "core|export")

set(failures "")
foreach(layer core input checks output run export)
  file(GLOB files "${SOURCE}/${layer}/*.h" "${SOURCE}/${layer}/*.cpp")
  foreach(f IN LISTS files)
    file(STRINGS "${f}" includes REGEX "^#include \"")
    foreach(line IN LISTS includes)
      string(REGEX MATCH "^#include \"([a-z_]+)/" _ "${line}")
      set(target "${CMAKE_MATCH_1}")
      if(target AND NOT target MATCHES "^(${allowed_${layer}})$")
        file(RELATIVE_PATH rel "${SOURCE}" "${f}")
        string(APPEND failures "  ${rel}: ${line} (${layer}/ may include only ${allowed_${layer}})\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(failures)
  message(FATAL_ERROR "Includes that point up the layers:\n${failures}")
endif()
