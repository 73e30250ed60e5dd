#pragma once

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

namespace rollover {

// How the page of a run is written beyond its pieces. An empty list of labels
// or links gives every entry the format's default; otherwise the list holds
// one text per entry, written with the characters HTML reserves escaped.
struct PageChoice {
    enum class Format {
        Classic, // contents.htm, the window's page: labels become alt texts, links hrefs
        Modern,  // index.html and menu.css (modernpage.h)
    };
    Format format = Format::Classic;
    QStringList labels;
    QStringList links;
    int current = 0; // modern: the entry, counted from 1, that is the page's own; 0 none
    int scale = 1;   // modern: plate pixels per CSS pixel, 1 to kMaxScale

    static constexpr int kMaxScale = 4;
};

// Why `choice` does not fit a menu of `entries` entries (label or link counts
// that differ from it, an empty label or link or one holding a control
// character, a current entry outside it, a current entry or scale the format
// has no place for), or nothing when it fits.
std::optional<QString> pageChoiceFault(const PageChoice &choice, qsizetype entries);

// Entry n's label and link as the page writes them (escaped for an attribute
// value), `fallback` when the choice gives none.
QString entryLabel(const PageChoice &choice, qsizetype n, const QString &fallback);
QString entryLink(const PageChoice &choice, qsizetype n, const QString &fallback);

// The rollover page: one linked back-plate piece per entry, swapped for the
// highlight piece of the same number while the pointer is over it. Lines are
// separated by CR LF, with no line end after "</html>". `pieceSizes` holds the
// pixel size of each back-plate piece, one entry per piece (at least one);
// the header goes into the piece references exactly as it stands. Without
// labels and links every entry reads "Your Label Here" and links to
// "connect_to.html", for the user to replace.
QString pageText(const QString &header, const QList<QSize> &pieceSizes, const PageChoice &choice = {});

} // namespace rollover
