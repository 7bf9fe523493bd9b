#pragma once

#include "foundation/ITextWindow.h"

#include <atomic>
#include <cstdint>
#include <span>

// The bilingual text table: every caption, label, state name and error text of
// the tool, numbered 0..286, in Chinese and English (UTF-8), and the
// process-wide language that picks one of them.
//
// The texts are kept exactly as the tool has always shown them, trailing
// blanks and odd spellings included ("Historic records ", "Coolling",
// "Alternater").
//
// Thread safety: the table is constant. The language is an atomic value; it is
// meant to be changed on the user-interface thread, and a reader on another
// thread sees either the old or the new language.
class CTextTable {
public:
    static constexpr int32_t kChinese = 0;
    static constexpr int32_t kEnglish = 1;
    static constexpr int32_t kRowCount = 287;

    struct Row {
        int32_t id;
        const char* chinese; // UTF-8
        const char* english; // UTF-8
    };

    // A control of a window and the text number its caption comes from.
    struct ControlText {
        int32_t controlId;
        int32_t textNumber;
    };

    // The process-wide table, shared by every dialog; Chinese until changed.
    [[nodiscard]] static CTextTable& Process();

    // A table of its own, Chinese at the start (tests, tools that must not
    // change the process-wide language).
    CTextTable() = default;
    CTextTable(const CTextTable&) = delete;
    CTextTable& operator=(const CTextTable&) = delete;

    // Stores 0 (Chinese) or 1 (English); any other value is ignored.
    void SetLanguage(int32_t language);
    [[nodiscard]] int32_t GetLanguage() const;

    // The text of row id in the current language; "" (never null) for an id
    // outside 0..286. The pointer stays valid for the life of the program.
    [[nodiscard]] const char* GetText(int32_t id) const;

    // As GetText, in the given language (0 or 1; anything else gives "").
    [[nodiscard]] static const char* GetText(int32_t id, int32_t language);

    // Sets the caption of control controlId of window to GetText(textNumber).
    // Does nothing when window is null or has no such control.
    void SetControlText(ITextWindow* window, int32_t controlId, int32_t textNumber) const;

    // SetControlText for the first count pairs, in list order; pairs whose
    // control is missing are skipped. A null list or count <= 0 does nothing.
    void SetControlTexts(ITextWindow* window, const ControlText* pairs, int32_t count) const;
    void SetControlTexts(ITextWindow* window, std::span<const ControlText> pairs) const;

    // Every row, in id order.
    [[nodiscard]] static std::span<const Row> Rows();

private:
    std::atomic<int32_t> m_language{kChinese};
};
