#pragma once

#include <cstdint>

// A window whose child controls carry captions, as the text table sees it.
// The user-interface layer implements it for its dialogs, so that captions can
// be set from (control id, text number) lists without the core knowing the
// widget toolkit.
//
// Thread safety: called on the user-interface thread only.
class ITextWindow {
public:
    virtual ~ITextWindow() = default;

    // Sets the caption of the child control controlId to utf8 (UTF-8, never
    // null). Returns false, changing nothing, when the window has no such
    // control.
    virtual bool SetControlText(int32_t controlId, const char* utf8) = 0;
};
