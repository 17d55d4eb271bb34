# libgsm ships neither a CMake package nor a pkg-config file.
find_path(GSM_INCLUDE_DIR gsm.h PATH_SUFFIXES gsm)
find_library(GSM_LIBRARY gsm)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Gsm REQUIRED_VARS GSM_LIBRARY GSM_INCLUDE_DIR)
if(Gsm_FOUND AND NOT TARGET Gsm::Gsm)
  add_library(Gsm::Gsm UNKNOWN IMPORTED)
  set_target_properties(Gsm::Gsm PROPERTIES IMPORTED_LOCATION "${GSM_LIBRARY}"
                        INTERFACE_INCLUDE_DIRECTORIES "${GSM_INCLUDE_DIR}")
endif()
