#include "cli/JsonWriter.h"

#include "platform/Utf.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace cli {

std::string JsonWriter::Quote(std::string_view text) {
    const std::string clean = platform::SanitizeUtf8(text);
    std::string out;
    out.reserve(clean.size() + 2);
    out += '"';
    for (const char ch : clean) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04X", c);
                out += buf;
            } else {
                out += ch;
            }
        }
    }
    out += '"';
    return out;
}

void JsonWriter::newline() {
    if (!m_pretty) {
        return;
    }
    m_out += '\n';
    m_out.append(m_stack.size() * 2, ' ');
}

void JsonWriter::raw(std::string_view text) {
    m_out.append(text);
}

bool JsonWriter::beforeValue() {
    if (m_stack.empty()) {
        if (m_done) {
            m_ok = false; // a second top-level value
            return false;
        }
        return true;
    }
    Level& top = m_stack.back();
    if (top.scope == Scope::Object) {
        if (top.keyDue) {
            m_ok = false;
            return false;
        }
        top.keyDue = true;
        return true;
    }
    if (!top.empty) {
        m_out += ',';
    }
    top.empty = false;
    newline();
    return true;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    if (m_stack.empty() || m_stack.back().scope != Scope::Object || !m_stack.back().keyDue) {
        m_ok = false;
        return *this;
    }
    Level& top = m_stack.back();
    if (!top.empty) {
        m_out += ',';
    }
    top.empty = false;
    top.keyDue = false;
    newline();
    m_out += Quote(name);
    m_out += m_pretty ? ": " : ":";
    return *this;
}

JsonWriter& JsonWriter::beginObject() {
    if (beforeValue()) {
        m_out += '{';
        m_stack.push_back({Scope::Object});
    }
    return *this;
}

JsonWriter& JsonWriter::beginArray() {
    if (beforeValue()) {
        m_out += '[';
        m_stack.push_back({Scope::Array});
    }
    return *this;
}

JsonWriter& JsonWriter::close(Scope scope, char bracket) {
    if (m_stack.empty() || m_stack.back().scope != scope ||
        (scope == Scope::Object && !m_stack.back().keyDue)) {
        m_ok = false;
        return *this;
    }
    const bool empty = m_stack.back().empty;
    m_stack.pop_back();
    if (!empty) {
        newline();
    }
    m_out += bracket;
    if (m_stack.empty()) {
        m_done = true;
    }
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    return close(Scope::Object, '}');
}

JsonWriter& JsonWriter::endArray() {
    return close(Scope::Array, ']');
}

JsonWriter& JsonWriter::value(std::string_view text) {
    if (beforeValue()) {
        m_out += Quote(text);
        m_done = m_stack.empty();
    }
    return *this;
}

JsonWriter& JsonWriter::value(bool b) {
    if (beforeValue()) {
        raw(b ? "true" : "false");
        m_done = m_stack.empty();
    }
    return *this;
}

JsonWriter& JsonWriter::null() {
    if (beforeValue()) {
        raw("null");
        m_done = m_stack.empty();
    }
    return *this;
}

JsonWriter& JsonWriter::signedValue(int64_t v) {
    if (beforeValue()) {
        m_out += std::to_string(v);
        m_done = m_stack.empty();
    }
    return *this;
}

JsonWriter& JsonWriter::unsignedValue(uint64_t v) {
    if (beforeValue()) {
        m_out += std::to_string(v);
        m_done = m_stack.empty();
    }
    return *this;
}

namespace {
template <typename F>
std::string Shortest(F v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}
} // namespace

template <typename F>
JsonWriter& JsonWriter::number(F v) {
    if (!std::isfinite(v)) {
        return null();
    }
    if (beforeValue()) {
        m_out += Shortest(v);
        m_done = m_stack.empty();
    }
    return *this;
}

JsonWriter& JsonWriter::value(float v) {
    return number(v);
}

JsonWriter& JsonWriter::value(double v) {
    return number(v);
}

} // namespace cli
