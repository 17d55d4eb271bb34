# Install layout (GNU standard directories under CMAKE_INSTALL_PREFIX): the programs in bin/
# with their manual pages in share/man/man1/, the help page the player opens in
# share/corvane/, the licence and the changelog in share/doc/corvane/, and the desktop
# integration (menu entry and file handler, AppStream metadata, icons) where desktops look
# for them. Directories are 0755 and files 0644 (programs 0755) whatever the umask.
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(corvane_docdir ${CMAKE_INSTALL_DATADIR}/doc/corvane)

# corvane_gzip(SOURCE NAME): SOURCE compressed as NAME in the build folder's share/ (gzip -9n:
# the best compression and no time stamp, so the same source always gives the same bytes).
function(corvane_gzip source name)
  set(output ${CMAKE_BINARY_DIR}/share/${name})
  add_custom_command(OUTPUT ${output}
                     COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" gzip ${source} ${output}
                     DEPENDS ${source} VERBATIM)
  string(MAKE_C_IDENTIFIER "gzip_${name}" target)
  add_custom_target(${target} ALL DEPENDS ${output})
endfunction()

# Each program with its manual page, compressed as man finds it.
set(manual_corvane ${CMAKE_SOURCE_DIR}/player/corvane.1)
set(manual_tessick ${CMAKE_SOURCE_DIR}/launcher/tessick.1)
set(manual_corvane-convert ${CMAKE_SOURCE_DIR}/convert/corvane-convert.1)
foreach(program corvane tessick corvane-convert)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    corvane_gzip(${manual_${program}} ${program}.1.gz)
    install(FILES ${CMAKE_BINARY_DIR}/share/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()

# The licence as a machine-readable copyright file, its text taken from LICENSE: the lines
# from "Permission" on, each indented by one blank, empty ones written as " .".
file(STRINGS ${CMAKE_SOURCE_DIR}/LICENSE corvane_copyright REGEX "^Copyright \\(c\\) ")
string(REGEX REPLACE "^Copyright \\(c\\) " "" corvane_copyright "${corvane_copyright}")
file(READ ${CMAKE_SOURCE_DIR}/LICENSE corvane_license_text)
string(FIND "${corvane_license_text}" "Permission" corvane_start)
string(SUBSTRING "${corvane_license_text}" ${corvane_start} -1 corvane_license_text)
string(STRIP "${corvane_license_text}" corvane_license_text)
string(REPLACE "\n\n" "\n.\n" corvane_license_text "${corvane_license_text}")
string(REPLACE "\n" "\n " corvane_license_text " ${corvane_license_text}")
# The changelog's first trailer line names who makes the releases.
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/changelog corvane_trailer REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX REPLACE "^ -- (.*>)  .*$" "\\1" corvane_maintainer "${corvane_trailer}")
configure_file(${CMAKE_SOURCE_DIR}/packaging/copyright.in ${CMAKE_BINARY_DIR}/share/copyright @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/share/copyright DESTINATION ${corvane_docdir})
corvane_gzip(${CMAKE_SOURCE_DIR}/packaging/changelog changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/share/changelog.gz DESTINATION ${corvane_docdir})

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
  # A path with characters the entry would have to quote keeps the bare name. The entry is
  # written in a folder of its own for each destination, so installs running side by side
  # (a packager's staging beside a user's prefix) never write each other's entry.
  install(CODE "set(corvane_entry_source \"${corvane_res}/corvane.desktop\")
    set(corvane_entry_folder \"${CMAKE_BINARY_DIR}/desktop-entry\")
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
    string(MD5 corvane_destination "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
    set(corvane_entry_work "${corvane_entry_folder}/${corvane_destination}/corvane.desktop")
    file(WRITE "${corvane_entry_work}" "${corvane_entry}")
    cmake_path(ABSOLUTE_PATH corvane_appdir BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE
               OUTPUT_VARIABLE corvane_appdir)
    file(INSTALL DESTINATION "${corvane_appdir}" TYPE FILE FILES "${corvane_entry_work}"
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  ]])
endif()
