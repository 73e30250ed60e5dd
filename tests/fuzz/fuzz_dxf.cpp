#include "imaging/deadline.h"
#include "imaging/dxf/dxf.h"
#include "imaging/magick/library.h"

#include <QBuffer>
#include <QGuiApplication>
#include <cstdint>
#include <cstdlib>

// Feeds every input to the DXF reader. A refusal is a fine outcome; a crash,
// a read outside the input or a picture past the limits is not.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Text is drawn only with a GUI application, and the fuzzer must reach it.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication *app = new QGuiApplication(*argc, *argv);
    Q_UNUSED(app);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    QString reason;
    const QImage image = imaging::detail::readDxf(device, imaging::Deadline(), &reason);
    if (image.isNull() == reason.isEmpty())
        std::abort();
    using imaging::detail::kMaxPixels;
    using imaging::detail::kMaxSide;
    if (!image.isNull()
        && (image.width() > kMaxSide || image.height() > kMaxSide
            || qint64(image.width()) * image.height() > kMaxPixels))
        std::abort();
    return 0;
}
