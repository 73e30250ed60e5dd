#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// XMP packets (RDF in XML) as a JPEG's APP1 segment, a TIFF's tag and a PNG's
// iTXt chunk hold them.
namespace imaging::detail {

// The author and copyright fields of a packet: dc:creator's names in their
// order, dc:rights' texts with their languages ("x-default" for the main one).
struct XmpAuthorship {
    QStringList creators;
    QList<std::pair<QString, QString>> rights; // language, text

    bool isEmpty() const { return creators.isEmpty() && rights.isEmpty(); }
};

// The fields as found; none when the packet is not well-formed XML.
XmpAuthorship xmpAuthorship(QByteArrayView packet);

// A new packet holding only those fields; empty when there are none.
QByteArray minimalXmp(const XmpAuthorship &authorship);

// The packet with every tiff:Orientation made 1, the rest as it was.
QByteArray uprightXmp(const QByteArray &packet);

} // namespace imaging::detail
