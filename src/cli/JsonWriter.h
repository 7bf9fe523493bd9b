#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace cli {

// A small streaming JSON writer for turbexctl's --json output: objects,
// arrays, strings, numbers, booleans and null, compact or indented by two
// blanks. Strings are written as UTF-8 with the characters JSON requires
// escaped; bytes that are not UTF-8 become U+FFFD, so the output always
// parses. Non-finite numbers are written as null.
//
// Misuse (a value where a key is due, a key outside an object, closing what
// is not open) is a programming error: the writer ignores the call and
// remembers it in ok() for tests.
//
// Thread safety: a plain value; one thread at a time.
class JsonWriter {
public:
    explicit JsonWriter(bool pretty = false)
        : m_pretty(pretty) {}

    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    // The key of the next value; only inside an object.
    JsonWriter& key(std::string_view name);

    JsonWriter& value(std::string_view text);
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(const std::string& text) { return value(std::string_view(text)); }
    JsonWriter& value(bool b);
    // Any integer type (char types too) as a number.
    template <typename T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool>) JsonWriter& value(T v) {
        if constexpr (std::is_signed_v<T>) {
            return signedValue(static_cast<int64_t>(v));
        } else {
            return unsignedValue(static_cast<uint64_t>(v));
        }
    }
    // The shortest text that reads back as the same float or double.
    JsonWriter& value(float v);
    JsonWriter& value(double v);
    JsonWriter& null();

    // key(name) then value(v).
    template <typename T>
    JsonWriter& field(std::string_view name, const T& v) {
        key(name);
        return value(v);
    }

    // The text so far; complete once every object and array is closed.
    [[nodiscard]] const std::string& str() const { return m_out; }
    [[nodiscard]] bool complete() const { return m_stack.empty() && m_done; }
    [[nodiscard]] bool ok() const { return m_ok; }

    // text as a JSON string literal, quotes included.
    [[nodiscard]] static std::string Quote(std::string_view text);

private:
    enum class Scope : uint8_t { Object, Array };
    struct Level {
        Scope scope;
        bool empty = true;
        bool keyDue = true; // objects: a key comes next
    };
    JsonWriter& signedValue(int64_t v);
    JsonWriter& unsignedValue(uint64_t v);
    // A float or double in its shortest exact form; null when not finite.
    template <typename F>
    JsonWriter& number(F v);
    // Prepares for a value (separator, indentation); false on misuse.
    bool beforeValue();
    void newline();
    void raw(std::string_view text);
    JsonWriter& close(Scope scope, char bracket);

    bool m_pretty;
    bool m_ok = true;
    bool m_done = false;
    std::string m_out;
    std::vector<Level> m_stack;
};

} // namespace cli
