#include "ui/model/SystemLanguage.h"

#include <cctype>
#include <string>

namespace {

std::string Lower(std::string_view s) {
    std::string out;
    for (char c : s) {
        out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return out;
}

} // namespace

uint16_t SystemLanguage::LangIdFromLocaleName(std::string_view name) {
    // Drop the encoding and modifier: "zh_CN.UTF-8@pinyin" -> "zh_CN".
    const size_t cut = name.find_first_of(".@");
    if (cut != std::string_view::npos) {
        name = name.substr(0, cut);
    }
    const std::string n = Lower(name);
    if (n.size() < 2 || n.compare(0, 2, "zh") != 0 ||
        (n.size() > 2 && n[2] != '_' && n[2] != '-')) {
        return kEnglishUs;
    }
    // The region is the last part; a script part ("Hans", "Hant") may come
    // between.
    const size_t last = n.find_last_of("_-");
    const std::string region =
        last == std::string::npos || last < 2 ? std::string() : n.substr(last + 1);
    if (region == "hk") {
        return kChineseHongKong;
    }
    if (region == "tw") {
        return kChineseTaiwan;
    }
    if (region == "sg") {
        return kChineseSingapore;
    }
    if (region == "mo") {
        return kChineseMacao;
    }
    if (region == "hant") {
        return kChineseTaiwan; // traditional script without a region
    }
    return kChinesePrc; // "zh", "zh_CN", "zh-Hans"
}

int32_t SystemLanguage::TextLanguageFor(uint16_t langId) {
    return langId == kChinesePrc || langId == kChineseHongKong ? 0 : 1;
}
