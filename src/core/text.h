// GB2312 text handling. The game keeps texts as GB2312 bytes, as they stand
// in its files and packets; the window converts them for the screen.
#pragma once

#include <string>
#include <string_view>

namespace jq {

// UTF-8 to GB2312 bytes (code page 936); a character the code page lacks,
// or an invalid sequence, becomes one '?'.
std::string Gb(std::string_view utf8);
// GB2312 (GB18030) bytes to UTF-8; invalid bytes become U+FFFD.
std::string Utf8FromGb(std::string_view gb);

// Copies a NUL-terminated text out of a fixed field without reading past it.
std::string BoundedText(const char* field, size_t width);
// Writes text into a fixed field of `width` bytes, cut to width-1 bytes and
// NUL-padded.
void PutBoundedText(char* field, size_t width, std::string_view text);

// Text from another side (a name, a chat line) as it may be shown: a line
// break or tab becomes a blank, any other control byte (below 0x20, and
// 0x7F) a '?'. GB2312's two-byte characters have no byte below 0xA1 and
// pass unchanged.
std::string ShownText(std::string_view gb);

}  // namespace jq
