# Install layout (GNU standard directories under CMAKE_INSTALL_PREFIX): the programs in bin/,
# the help page the player opens in share/corvane/, and the desktop integration (menu entry
# and file handler, AppStream metadata, icons) where desktops look for them.
include(GNUInstallDirs)

foreach(program corvane tessick corvane-convert)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

set(corvane_res ${CMAKE_SOURCE_DIR}/player/res)
if(EXISTS ${corvane_res}/corvane.htm)
  install(FILES ${corvane_res}/corvane.htm DESTINATION ${CMAKE_INSTALL_DATADIR}/corvane)
endif()

# The desktop files only make sense with the programs they start.
if(TARGET tessick)
  install(FILES ${corvane_res}/corvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${corvane_res}/net.brandolin.corvane.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(DIRECTORY ${corvane_res}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
endif()
