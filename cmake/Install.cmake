# Install layout (GNU standard directories under CMAKE_INSTALL_PREFIX): the programs in bin/,
# the converter's manual page in share/man/man1/, the help page the player opens in
# share/corvane/, and the desktop integration (menu entry and file handler, AppStream
# metadata, icons) where desktops look for them.
include(GNUInstallDirs)

foreach(program corvane tessick corvane-convert)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

if(TARGET corvane-convert)
  install(FILES ${CMAKE_SOURCE_DIR}/convert/corvane-convert.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(corvane_res ${CMAKE_SOURCE_DIR}/player/res)
if(EXISTS ${corvane_res}/corvane.htm)
  install(FILES ${corvane_res}/corvane.htm DESTINATION ${CMAKE_INSTALL_DATADIR}/corvane)
endif()

# The desktop files only make sense with the player they start.
if(TARGET corvane)
  install(FILES ${corvane_res}/net.brandolin.corvane.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(DIRECTORY ${corvane_res}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

  # The installed entry starts the player by its full path, so it works from any prefix, also
  # one outside the desktop's PATH. The prefix is known only at install time (--prefix).
  # A path with characters the entry would have to quote keeps the bare name.
  install(CODE "set(corvane_entry_source \"${corvane_res}/corvane.desktop\")
    set(corvane_entry_work \"${CMAKE_BINARY_DIR}/corvane.desktop\")
    set(corvane_bindir \"${CMAKE_INSTALL_BINDIR}\")
    set(corvane_appdir \"${CMAKE_INSTALL_DATADIR}/applications\")")
  install(CODE [[
    cmake_path(ABSOLUTE_PATH corvane_bindir BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE
               OUTPUT_VARIABLE corvane_player)
    string(APPEND corvane_player "/corvane")
    string(REPLACE "//" "/" corvane_player "${corvane_player}")
    file(READ "${corvane_entry_source}" corvane_entry)
    if(corvane_player MATCHES "^[A-Za-z0-9_./+-]+$")
      string(REPLACE "Exec=corvane " "Exec=${corvane_player} " corvane_entry "${corvane_entry}")
    endif()
    file(WRITE "${corvane_entry_work}" "${corvane_entry}")
    cmake_path(ABSOLUTE_PATH corvane_appdir BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE
               OUTPUT_VARIABLE corvane_appdir)
    file(INSTALL DESTINATION "${corvane_appdir}" TYPE FILE FILES "${corvane_entry_work}")
  ]])
endif()
