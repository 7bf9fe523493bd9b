#pragma once

#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A strict little JSON reader for the tests: it checks that turbexctl's
// output is one well-formed document and lets a test look values up by path.
// Numbers are doubles; \uXXXX escapes of the BMP are decoded to UTF-8.
struct MiniJson {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool b = false;
    double number = 0;
    std::string text;
    std::vector<MiniJson> items;
    std::map<std::string, MiniJson> members;

    // The member at a dotted path ("live.engine_rpm"), or null.
    [[nodiscard]] const MiniJson* at(std::string_view path) const {
        const MiniJson* v = this;
        while (!path.empty()) {
            const size_t dot = path.find('.');
            const std::string key(path.substr(0, dot));
            if (v->kind != Kind::Object) {
                return nullptr;
            }
            const auto it = v->members.find(key);
            if (it == v->members.end()) {
                return nullptr;
            }
            v = &it->second;
            path = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
        }
        return v;
    }

    // The whole of text as one value; nothing on any error.
    static std::optional<MiniJson> Parse(std::string_view text) {
        size_t pos = 0;
        MiniJson v;
        if (!Value(text, pos, v, 0)) {
            return std::nullopt;
        }
        SkipBlanks(text, pos);
        if (pos != text.size()) {
            return std::nullopt;
        }
        return v;
    }

private:
    static void SkipBlanks(std::string_view t, size_t& p) {
        while (p < t.size() && (t[p] == ' ' || t[p] == '\n' || t[p] == '\r' || t[p] == '\t')) {
            ++p;
        }
    }
    static bool Literal(std::string_view t, size_t& p, std::string_view word) {
        if (t.substr(p, word.size()) != word) {
            return false;
        }
        p += word.size();
        return true;
    }
    static bool String(std::string_view t, size_t& p, std::string& out) {
        if (p >= t.size() || t[p] != '"') {
            return false;
        }
        ++p;
        while (p < t.size() && t[p] != '"') {
            const auto c = static_cast<unsigned char>(t[p]);
            if (c < 0x20) {
                return false;
            }
            if (c != '\\') {
                out += t[p++];
                continue;
            }
            if (++p >= t.size()) {
                return false;
            }
            const char e = t[p++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += e;
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'u': {
                if (p + 4 > t.size()) {
                    return false;
                }
                const unsigned cp = static_cast<unsigned>(
                    std::strtoul(std::string(t.substr(p, 4)).c_str(), nullptr, 16));
                p += 4;
                if (cp < 0x80) {
                    out += static_cast<char>(cp);
                } else if (cp < 0x800) {
                    out += static_cast<char>(0xC0 | (cp >> 6));
                    out += static_cast<char>(0x80 | (cp & 0x3F));
                } else {
                    out += static_cast<char>(0xE0 | (cp >> 12));
                    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (cp & 0x3F));
                }
                break;
            }
            default:
                return false;
            }
        }
        if (p >= t.size()) {
            return false;
        }
        ++p;
        return true;
    }
    static bool Value(std::string_view t, size_t& p, MiniJson& v, int depth) {
        if (depth > 64) {
            return false;
        }
        SkipBlanks(t, p);
        if (p >= t.size()) {
            return false;
        }
        const char c = t[p];
        if (c == '{') {
            v.kind = Kind::Object;
            ++p;
            SkipBlanks(t, p);
            if (p < t.size() && t[p] == '}') {
                ++p;
                return true;
            }
            for (;;) {
                SkipBlanks(t, p);
                std::string key;
                if (!String(t, p, key)) {
                    return false;
                }
                SkipBlanks(t, p);
                if (p >= t.size() || t[p] != ':') {
                    return false;
                }
                ++p;
                MiniJson member;
                if (!Value(t, p, member, depth + 1) || v.members.count(key) != 0) {
                    return false;
                }
                v.members.emplace(key, std::move(member));
                SkipBlanks(t, p);
                if (p < t.size() && t[p] == ',') {
                    ++p;
                    continue;
                }
                if (p < t.size() && t[p] == '}') {
                    ++p;
                    return true;
                }
                return false;
            }
        }
        if (c == '[') {
            v.kind = Kind::Array;
            ++p;
            SkipBlanks(t, p);
            if (p < t.size() && t[p] == ']') {
                ++p;
                return true;
            }
            for (;;) {
                MiniJson item;
                if (!Value(t, p, item, depth + 1)) {
                    return false;
                }
                v.items.push_back(std::move(item));
                SkipBlanks(t, p);
                if (p < t.size() && t[p] == ',') {
                    ++p;
                    continue;
                }
                if (p < t.size() && t[p] == ']') {
                    ++p;
                    return true;
                }
                return false;
            }
        }
        if (c == '"') {
            v.kind = Kind::String;
            return String(t, p, v.text);
        }
        if (Literal(t, p, "true")) {
            v.kind = Kind::Bool;
            v.b = true;
            return true;
        }
        if (Literal(t, p, "false")) {
            v.kind = Kind::Bool;
            return true;
        }
        if (Literal(t, p, "null")) {
            return true;
        }
        // Number: -?digits[.digits][e[+-]digits]
        const size_t start = p;
        if (p < t.size() && t[p] == '-') {
            ++p;
        }
        auto digits = [&] {
            const size_t s = p;
            while (p < t.size() && t[p] >= '0' && t[p] <= '9') {
                ++p;
            }
            return p > s;
        };
        if (!digits()) {
            return false;
        }
        if (p < t.size() && t[p] == '.') {
            ++p;
            if (!digits()) {
                return false;
            }
        }
        if (p < t.size() && (t[p] == 'e' || t[p] == 'E')) {
            ++p;
            if (p < t.size() && (t[p] == '+' || t[p] == '-')) {
                ++p;
            }
            if (!digits()) {
                return false;
            }
        }
        v.kind = Kind::Number;
        v.number = std::strtod(std::string(t.substr(start, p - start)).c_str(), nullptr);
        return true;
    }
};
