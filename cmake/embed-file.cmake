# Writes OUT, a C++ source that defines the byte array kvr::NAME and kvr::NAMESize from the
# bytes of IN, so that a file the program needs (the card's font) is part of the program.
# cmake -DIN=file -DOUT=source.cpp -DNAME=Identifier -P embed-file.cmake
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" digits)
if(digits EQUAL 0)
  message(FATAL_ERROR "${IN} is empty")
endif()
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPEAT "0x..," 16 line)
string(REGEX REPLACE "(${line})" "\\1\n" bytes "${bytes}")
get_filename_component(from "${IN}" NAME)
file(WRITE "${OUT}.new" "// Made at build time from ${from}.\n#include <cstddef>\nnamespace kvr {\n"
     "extern const unsigned char ${NAME}[];\nextern const size_t ${NAME}Size;\n"
     "const unsigned char ${NAME}[] = {\n${bytes}\n};\nconst size_t ${NAME}Size = ${size};\n}\n")
file(RENAME "${OUT}.new" "${OUT}")
