#include "reports/QrCode.h"

#include <QPainter>

#include <qrencode.h>

#include <memory>

namespace {

constexpr int kQuietZone = 4;

struct QrFree {
    void operator()(QRcode *code) const { QRcode_free(code); }
};
using QrPtr = std::unique_ptr<QRcode, QrFree>;

QrPtr Encode(const QByteArray &data)
{
    if (data.isEmpty())
        return QrPtr(QRcode_encodeData(1, reinterpret_cast<const unsigned char *>(" "), 0, QR_ECLEVEL_M));
    return QrPtr(QRcode_encodeData(int(data.size()), reinterpret_cast<const unsigned char *>(data.constData()), 0,
                                   QR_ECLEVEL_M));
}

}   // namespace

int QrModules(const QByteArray &data)
{
    const QrPtr code = Encode(data);
    return code ? code->width : 0;
}

QImage QrImage(const QByteArray &data, int moduleSize)
{
    if (moduleSize <= 0)
        return {};
    const QrPtr code = Encode(data);
    if (!code)
        return {};
    const int side = (code->width + 2 * kQuietZone) * moduleSize;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            // Bit 0 of each byte is the module's colour (1 dark).
            if (code->data[y * code->width + x] & 1)
                painter.fillRect((x + kQuietZone) * moduleSize, (y + kQuietZone) * moduleSize, moduleSize, moduleSize,
                                 Qt::black);
    return image;
}
