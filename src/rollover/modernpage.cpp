#include "modernpage.h"

#include "common/nativename.h"
#include "pieces.h"

#include <QStringList>
#include <QUrl>

namespace rollover {

namespace {

// The header may hold blanks, "&" or bytes that are not UTF-8; escaped as a
// URL, the reference names the file's own bytes and needs no HTML escaping.
QString pieceUrl(const QString &header, Plate plate, qsizetype piece)
{
    return QString::fromLatin1(
        QUrl::toPercentEncoding(common::nativeName(pieceReference(header, plate, int(piece))), "/"));
}

QString cssPixels(int pixels, int scale)
{
    return QString::number(double(pixels) / scale) + QStringLiteral("px");
}

} // namespace

ModernPage modernPage(const QString &header, const QList<QSize> &pieceSizes, const PageChoice &choice)
{
    Q_ASSERT(!pieceSizes.isEmpty() && !pageChoiceFault(choice, pieceSizes.size()));
    QStringList html{
        QStringLiteral("<!DOCTYPE html>"),
        QStringLiteral("<html lang=\"en\">"),
        QStringLiteral("<head>"),
        QStringLiteral("<meta charset=\"utf-8\">"),
        QStringLiteral("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"),
        QStringLiteral("<title>Menu</title>"),
        QStringLiteral("<link rel=\"stylesheet\" href=\"%1\">").arg(QLatin1String(kStyleSheetName)),
        QStringLiteral("</head>"),
        QStringLiteral("<body>"),
        QStringLiteral("<nav class=\"menu\">"),
        QStringLiteral("<ul>"),
    };
    // Pieces are blocks, never inline: in standards mode an inline image
    // sits on the text's baseline and leaves a gap under it. The highlight
    // piece is loaded with the page, hidden, so nothing flickers when it shows.
    QStringList css{
        QStringLiteral("/* Rollover menu: every piece a block, so that the pieces abut at any zoom. */"),
        QStringLiteral(".menu ul { list-style: none; margin: 0; padding: 0; width: max-content; }"),
        QStringLiteral(".menu li, .menu a, .menu img { display: block; border: 0; }"),
        QStringLiteral(".menu a { position: relative; }"),
        QStringLiteral(".menu .over { position: absolute; top: 0; left: 0; visibility: hidden; }"),
        QStringLiteral(".menu a:hover .over, .menu a:focus-visible .over { visibility: visible; }"),
    };
    for (qsizetype n = 0; n < pieceSizes.size(); ++n) {
        const QString label = entryLabel(choice, n, QStringLiteral("Entry %1").arg(n + 1));
        const QString link = entryLink(choice, n, QStringLiteral("#"));
        const QString img = QStringLiteral("<img src=\"%1\" alt=\"%2\">");
        // The page's own entry shows its selected piece and stays so under
        // the pointer: it is where the visitor already is.
        if (n + 1 == choice.current)
            html.append(QStringLiteral("<li><a href=\"%1\" aria-current=\"page\">").arg(link)
                        + img.arg(pieceUrl(header, Plate::Selected, n), label) + QStringLiteral("</a></li>"));
        else
            html.append(QStringLiteral("<li><a href=\"%1\">").arg(link) + img.arg(pieceUrl(header, Plate::Back, n), label)
                        + QStringLiteral("<img class=\"over\" src=\"%1\" alt=\"\">").arg(pieceUrl(header, Plate::Highlight, n))
                        + QStringLiteral("</a></li>"));
        css.append(QStringLiteral(".menu li:nth-child(%1) img { width: %2; height: %3; }")
                       .arg(n + 1)
                       .arg(cssPixels(pieceSizes[n].width(), choice.scale), cssPixels(pieceSizes[n].height(), choice.scale)));
    }
    html.append({QStringLiteral("</ul>"), QStringLiteral("</nav>"), QStringLiteral("</body>"), QStringLiteral("</html>")});
    return {html.join(u'\n') + u'\n', css.join(u'\n') + u'\n'};
}

} // namespace rollover
