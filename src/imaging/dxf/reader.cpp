#include "dxf.h"

#include "fit.h"
#include "imaging/codecs/codecsupport.h"
#include "imaging/deadline.h"
#include "limits.h"
#include "painter.h"
#include "parser.h"
#include "workload.h"

#include <QIODevice>
#include <new>

namespace imaging::detail {
namespace {

using namespace dxf;

// The drawing is walked three times: for its extents, for the work painting
// it takes at the size they give, and to paint it.
QImage render(const Parser &parser, const Deadline &deadline, QString *reason)
{
    const auto walk = [&](const QTransform &toSink, Sink &sink) {
        Traversal traversal(parser.blocks(), parser.layers(), deadline);
        if (traversal.walk(parser.entities(), toSink, sink))
            return true;
        *reason = traversal.error();
        return false;
    };
    Extents extents;
    if (!walk(QTransform(), extents))
        return {};
    const std::optional<Raster> raster = fitToPixels(extents, reason);
    if (!raster)
        return {};
    Workload work(raster->size);
    if (!walk(raster->toPixels, work))
        return {};
    QImage image(raster->size, QImage::Format_RGB32);
    if (image.isNull()) {
        *reason = QStringLiteral("there is not enough memory to draw it at %1 x %2 pixels")
                      .arg(raster->size.width())
                      .arg(raster->size.height());
        return {};
    }
    image.fill(Qt::white);
    {
        Painter painter(&image);
        if (!walk(raster->toPixels, painter))
            return {};
    }
    return image;
}

} // namespace

QImage readDxf(QIODevice &file, const Deadline &deadline, QString *reason)
{
    const QString unread = QStringLiteral("the drawing could not be read");
    const QImage image = guarded([&]() -> QImage {
        if (!file.isSequential() && file.size() - file.pos() > kMaxDxfBytes) {
            *reason = QStringLiteral("the drawing is larger than %1 MB").arg(kMaxDxfBytes >> 20);
            return {};
        }
        Parser parser(file, deadline);
        if (!parser.parse()) {
            *reason = parser.error();
            return {};
        }
        return render(parser, deadline, reason);
    }, reason, unread);
    if (image.isNull() && reason->isEmpty())
        *reason = unread;
    return image;
}

} // namespace imaging::detail
