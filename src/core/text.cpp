#include "core/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace jq {
namespace {

std::string Convert(std::string_view in, const char* to, const char* from, std::string_view replacement) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    std::string out;
    std::vector<char> buf(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    while (srcLeft > 0) {
        char* dst = buf.data();
        size_t dstLeft = buf.size();
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf.data(), dst - buf.data());
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // Invalid or incomplete sequence: replace one byte and go on.
            out.append(replacement);
            ++src;
            --srcLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string Gb(std::string_view utf8) { return Convert(utf8, "GB18030", "UTF-8", "?"); }

std::string Utf8FromGb(std::string_view gb) { return Convert(gb, "UTF-8", "GB18030", "\xEF\xBF\xBD"); }

std::string BoundedText(const char* field, size_t width) {
    size_t n = 0;
    while (n < width && field[n] != '\0') ++n;
    return std::string(field, n);
}

void PutBoundedText(char* field, size_t width, std::string_view text) {
    if (width == 0) return;
    std::memset(field, 0, width);
    size_t n = text.size() < width - 1 ? text.size() : width - 1;
    std::memcpy(field, text.data(), n);
}

}  // namespace jq
