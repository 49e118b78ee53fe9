# The floors of the engine and the include check that holds them.
#
#   cmake -DROOT=<folder holding src/> -P cmake/CheckLayers.cmake
#
# Reads every #include "..." of every source file under ROOT/src and fails
# when one runs upwards: a library includes only libraries below it (and
# itself). A file outside the table fails too, so a new folder gets a floor
# before it gets code. tests/layers/ holds trees that prove the check bites.

# The floors, bottom first: "path-prefix library floor". A file belongs to
# the library of its longest matching prefix (paths under src/).
set(RDV_LAYERS
  "platform/            platform   0"
  "platform/shaderasm/  shaderasm  0"
  "platform/d3d/        d3d        1"
  "platform/d3dx/       d3d        1"
  "platform/dinput/     dinput     1"
  "platform/dsound/     dsound     1"
  "core/                core       2"
  "packages/            packages   3"
  "input/               input      3"
  "graphics/            graphics   4"
  "sound/               sound      4"
  "level/               level      5"
  "cameras/             cameras    6"
  "objects/             objects    7"
  "tiles/               tiles      8"
  # The in-game editor sits under the game: the menu's editor page drives
  # it, and it learns whether the menu is open through the engine.
  "editor/              editor     9"
  "game/                game       10"
  # Main and the reboot loop tie every subsystem together: the top of the
  # house, though Main lives in core/.
  "core/Main.           main       11"
  "main.cpp             main       11"
)

if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<folder holding src/> -P CheckLayers.cmake")
endif()

# Sets <lib>_out and <floor>_out for a path under src/ (empty: not in the table).
function(rdv_layer_of path lib_out floor_out)
  set(best_len -1)
  set(lib "")
  set(floor "")
  foreach(row ${RDV_LAYERS})
    string(REGEX MATCH "^([^ ]+) +([^ ]+) +([0-9]+)$" _ "${row}")
    set(prefix ${CMAKE_MATCH_1})
    string(LENGTH "${prefix}" len)
    string(SUBSTRING "${path}" 0 ${len} head)
    if(head STREQUAL prefix AND len GREATER best_len)
      set(best_len ${len})
      set(lib ${CMAKE_MATCH_2})
      set(floor ${CMAKE_MATCH_3})
    endif()
  endforeach()
  set(${lib_out} "${lib}" PARENT_SCOPE)
  set(${floor_out} "${floor}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE sources RELATIVE ${ROOT}/src ${ROOT}/src/*.cpp ${ROOT}/src/*.h ${ROOT}/src/*.inc)
list(SORT sources)
set(faults 0)
set(checked 0)
foreach(file ${sources})
  rdv_layer_of("${file}" lib floor)
  if(lib STREQUAL "")
    message("src/${file}: not on any floor (add its folder to the table in cmake/CheckLayers.cmake)")
    math(EXPR faults "${faults} + 1")
    continue()
  endif()
  file(STRINGS ${ROOT}/src/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  file(READ ${ROOT}/src/${file} content)
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")
      continue()
    endif()
    set(target ${CMAKE_MATCH_1})
    # The line number, for the message: the newlines before the line.
    string(FIND "${content}" "${line}" at)
    string(SUBSTRING "${content}" 0 ${at} before)
    string(REGEX MATCHALL "\n" newlines "${before}")
    list(LENGTH newlines number)
    math(EXPR number "${number} + 1")
    math(EXPR checked "${checked} + 1")
    # A name without a folder is a neighbour in the same folder.
    if(NOT target MATCHES "/")
      get_filename_component(dir "${file}" DIRECTORY)
      if(dir)
        set(target "${dir}/${target}")
      endif()
    endif()
    rdv_layer_of("${target}" tlib tfloor)
    if(tlib STREQUAL "")
      message("src/${file}:${number}: ${lib} (floor ${floor}) includes ${target}, which is on no floor")
      math(EXPR faults "${faults} + 1")
    elseif(NOT tlib STREQUAL lib AND NOT tfloor LESS floor)
      message("src/${file}:${number}: ${lib} (floor ${floor}) includes ${target} (${tlib}, floor ${tfloor}): not below it")
      math(EXPR faults "${faults} + 1")
    endif()
  endforeach()
endforeach()

if(checked EQUAL 0)
  message(FATAL_ERROR "no includes found under ${ROOT}/src")
endif()
if(faults GREATER 0)
  message(FATAL_ERROR "${faults} include(s) break the floors: a library includes only libraries below it")
endif()
message("${checked} includes checked: every one runs downwards")
