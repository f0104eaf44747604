# The effect files are copied as written into the run directory's Shader/ folder,
# where the game loads them ("Shader/Sample.fx", ...). Included once, either from
# this folder's CMakeLists.txt or from the top level.
if(NOT TARGET shaders)
  file(GLOB GLOMP_EFFECT_FILES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.fx)
  set(GLOMP_EFFECT_OUTPUTS)
  foreach(effect ${GLOMP_EFFECT_FILES})
    get_filename_component(effect_name ${effect} NAME)
    list(APPEND GLOMP_EFFECT_OUTPUTS ${GLOMP_RUN_DIR}/Shader/${effect_name})
  endforeach()
  add_custom_command(
    OUTPUT ${GLOMP_EFFECT_OUTPUTS}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${GLOMP_RUN_DIR}/Shader
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${GLOMP_EFFECT_FILES} ${GLOMP_RUN_DIR}/Shader/
    DEPENDS ${GLOMP_EFFECT_FILES}
    COMMENT "Copying the effect files to Shader/"
    VERBATIM)
  add_custom_target(shaders ALL DEPENDS ${GLOMP_EFFECT_OUTPUTS})
endif()
