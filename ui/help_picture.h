#pragma once
// The picture on the Help page: usage instructions, 761 x 521, drawn by the
// program so its text stays with the code.

#include <QImage>

namespace help_picture {
constexpr int Width = 761;
constexpr int Height = 521;
QImage render();
}  // namespace help_picture
