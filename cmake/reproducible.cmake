# Reproducible builds: two builds of one commit, in any two build folders, give the same bytes.
# - SOURCE_DATE_EPOCH, the time every dated thing takes (man pages, the Debian changelog, the
#   files in the packages): taken from the environment, else from the last commit's date.
#   KVR_SOURCE_DATE_EPOCH holds it (empty outside a git checkout without the variable).
# - No folder of this machine in an optimised binary: the source and build folders are mapped
#   to fixed names (debug builds keep them, for the debugger).
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(KVR_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  find_package(Git QUIET)
  set(KVR_SOURCE_DATE_EPOCH "")
  if(GIT_FOUND)
    execute_process(
      COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE KVR_SOURCE_DATE_EPOCH
      OUTPUT_STRIP_TRAILING_WHITESPACE
      ERROR_QUIET)
  endif()
endif()
if(NOT KVR_SOURCE_DATE_EPOCH MATCHES "^[0-9]*$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is not a number of seconds: ${KVR_SOURCE_DATE_EPOCH}")
endif()
if(KVR_SOURCE_DATE_EPOCH)
  # string(TIMESTAMP) reads it while configuring.
  set(ENV{SOURCE_DATE_EPOCH} "${KVR_SOURCE_DATE_EPOCH}")
  message(STATUS "SOURCE_DATE_EPOCH: ${KVR_SOURCE_DATE_EPOCH}")
endif()

if(NOT MSVC)
  # GCC tries the last map first: the build folder may lie inside the source folder.
  add_compile_options(
    "$<$<NOT:$<CONFIG:Debug>>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>"
    "$<$<NOT:$<CONFIG:Debug>>:-ffile-prefix-map=${PROJECT_BINARY_DIR}=build>")
endif()
if(WIN32 AND NOT MSVC)
  # No link time in the PE header.
  add_link_options(LINKER:--no-insert-timestamp)
endif()

# Read by cpack: the archives are made again in a fixed form after CPack has made them.
set(CPACK_KVR_SOURCE_DATE_EPOCH "${KVR_SOURCE_DATE_EPOCH}")
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/fixed-archives.cmake)
