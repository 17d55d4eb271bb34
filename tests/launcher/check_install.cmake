# Installs the build in BUILD_DIR into a fresh prefix below WORK_DIR (given with --prefix, as
# users do, and staged through DESTDIR, as packagers do) and checks what arrived.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix /opt/corvane-check)
set(ENV{DESTDIR} ${WORK_DIR}/stage)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(root ${WORK_DIR}/stage${prefix})
foreach(file bin/corvane bin/tessick share/applications/corvane.desktop
        share/metainfo/net.brandolin.corvane.metainfo.xml
        share/icons/hicolor/48x48/apps/corvane.png share/icons/hicolor/scalable/apps/corvane.svg)
  if(NOT EXISTS ${root}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

file(STRINGS ${root}/share/applications/corvane.desktop exec REGEX "^Exec=")
# Started from the applications menu the entry must open the window, and a file opened with
# it must reach the running player: both are what the player itself does.
if(NOT exec STREQUAL "Exec=${prefix}/bin/corvane %f")
  message(FATAL_ERROR "the installed entry does not start the installed player: ${exec}")
endif()
execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} ${root}/share/applications/corvane.desktop
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the installed desktop entry is not valid")
endif()
