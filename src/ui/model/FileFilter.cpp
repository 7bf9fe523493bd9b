#include "ui/model/FileFilter.h"

#include <vector>

std::string FileFilter::ToToolkit(const std::string& filter) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : filter) {
        if (c == '|') {
            parts.push_back(part);
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty()) {
        parts.push_back(part);
    }
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        const std::string& name = parts[i];
        std::string patterns = parts[i + 1];
        if (name.empty() && patterns.empty()) {
            break; // the closing "||"
        }
        for (char& c : patterns) {
            if (c == ';') {
                c = ' ';
            }
        }
        std::string entry = name;
        if (entry.find('(') == std::string::npos) {
            entry += (entry.empty() ? "(" : " (") + patterns + ")";
        }
        if (!out.empty()) {
            out += ";;";
        }
        out += entry;
    }
    return out;
}
