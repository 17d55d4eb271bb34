# libsonic ships neither a CMake package nor a pkg-config file.
find_path(SONIC_INCLUDE_DIR sonic.h)
find_library(SONIC_LIBRARY sonic)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Sonic REQUIRED_VARS SONIC_LIBRARY SONIC_INCLUDE_DIR)
if(Sonic_FOUND AND NOT TARGET Sonic::Sonic)
  add_library(Sonic::Sonic UNKNOWN IMPORTED)
  set_target_properties(Sonic::Sonic PROPERTIES IMPORTED_LOCATION "${SONIC_LIBRARY}"
                        INTERFACE_INCLUDE_DIRECTORIES "${SONIC_INCLUDE_DIR}")
endif()
