# Packages of the release build with CPack: a .deb and a .tar.gz on Linux.
#   cmake --workflow --preset package     (or: cpack in build/release)
# Packages land in <build>/packages. Other systems get no package here yet; a Windows branch
# goes next to the Linux one below.

set(CPACK_PACKAGE_NAME kvrrank)
set(CPACK_PACKAGE_VENDOR "The kvrrank developers")
set(KVR_PACKAGE_MAINTAINER
    "The kvrrank developers <maintainers@users.noreply.c-seed-3ecefd1f.example>"
    CACHE STRING "Maintainer of the packages: name <address>")
set(CPACK_PACKAGE_CONTACT "${KVR_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "best times and ranking for a group of Dustline Rally 2.0 players")
# The long description, its lines kept under 80 characters as Debian asks.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "kvrrank is a console tool for a group of players of the rally game"
  "Dustline Rally 2.0. It imports the participant files of the game folder's kvr/,"
  "writes the group's best time of every rally stage and arcade event into the"
  "game's records file, so that the game shows them, and writes ranking.txt: the"
  "participants, the ten best of every stage and event, and a points championship."
  "."
  "kvrsample makes synthetic game folders for trying the tool out.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
# Read by cpack once per generator, where the generator's own file set is chosen.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackProjectConfig.cmake)
configure_file(${CMAKE_CURRENT_LIST_DIR}/cpack-project.cmake.in ${CPACK_PROJECT_CONFIG_FILE} @ONLY)

if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT CMAKE_CROSSCOMPILING)
  set(CPACK_GENERATOR DEB TGZ)

  # 1.0-1: the first Debian package of kvrrank 1.0 (a non-native version, so the Debian
  # changelog is changelog.Debian.gz).
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # utils, not games: Debian puts a games section package's programs in /usr/games, which is
  # not on root's PATH; kvrrank is a tool next to the game, not a game.
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # What lintian reports and we accept (tools/package-check.sh fails on any other warning, and
  # on any hardening tag: the binaries carry cmake/hardening.cmake's flags):
  #   W initial-upload-closes-no-bugs: the package is not uploaded to Debian, so there is no
  #     "intent to package" bug for its first changelog entry to close.
  #   I binary-has-unneeded-section .comment: CPack's strip keeps the compiler's note.
  #   I spelling-error-in-binary, typo-in-manual-page "updateing": the tool's console line,
  #     kept byte for byte as it has always been printed (see the README).
  # No Homepage field: the project has no public page.

  # The files only the .deb carries (component "debian", see cpack-project.cmake.in).
  set(debian_dir ${PROJECT_BINARY_DIR}/debian)
  file(MAKE_DIRECTORY ${debian_dir})

  # copyright in Debian's machine-readable format, its licence text taken from LICENSE.
  # Expat is that format's name for the MIT licence.
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" _ "${licence}")
  set(KVR_COPYRIGHT "${CMAKE_MATCH_1}")
  if(NOT KVR_COPYRIGHT)
    message(FATAL_ERROR "No 'Copyright (c) ...' line in LICENSE")
  endif()
  string(REGEX REPLACE "^MIT License\n+" "" licence "${licence}")
  string(REGEX REPLACE "\n+$" "" licence "${licence}")
  string(REPLACE "\n" "\n " licence " ${licence}")
  string(REPLACE "\n \n" "\n .\n" KVR_LICENCE_TEXT "${licence}")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${debian_dir}/copyright @ONLY)

  # The changelog's date is the day of configuring (SOURCE_DATE_EPOCH, when set, fixes it).
  set(KVR_DEBIAN_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
  string(TIMESTAMP KVR_CHANGELOG_DATE "%a, %d %b %Y 00:00:00 +0000" UTC)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${debian_dir}/changelog.Debian
                 @ONLY)
  execute_process(
    COMMAND gzip -9 -n -c ${debian_dir}/changelog.Debian
    OUTPUT_FILE ${debian_dir}/changelog.Debian.gz
    RESULT_VARIABLE gzip_status)
  if(NOT gzip_status EQUAL 0)
    message(FATAL_ERROR "gzip could not compress the Debian changelog (${gzip_status})")
  endif()

  install(FILES ${debian_dir}/copyright ${debian_dir}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)
  install(FILES ${KVR_MAN_PAGES_GZ}
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT debian EXCLUDE_FROM_ALL)
else()
  return()
endif()

include(CPack)
