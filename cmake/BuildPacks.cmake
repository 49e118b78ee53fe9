# Builds the ".pak" archives the game ships: every folder
# data/packs/FOLDER/NAME/ becomes build/game/FOLDER/NAME.pak, FOLDER being
# one of the game's data folders (maps, data, models ...). Entries are the
# folder's files, named by their file name without its extension. A level
# (".tcs") in a maps pack takes its generated light map NAME_lm.tci from
# build/game/maps along, since the game looks for the light map of
# "pkg#level" inside the same archive.
# Arguments: -DPAK=pak tool -DSRC=data/packs -DDST=build/game -DWORK=scratch dir
set(data_folders data maps models textures music save shaders)
file(MAKE_DIRECTORY ${WORK})
foreach(folder ${data_folders})
  if(NOT IS_DIRECTORY ${SRC}/${folder})
    continue()
  endif()
  file(GLOB packs LIST_DIRECTORIES true ${SRC}/${folder}/*)
  list(SORT packs)
  foreach(pack ${packs})
    if(NOT IS_DIRECTORY ${pack})
      continue()
    endif()
    get_filename_component(name ${pack} NAME)
    file(GLOB files LIST_DIRECTORIES false ${pack}/*)
    list(SORT files)
    set(inputs ${files})
    if(folder STREQUAL "maps")
      foreach(f ${files})
        get_filename_component(ext ${f} LAST_EXT)
        get_filename_component(stem ${f} NAME_WLE)
        string(TOLOWER "${ext}" ext)
        if(ext STREQUAL ".tcs" AND EXISTS ${DST}/maps/${stem}_lm.tci)
          list(APPEND inputs ${DST}/maps/${stem}_lm.tci)
        endif()
      endforeach()
    endif()
    if(NOT inputs)
      continue()
    endif()
    set(scratch ${WORK}/${folder}-${name}.pak)
    execute_process(COMMAND ${PAK} create ${scratch} ${inputs} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "pak create failed for ${pack}")
    endif()
    file(MAKE_DIRECTORY ${DST}/${folder})
    # An unchanged archive keeps its time stamp.
    file(COPY_FILE ${scratch} ${DST}/${folder}/${name}.pak ONLY_IF_DIFFERENT)
  endforeach()
endforeach()
