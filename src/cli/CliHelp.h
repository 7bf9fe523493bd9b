#pragma once

#include <string>

namespace cli {

// The help of the tool ("turbexctl --help") and of each command
// ("turbexctl help set", "turbexctl set --help"); "" for an unknown command.
[[nodiscard]] std::string ToolHelp();
[[nodiscard]] std::string CommandHelp(const std::string& command);

} // namespace cli
