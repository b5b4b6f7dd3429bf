// GB18030 (and so GBK and GB2312, code page 936) decoded to UTF-8.
#pragma once

#include <cstddef>
#include <string_view>

namespace brisquel::sheets {

// Writes the GB18030 bytes as UTF-8 to `out`, which has room for three bytes per byte, and
// returns the end of what was written. Each byte that starts no sequence the code defines
// becomes U+FFFD, and decoding goes on with the next byte. Bytes below 0x30 never belong to
// a longer sequence, so text cut right before or after one of them decodes piece by piece
// exactly as it does whole.
char* decodeGb18030(std::string_view bytes, char* out);

} // namespace brisquel::sheets
