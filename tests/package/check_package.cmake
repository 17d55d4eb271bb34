# Packs the build in BUILD_DIR into WORK_DIR as scripts/package does, then checks the
# package: its control data, every file where the system and the player look for it, and
# lintian's verdict (no errors or warnings).
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CPACK} --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(GLOB deb ${WORK_DIR}/corvane_*.deb)
list(LENGTH deb count)
if(NOT result EQUAL 0 OR NOT count EQUAL 1)
  message(FATAL_ERROR "cpack made no package:\n${output}")
endif()

function(control_field name variable)
  execute_process(COMMAND ${DPKG_DEB} --field ${deb} ${name} OUTPUT_VARIABLE value
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(${variable} "${value}" PARENT_SCOPE)
endfunction()

execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE arch
                OUTPUT_STRIP_TRAILING_WHITESPACE)
control_field(Package package)
control_field(Version version)
control_field(Architecture architecture)
if(NOT package STREQUAL "corvane" OR NOT version STREQUAL VERSION
   OR NOT architecture STREQUAL arch)
  message(FATAL_ERROR "package ${package} ${version} ${architecture}, "
          "expected corvane ${VERSION} ${arch}")
endif()
get_filename_component(name ${deb} NAME)
if(NOT name STREQUAL "corvane_${VERSION}_${arch}.deb")
  message(FATAL_ERROR "the package file is named ${name}")
endif()

# The libraries the programs link, as dpkg-shlibdeps names their packages, and the windowing
# plugins Qt loads at run time.
control_field(Depends depends)
foreach(dependency libc6 libstdc\\+\\+6 libqt6core6 libqt6widgets6 libqt6network6
        libportaudio2 libsonic0 libgsm1 qt6-qpa-plugins)
  if(NOT depends MATCHES "(^|, )${dependency}( |,|$)")
    message(FATAL_ERROR "Depends lacks ${dependency}: ${depends}")
  endif()
endforeach()

# Everything lies below /usr.
execute_process(COMMAND ${DPKG_DEB} --contents ${deb} OUTPUT_VARIABLE listing)
string(REGEX MATCHALL "\\./[^\n]*" paths "${listing}")
foreach(path ${paths})
  if(NOT path MATCHES "^\\./(usr/.*)?$")
    message(FATAL_ERROR "outside /usr: ${path}")
  endif()
endforeach()

set(root ${WORK_DIR}/root)
execute_process(COMMAND ${DPKG_DEB} --extract ${deb} ${root} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "dpkg-deb cannot unpack ${deb}")
endif()
# The player finds its help page in ../share/corvane beside its program.
foreach(file bin/corvane bin/tessick bin/corvane-convert share/corvane/corvane.htm
        share/applications/corvane.desktop share/metainfo/net.brandolin.corvane.metainfo.xml
        share/icons/hicolor/48x48/apps/corvane.png share/icons/hicolor/scalable/apps/corvane.svg
        share/man/man1/corvane.1.gz share/man/man1/tessick.1.gz
        share/man/man1/corvane-convert.1.gz share/doc/corvane/copyright)
  if(NOT EXISTS ${root}/usr/${file})
    message(FATAL_ERROR "not in the package: /usr/${file}")
  endif()
endforeach()
file(STRINGS ${root}/usr/share/applications/corvane.desktop exec REGEX "^Exec=")
if(NOT exec STREQUAL "Exec=/usr/bin/corvane %f")
  message(FATAL_ERROR "the packaged entry does not start the packaged player: ${exec}")
endif()

execute_process(COMMAND ${LINTIAN} --fail-on error,warning --info ${deb}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
message("${output}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "lintian found errors or warnings")
endif()
