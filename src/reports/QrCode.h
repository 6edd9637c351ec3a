#pragma once

#include <QByteArray>
#include <QImage>

// A QR code (error correction level M, 8-bit data) drawn as a black-on-white
// image: each module moduleSize pixels square, with the quiet zone of four
// modules that readers need around it. A null image when the data does not
// fit in the largest symbol (about 2,300 bytes at level M) or moduleSize is
// not positive.
QImage QrImage(const QByteArray &data, int moduleSize = 4);

// The number of modules on a side of the symbol that QrImage draws for
// data, without the quiet zone; 0 when it does not fit.
int QrModules(const QByteArray &data);
