# Man pages made at build time by help2man from each program's own --help and --version, so
# they never drift from the program. What --help lacks (files, exit statuses, examples) comes
# from docs/man/<program>.h2m. Sets KVR_MAN_PAGES (the pages) and KVR_MAN_PAGES_GZ (the same,
# gzip-compressed as Debian ships them); both stay empty when no page can be made.
set(KVR_MAN_PAGES "")
set(KVR_MAN_PAGES_GZ "")

# A cross-compiled program cannot run here to print its help.
if(CMAKE_CROSSCOMPILING)
  return()
endif()

find_program(KVR_HELP2MAN help2man)
find_program(KVR_GZIP gzip)
if(NOT KVR_HELP2MAN OR NOT KVR_GZIP)
  # A release build is what gets installed and packaged: it must come with its man pages.
  if(CMAKE_BUILD_TYPE STREQUAL "Release")
    message(FATAL_ERROR "The release build makes the man pages with help2man and gzip, and "
                        "one is missing (Debian: apt-get install help2man gzip).")
  endif()
  message(STATUS "help2man or gzip not found: no man pages in this build")
  return()
endif()

# help2man dates the page by SOURCE_DATE_EPOCH when set, else by today.
set(KVR_DATED "")
if(KVR_SOURCE_DATE_EPOCH)
  set(KVR_DATED ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${KVR_SOURCE_DATE_EPOCH})
endif()

function(kvr_man_page target summary)
  set(page ${PROJECT_BINARY_DIR}/man/${target}.1)
  set(include_file ${PROJECT_SOURCE_DIR}/docs/man/${target}.h2m)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${KVR_DATED} ${KVR_HELP2MAN} --no-info --section=1 --name=${summary}
            --include=${include_file} --output=${page} $<TARGET_FILE:${target}>
    DEPENDS ${target} ${include_file}
    COMMENT "Making the man page of ${target}"
    VERBATIM)
  # -n: no name or time stamp in the header, so the same page gives the same bytes.
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${KVR_GZIP} -9 -n -k -f ${page}
    DEPENDS ${page}
    VERBATIM)
  set(KVR_MAN_PAGES ${KVR_MAN_PAGES} ${page} PARENT_SCOPE)
  set(KVR_MAN_PAGES_GZ ${KVR_MAN_PAGES_GZ} ${page}.gz PARENT_SCOPE)
endfunction()

file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/man)
kvr_man_page(kvrrank "import Dustline Rally 2.0 participant files, write best times and a ranking")
kvr_man_page(kvrsample "make a synthetic Dustline Rally 2.0 game folder for kvrrank")
add_custom_target(manpages ALL DEPENDS ${KVR_MAN_PAGES} ${KVR_MAN_PAGES_GZ})
