# Header-only libraries from Debian packages (CLI11, nlohmann/json, toml++). A cross build can
# use neither the host's package configs nor the host's /usr/include as a whole (its C headers
# would shadow the target's), so it gets a folder that links to the library's headers alone.
# HEADERS_ONLY takes that folder in every build: Debian's toml++ package config links its
# shared library, while kvrrank compiles the headers in, on Linux as for Windows.
function(kvr_header_library target package header_folder)
  cmake_parse_arguments(PARSE_ARGV 3 arg "HEADERS_ONLY" "" "")
  if(TARGET ${target})
    return()
  endif()
  if(NOT CMAKE_CROSSCOMPILING AND NOT arg_HEADERS_ONLY)
    find_package(${package} CONFIG REQUIRED)
    return()
  endif()
  find_path(KVR_${package}_HEADERS ${header_folder} PATHS /usr/include NO_DEFAULT_PATH
            NO_CMAKE_FIND_ROOT_PATH)
  if(NOT KVR_${package}_HEADERS)
    message(FATAL_ERROR "${package} headers not found in /usr/include (Debian package)")
  endif()
  set(only ${CMAKE_BINARY_DIR}/header-libraries/${package})
  file(MAKE_DIRECTORY ${only})
  file(CREATE_LINK ${KVR_${package}_HEADERS}/${header_folder} ${only}/${header_folder} SYMBOLIC)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${only})
endfunction()
