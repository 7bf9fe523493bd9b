#pragma once

#include <QIcon>
#include <QString>

// The tool's window icon, drawn from the project's own SVG at the sizes the
// window system asks for (16 to 256 pixels). Null only if the resource is
// missing from the build.
[[nodiscard]] QIcon AppIcon();

// The same drawing of any SVG file (the installed icon, say); null when the
// file cannot be read as SVG.
[[nodiscard]] QIcon AppIconFrom(const QString& svgPath);
