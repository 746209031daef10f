#include "core/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace jq {
namespace {

// Bytes of the one character at `p` (at most `left`): the lead byte and the
// continuation bytes after it, so a broken sequence also counts as one.
size_t Utf8CharacterLength(const char* p, size_t left) {
    size_t n = 1;
    while (n < left && n < 4 && (static_cast<unsigned char>(p[n]) & 0xC0) == 0x80) ++n;
    return n;
}

// A conversion opened once for the thread that uses it: opening one loads
// the character set's tables each time, far dearer than the conversion.
struct Converter {
    Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~Converter() {
        if (Open()) iconv_close(cd);
    }
    bool Open() const { return cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t cd;
};

// `utf8Input`: a character the target cannot hold is replaced whole, not
// byte by byte.
std::string Convert(std::string_view in, const Converter& converter, std::string_view replacement, bool utf8Input) {
    if (!converter.Open()) return std::string(in);
    iconv_t cd = converter.cd;
    // From the initial state, whatever the last use left.
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
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
            // A character without a mapping, or an invalid or incomplete
            // sequence: replace it and go on.
            const size_t skip = utf8Input ? Utf8CharacterLength(src, srcLeft) : 1;
            out.append(replacement);
            src += skip;
            srcLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

}  // namespace

// Code page 936 writes only one- and two-byte characters, which every reader
// of the files and packets understands; reading accepts GB18030, its
// superset.
std::string Gb(std::string_view utf8) {
    thread_local const Converter toGb("CP936", "UTF-8");
    return Convert(utf8, toGb, "?", true);
}

std::string Utf8FromGb(std::string_view gb) {
    thread_local const Converter fromGb("UTF-8", "GB18030");
    return Convert(gb, fromGb, "\xEF\xBF\xBD", false);
}

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

std::string ShownText(std::string_view gb) {
    std::string out(gb);
    for (char& c : out) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\t' || b == '\n' || b == '\v' || b == '\f' || b == '\r')
            c = ' ';
        else if (b < 0x20 || b == 0x7F)
            c = '?';
    }
    return out;
}

}  // namespace jq
