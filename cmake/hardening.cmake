# Hardened binaries: the program parses files from strangers, so every build it ships in carries
# the distribution's protections. Linux: fortified libc calls (optimised builds only: the checks
# need the optimiser), stack protector, stack clash protection, control-flow protection, PIE,
# and a read-only GOT bound at start. Windows (MinGW-w64): ASLR with high entropy, DEP and the
# stack protector, its library linked statically so the .exe stays alone.
# Sanitizer and fuzzer builds go without: fortified calls hide faults from AddressSanitizer.
option(KVR_HARDEN "Build with the hardening flags" ON)
if(NOT KVR_HARDEN OR KVR_SANITIZE OR KVR_BUILD_FUZZERS OR MSVC)
  return()
endif()

add_compile_options(-fstack-protector-strong)
add_link_options(-fstack-protector-strong)

if(WIN32)
  # With -static from the toolchain file, the stack protector's libssp comes in as libssp.a.
  add_link_options(LINKER:--dynamicbase LINKER:--high-entropy-va LINKER:--nxcompat)
  return()
endif()

# -U first: some compilers define a level of their own, and a second definition only warns.
add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
add_compile_options(-fstack-clash-protection)
# Intel CET: indirect branch tracking and the shadow stack exist on x86 alone.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i.86)$")
  add_compile_options(-fcf-protection)
endif()

include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
add_link_options(LINKER:-z,relro LINKER:-z,now)
