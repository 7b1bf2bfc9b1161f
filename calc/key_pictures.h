#pragma once
// The calculator's own pictures of its buttons, drawn once in code: digits and the point in blue,
// operators in red, the functions in dark colours. The operator pictures also serve ImgZn.

#include <QImage>

#include "calc/calc_logic.h"

namespace nox::calc {

// The size of every picture.
inline constexpr int kPictureWidth = 26;
inline constexpr int kPictureHeight = 18;

// The picture of a command's button; a null image for the buttons captioned with text (the
// memory keys, CE and C).
QImage CommandPicture(CalcCommand command);
// The picture of the transfer button: an arrow into a field.
QImage TransferPicture();

}  // namespace nox::calc
