#pragma once

#include "charts/ICanvas.h"

// How many pixels of colour lie in x0..x1 - 1, y0..y1 - 1.
inline int CountIn(const ICanvas& c, CanvasColor colour, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            n += c.PixelAt(x, y) == colour ? 1 : 0;
        }
    }
    return n;
}
