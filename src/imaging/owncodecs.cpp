#include "owncodecs.h"

namespace imaging::detail {

bool looksLikeDxf(const QByteArray &head)
{
    // A text drawing opens with group code 0 and SECTION; a binary one with
    // its sentinel.
    if (head.startsWith("AutoCAD Binary DXF"))
        return true;
    const QByteArray simplified = head.left(64).simplified();
    return simplified.startsWith("0 SECTION") || simplified.startsWith("999 ");
}

QImage readDxf(const QByteArray &, QString *reason)
{
    *reason = QStringLiteral("reading DXF drawings is not available in this version");
    return {};
}

QByteArray encodeDxf(const QImage &, QString *reason)
{
    *reason = QStringLiteral("writing DXF drawings is not available in this version");
    return {};
}

QByteArray encodeWmf(const QImage &, QString *reason)
{
    *reason = QStringLiteral("writing WMF metafiles is not available in this version");
    return {};
}

} // namespace imaging::detail
