#include "platform/CodePage.h"

#include "platform/Utf.h"

#include <cerrno>
#include <iconv.h>

namespace platform {

namespace {

// glibc names code page 936 "CP936" (it includes 0x80 for the euro sign, as
// Windows does); "GBK" is the same table under its other name.
iconv_t OpenConverter(const char* to, bool toGbk) {
    const char* names[] = {"CP936", "GBK"};
    for (const char* name : names) {
        iconv_t cd = toGbk ? iconv_open(name, to) : iconv_open(to, name);
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            return cd;
        }
    }
    return reinterpret_cast<iconv_t>(-1);
}

class Converter {
public:
    Converter(const char* other, bool toGbk)
        : m_cd(OpenConverter(other, toGbk)) {}
    ~Converter() {
        if (ok()) {
            iconv_close(m_cd);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    [[nodiscard]] bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts in; on a sequence that cannot be converted, appends bad and
    // skips badLength(remaining input) bytes. Returns false if anything was
    // replaced.
    template <typename SkipFn>
    bool Run(std::string_view in, std::string& out, std::string_view bad, SkipFn skip) {
        bool clean = true;
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char buffer[512];
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            const size_t r = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<size_t>(dst - buffer));
            if (r != static_cast<size_t>(-1)) {
                continue;
            }
            if (errno == E2BIG) {
                continue;
            }
            // EILSEQ, or EINVAL for a sequence cut off at the end.
            clean = false;
            out.append(bad);
            const size_t n = skip(std::string_view(src, srcLeft));
            src += n;
            srcLeft -= n;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        return clean;
    }

private:
    iconv_t m_cd;
};

} // namespace

std::string GbkToUtf8(std::string_view gbk) {
    std::string out;
    out.reserve(gbk.size() + gbk.size() / 2);
    Converter converter("UTF-8", false);
    if (!converter.ok()) {
        // Without the converter keep ASCII and mark the rest.
        for (char c : gbk) {
            if (static_cast<unsigned char>(c) < 0x80) {
                out.push_back(c);
            } else {
                out.append("\xEF\xBF\xBD");
            }
        }
        return out;
    }
    (void)converter.Run(gbk, out, "\xEF\xBF\xBD", [](std::string_view) { return size_t{1}; });
    return out;
}

std::string Utf8ToGbk(std::string_view utf8, bool* lossless) {
    std::string out;
    out.reserve(utf8.size());
    Converter converter("UTF-8", true);
    bool clean = true;
    if (!converter.ok()) {
        for (char c : utf8) {
            const bool ascii = static_cast<unsigned char>(c) < 0x80;
            out.push_back(ascii ? c : '?');
            clean = clean && ascii;
        }
    } else {
        // Skip the whole character that has no GBK form, not just its first
        // byte, so that one '?' stands for one character.
        const std::string valid = SanitizeUtf8(utf8);
        clean = valid.size() == utf8.size() && valid == utf8;
        clean = converter.Run(valid, out, "?", [](std::string_view rest) {
            const auto lead = static_cast<unsigned char>(rest.front());
            size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            return n < rest.size() ? n : rest.size();
        }) && clean;
    }
    if (lossless != nullptr) {
        *lossless = clean;
    }
    return out;
}

} // namespace platform
