// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <string>

namespace plenar::test {

// Saves `image` as a BMP of `bitsPerPixel` (1, 4, 8, 24 or 32). Qt's writer covers 1, 4, 8 and
// 24 bits; 32-bit files are encoded here (BITMAPINFOHEADER, BI_RGB, bottom-up rows).
// 1 bit keeps black and white only; 4 and 8 bits use a grey palette.
bool saveBmp(const QImage& image, const std::string& path, int bitsPerPixel);

// A filled image of `w` x `h` pixels in one colour.
QImage solidImage(int w, int h, QRgb colour);

}  // namespace plenar::test
