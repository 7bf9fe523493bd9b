#pragma once

// The version of the Turbex programs ("1.1.73"), the project's version in
// the build. Each program prints it for --version.
[[nodiscard]] const char* TurbexVersion();
