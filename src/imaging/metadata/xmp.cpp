#include "xmp.h"

#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace imaging::detail {

namespace {

const QString kRdf = QStringLiteral("http://www.w3.org/1999/02/22-rdf-syntax-ns#");
const QString kDc = QStringLiteral("http://purl.org/dc/elements/1.1/");
const QString kXml = QStringLiteral("http://www.w3.org/XML/1998/namespace");

} // namespace

XmpAuthorship xmpAuthorship(QByteArrayView packet)
{
    XmpAuthorship found;
    QXmlStreamReader xml(packet.toByteArray());
    // The dc property whose list items are being read: "creator", "rights" or none.
    QString property;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.namespaceUri() == kDc)
            property = xml.name().toString();
        else if (xml.isEndElement() && xml.namespaceUri() == kDc)
            property.clear();
        else if (xml.isStartElement() && xml.namespaceUri() == kRdf && xml.name() == u"li") {
            const QString language = xml.attributes().value(kXml, QStringLiteral("lang")).toString();
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            if (property == u"creator")
                found.creators << text;
            else if (property == u"rights")
                found.rights.append({language.isEmpty() ? QStringLiteral("x-default") : language, text});
        }
    }
    return xml.hasError() ? XmpAuthorship() : found;
}

QByteArray minimalXmp(const XmpAuthorship &authorship)
{
    if (authorship.isEmpty())
        return {};
    QByteArray packet;
    QXmlStreamWriter xml(&packet);
    xml.writeProcessingInstruction(QStringLiteral("xpacket"),
                                   QStringLiteral("begin=\"\uFEFF\" id=\"W5M0MpCehiHzreSzNTczkc9d\""));
    xml.writeNamespace(QStringLiteral("adobe:ns:meta/"), QStringLiteral("x"));
    xml.writeNamespace(kRdf, QStringLiteral("rdf"));
    xml.writeNamespace(kDc, QStringLiteral("dc"));
    xml.writeStartElement(QStringLiteral("adobe:ns:meta/"), QStringLiteral("xmpmeta"));
    xml.writeStartElement(kRdf, QStringLiteral("RDF"));
    xml.writeStartElement(kRdf, QStringLiteral("Description"));
    xml.writeAttribute(kRdf, QStringLiteral("about"), QString());
    if (!authorship.creators.isEmpty()) {
        xml.writeStartElement(kDc, QStringLiteral("creator"));
        xml.writeStartElement(kRdf, QStringLiteral("Seq"));
        for (const QString &name : authorship.creators)
            xml.writeTextElement(kRdf, QStringLiteral("li"), name);
        xml.writeEndElement();
        xml.writeEndElement();
    }
    if (!authorship.rights.isEmpty()) {
        xml.writeStartElement(kDc, QStringLiteral("rights"));
        xml.writeStartElement(kRdf, QStringLiteral("Alt"));
        for (const auto &[language, text] : authorship.rights) {
            xml.writeStartElement(kRdf, QStringLiteral("li"));
            xml.writeAttribute(kXml, QStringLiteral("lang"), language);
            xml.writeCharacters(text);
            xml.writeEndElement();
        }
        xml.writeEndElement();
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeProcessingInstruction(QStringLiteral("xpacket"), QStringLiteral("end=\"w\""));
    return packet;
}

QByteArray uprightXmp(const QByteArray &packet)
{
    // The value alone is replaced; written as an attribute or as an element.
    static const QRegularExpression orientation(
        QStringLiteral("tiff:Orientation(?:\\s*=\\s*[\"']|>)\\s*(\\d+)"));
    if (!packet.contains("tiff:Orientation"))
        return packet;
    QString text = QString::fromUtf8(packet);
    QList<QRegularExpressionMatch> matches;
    for (auto it = orientation.globalMatch(text); it.hasNext();)
        matches.append(it.next());
    for (auto m = matches.crbegin(); m != matches.crend(); ++m)
        text.replace(m->capturedStart(1), m->capturedLength(1), QLatin1Char('1'));
    return text.toUtf8();
}

} // namespace imaging::detail
