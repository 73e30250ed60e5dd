#pragma once

#include "pagetext.h"

#include <QList>
#include <QSize>
#include <QString>

namespace rollover {

// The page a web author would write today, from the same pieces as the
// classic one: valid HTML5 with a <nav> list of real links, each an <img> of
// the back-plate piece with its label as alt text, the highlight piece laid
// over it and shown on hover and keyboard focus by the style sheet alone, the
// current entry marked aria-current="page" and showing its selected piece.
// Both texts are UTF-8 text with LF line ends, each ending its last line.
struct ModernPage {
    QString html; // written as kModernPageName
    QString css;  // written as kStyleSheetName beside it; the page links to it by that name
};

inline constexpr char kModernPageName[] = "index.html";
inline constexpr char kStyleSheetName[] = "menu.css";

// `pieceSizes` holds the pixel size of each back-plate piece (at least one);
// every piece of an entry is shown at that size divided by `choice.scale`, in
// CSS pixels, so that plates drawn at twice the size are sharp on screens of
// twice the density. Labels default to "Entry 1", "Entry 2" ..., links to "#".
// `choice` must fit the entries (pageChoiceFault).
ModernPage modernPage(const QString &header, const QList<QSize> &pieceSizes, const PageChoice &choice);

} // namespace rollover
