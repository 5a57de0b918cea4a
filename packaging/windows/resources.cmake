# The Windows resources of a program (icon, version, manifest), from program.rc.in.
enable_language(RC)

function(lir2_windows_resources target description)
  set(LIR2_RC_NAME ${target})
  set(LIR2_RC_DESCRIPTION ${description})
  set(LIR2_RC_ICON ${CMAKE_SOURCE_DIR}/packaging/windows/lir2gui.ico)
  set(LIR2_RC_MANIFEST ${CMAKE_SOURCE_DIR}/packaging/windows/program.manifest)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${LIR2_RC_ICON} ${LIR2_RC_MANIFEST})
endfunction()
