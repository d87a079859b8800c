# libFuzzer builds (clang): every target gets the sanitizers, and the coverage the fuzzer steers
# by except where cmake/fuzz-coverage-ignorelist.txt leaves it out.
if(NOT KVR_BUILD_FUZZERS)
  return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "KVR_BUILD_FUZZERS needs clang (libFuzzer)")
endif()

# The ignore list goes in under a name that holds its hash: neither the build nor the compiler
# cache sees the file itself, but both see an edit as a new command line.
set(KVR_COVERAGE_IGNORELIST ${PROJECT_SOURCE_DIR}/cmake/fuzz-coverage-ignorelist.txt)
file(MD5 ${KVR_COVERAGE_IGNORELIST} KVR_COVERAGE_IGNORELIST_HASH)
set(KVR_COVERAGE_IGNORELIST_COPY
    ${PROJECT_BINARY_DIR}/fuzz-coverage-ignorelist-${KVR_COVERAGE_IGNORELIST_HASH}.txt)
file(GLOB KVR_STALE_IGNORELISTS ${PROJECT_BINARY_DIR}/fuzz-coverage-ignorelist-*.txt)
list(REMOVE_ITEM KVR_STALE_IGNORELISTS ${KVR_COVERAGE_IGNORELIST_COPY})
if(KVR_STALE_IGNORELISTS)
  file(REMOVE ${KVR_STALE_IGNORELISTS})
endif()
configure_file(${KVR_COVERAGE_IGNORELIST} ${KVR_COVERAGE_IGNORELIST_COPY} COPYONLY)

add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                    -fsanitize-coverage-ignorelist=${KVR_COVERAGE_IGNORELIST_COPY})
