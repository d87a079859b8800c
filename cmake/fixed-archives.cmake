# Run by cpack after each package (CPACK_POST_BUILD_SCRIPTS). The .tar.gz and the .zip are made
# again from the same staged files, so that two builds of one commit give the same bytes:
# CPack lists files in the order the file system hands them out and stores their owner and
# their change and access times. Here every entry is in name order, dated SOURCE_DATE_EPOCH,
# owned by root, with permissions from the owner's alone, and the ZIP has no extra fields.
# The .deb needs nothing: CPack sorts its entries and dates them by SOURCE_DATE_EPOCH.
if(NOT CPACK_GENERATOR MATCHES "^(TGZ|ZIP)$" OR CPACK_KVR_SOURCE_DATE_EPOCH STREQUAL "")
  return()
endif()

set(top ${CPACK_PACKAGE_FILE_NAME})
set(staged ${CPACK_TOPLEVEL_DIRECTORY}/${top})
list(LENGTH CPACK_PACKAGE_FILES count)
if(NOT IS_DIRECTORY ${staged} OR NOT count EQUAL 1)
  message(FATAL_ERROR "fixed-archives: expected one package from ${staged}, "
                      "got: ${CPACK_PACKAGE_FILES}")
endif()
set(package ${CPACK_PACKAGE_FILES})
file(REMOVE ${package})

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${CPACK_TOPLEVEL_DIRECTORY}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "fixed-archives: ${ARGN}: ${status}")
  endif()
endfunction()

if(CPACK_GENERATOR STREQUAL "TGZ")
  # GNU tar and gzip -n (no name or time in the gzip header).
  run(tar --sort=name --format=gnu --mtime=@${CPACK_KVR_SOURCE_DATE_EPOCH} --owner=0 --group=0
      --numeric-owner --mode=u+rw,go=rX -cf ${package}.tar ${top})
  run(gzip -9 -n -f ${package}.tar)
  file(RENAME ${package}.tar.gz ${package})
else()
  # Info-ZIP: -X leaves out the owner and the Unix times, so each entry keeps its DOS time
  # alone, which is local time: the files are dated in UTC first. No folder entries (-D).
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${CPACK_TOPLEVEL_DIRECTORY}
       ${staged}/*)
  list(SORT files)
  foreach(file IN LISTS files)
    run(touch -h -d @${CPACK_KVR_SOURCE_DATE_EPOCH} ${file})
  endforeach()
  run(env TZ=UTC zip -q -X -D -9 ${package} ${files})
endif()
