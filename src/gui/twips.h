#pragma once

// Screen positions are designed in twips (1440 to the inch); at 96 dpi that is
// 15 twips to a pixel.
constexpr int twips(int t)
{
    return t / 15;
}
