# Turns the bytes of INPUT into a C++ array named SYMBOL in OUTPUT, followed by
# the zero bytes that bring its size to a multiple of four (at least one).
# Usage: cmake -DINPUT=... -DOUTPUT=... -DSYMBOL=... -P embed_resource.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
math(EXPR padding "4 - ${size} % 4")
string(REPEAT "00" ${padding} zeros)
string(APPEND hex "${zeros}")
math(EXPR stored_size "${size} + ${padding}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT}; do not edit.
#include <cstddef>

namespace zelvo::embedded {

extern const unsigned char ${SYMBOL}[];
extern const std::size_t ${SYMBOL}Size;
extern const std::size_t ${SYMBOL}Padding;

alignas(4) const unsigned char ${SYMBOL}[${stored_size}] = {
    ${bytes}};
const std::size_t ${SYMBOL}Size = sizeof(${SYMBOL});
const std::size_t ${SYMBOL}Padding = ${padding};
static_assert(sizeof(${SYMBOL}) % 4 == 0);

}  // namespace zelvo::embedded
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
