# The players' ZIP of the Windows program: kvrrank.exe, a short README, the licences and the
# starting league file, the text files with CR LF line ends. `cmake --workflow --preset
# windows-package` makes it.
install(TARGETS kvrrank RUNTIME DESTINATION .)
configure_file(docs/windows-readme.txt ${CMAKE_CURRENT_BINARY_DIR}/package/README.txt @ONLY
               NEWLINE_STYLE CRLF)
configure_file(LICENSE ${CMAKE_CURRENT_BINARY_DIR}/package/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(docs/font-licence.txt ${CMAKE_CURRENT_BINARY_DIR}/package/FONT-LICENCE.txt @ONLY
               NEWLINE_STYLE CRLF)
configure_file(docs/kvrrank.toml.example
               ${CMAKE_CURRENT_BINARY_DIR}/package/kvrrank.toml.example @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/package/README.txt
              ${CMAKE_CURRENT_BINARY_DIR}/package/LICENSE.txt
              ${CMAKE_CURRENT_BINARY_DIR}/package/FONT-LICENCE.txt
              ${CMAKE_CURRENT_BINARY_DIR}/package/kvrrank.toml.example DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME kvrrank)
set(CPACK_PACKAGE_VENDOR "The kvrrank developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME kvrrank-${PROJECT_VERSION}-windows-x64)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Best times and a points ranking for Dustline Rally 2.0")
include(CPack)
