#pragma once

#include <string>

// File-dialog filters are written as "name (*.csv)|*.csv|other|*.txt||":
// pairs of a description and its patterns, separated by '|'. The dialogs of
// the widget toolkit take "name (*.csv);;other (*.txt)".
//
// Thread safety: pure function; any thread.
class FileFilter {
public:
    // One entry per pair: the description, with the patterns appended in
    // parentheses when the description does not show them already; patterns
    // separated by ';' become blank-separated. An empty filter gives "".
    [[nodiscard]] static std::string ToToolkit(const std::string& filter);
};
