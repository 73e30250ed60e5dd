#include "pieces.h"

namespace rollover {

QList<QRect> pieceRects(const QList<int> &cutLines, QSize plateSize)
{
    const int right = plateSize.width() - 1;
    QList<QRect> rects;
    rects.reserve(cutLines.size() + 1);
    int top = 0;
    for (int line : cutLines) {
        rects.append(QRect(QPoint(0, top), QPoint(right, line)));
        top = line + 1;
    }
    rects.append(QRect(QPoint(0, top), QPoint(right, plateSize.height() - 1)));
    return rects;
}

QString pieceFileName(const QString &header, Plate plate, int piece)
{
    return header + QLatin1Char(char('a' + int(plate))) + QString::number(piece) + QStringLiteral(".jpg");
}

QString pieceReference(const QString &header, Plate plate, int piece)
{
    return QStringLiteral("images/") + pieceFileName(header, plate, piece);
}

std::optional<QString> headerFault(const QString &header)
{
    static const QString forbidden = QStringLiteral("/\\<>:\"|?*");
    for (QChar c : header) {
        if (c == u'/' || c == u'\\')
            return QStringLiteral("it holds the path separator \"%1\", which would put the pieces outside the images folder").arg(c);
        if (forbidden.contains(c))
            return QStringLiteral("it holds \"%1\", which a file name cannot hold").arg(c);
        if (c.unicode() < 0x20)
            return QStringLiteral("it holds the control character %1, which a file name cannot hold").arg(c.unicode());
    }
    if (!header.isEmpty() && header.count(u'.') == header.size())
        return QStringLiteral("it is nothing but dots");
    return std::nullopt;
}

} // namespace rollover
