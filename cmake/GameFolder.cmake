# Assembles the program folder build/game/: data folders from data/, plus
# what the content generators make. A player's settings.dat and progress.dat
# are never overwritten by a rebuild.
foreach(folder data maps models textures music save shaders)
  file(MAKE_DIRECTORY ${RDV_GAME_DIR}/${folder})
endforeach()

add_custom_target(game_folder ALL
  COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_SOURCE_DIR}/data -DDST=${RDV_GAME_DIR}
          -P ${CMAKE_SOURCE_DIR}/cmake/CopyData.cmake
  COMMENT "Assembling build/game"
  VERBATIM)

# The ".pak" archives: every folder data/packs/FOLDER/NAME/ is packed with
# tools/pak into build/game/FOLDER/NAME.pak (see cmake/BuildPacks.cmake).
# After the content generator, so that levels take their light maps along.
if(TARGET pak)
  add_custom_target(game_packs ALL
    COMMAND ${CMAKE_COMMAND} -DPAK=$<TARGET_FILE:pak> -DSRC=${CMAKE_SOURCE_DIR}/data/packs
            -DDST=${RDV_GAME_DIR} -DWORK=${CMAKE_BINARY_DIR}/packs
            -P ${CMAKE_SOURCE_DIR}/cmake/BuildPacks.cmake
    COMMENT "Packing data/packs into build/game"
    VERBATIM)
  add_dependencies(game_packs pak game_folder)
  if(TARGET contentgen_run)
    add_dependencies(game_packs contentgen_run)
  endif()
endif()
