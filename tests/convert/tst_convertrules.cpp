#include "common/nativename.h"
#include "common/numberreader.h"
#include "convert/captions.h"
#include "convert/fileconversion.h"
#include "convert/fileoutcome.h"
#include "convert/outputpath.h"
#include "convert/sizerule.h"
#include "convert/sourcefiles.h"
#include "convert/typepattern.h"

#include <QTest>
#include <climits>

using namespace convert;

namespace {

QString number(QStringView text)
{
    return QString::number(common::readLeadingNumber(text), 'g', QLocale::FloatingPointShortest);
}

// What a size choice and the custom texts ask for: "own", "WxH" or the
// reason for a refusal.
QString size(SizeChoice choice, QStringView width, QStringView height)
{
    const SizeDecision decision = decideSize(choice, width, height);
    if (!decision.ok())
        return decision.error;
    return decision.size ? QStringLiteral("%1x%2").arg(decision.size->width()).arg(decision.size->height())
                         : QStringLiteral("own");
}

QString text(std::optional<QSize> size)
{
    return size ? QStringLiteral("%1x%2").arg(size->width()).arg(size->height()) : QStringLiteral("unknown");
}

// A picture seen as w x h, in a box of bw x bh.
QString fitted(int w, int h, int bw, int bh, SizeFit fit = SizeFit::Inside)
{
    return text(fittedSize(QSize(w, h), QSize(bw, bh), fit));
}

// What a dry run foretells for a fixture file fitted in a box, its header alone read.
QString planned(const QString &file, int bw, int bh, SizeFit fit = SizeFit::Inside, const char *output = "/out/x.png")
{
    ConversionJob job;
    job.source = KESTRUNE_TEST_DATA "/" + file;
    job.output = QString::fromLatin1(output);
    job.size = QSize(bw, bh);
    job.fit = fit;
    return text(plannedSize(job));
}

} // namespace

// The rules of the Batch Convert page that need no file: how typed numbers
// are read, the size buttons and texts, names matched against the type
// pattern, the output's name and the message after a run with failures. The engine's runs show the captions and the
// output's letter case.
class TestConvertRules : public QObject
{
    Q_OBJECT

private slots:
    void rules_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QString &text, const QString &expected) {
            QTest::newRow(name) << text << expected;
        };
        row("number: blanks, tabs and line feeds anywhere", number(u" - 1 2\t.\n5"), "-12.5");
        row("number: plus and a leading point", number(u"+.5"), "0.5");
        row("number: D exponent", number(u"2D2"), "200");
        row("number: negative exponent", number(u"25E-1"), "2.5");
        row("number: exponent without digits", number(u"5e"), "5");
        row("number: hex", number(u"&HFF"), "255");
        row("number: hex lower case, stops at G", number(u"&h1fG"), "31");
        row("number: octal stops at 8", number(u"&O178"), "15");
        row("number: ampersand alone", number(u"&"), "0");
        row("number: unit after", number(u"640px"), "640");
        row("number: second point ends", number(u"1.2.3"), "1.2");
        row("number: carriage return ends", number(u"5\r6"), "5");
        row("number: non-ASCII digit ends", number(u"7\u0663"), "7");
        row("number: empty", number(u""), "0");
        row("number: sign and point without digits", number(u"-."), "0");
        row("number: tiny underflows to 0", number(u"1e-999"), "0");
        row("number: overflow is infinity, not a failure", number(u"1e999"), "inf");
        row("number: negative overflow", number(u"-1e999"), "-inf");

        // The custom texts only count for "Custom" (index 1), even when they are odd.
        row("size: 1 to 1", size(SizeChoice::OneToOne, u"1e99", u"abc"), "own");
        row("size: 640x480", size(SizeChoice::Size640x480, u"1e99", u"abc"), "640x480");
        row("size: 800x600", size(SizeChoice::Size800x600, u"1e99", u"abc"), "800x600");
        row("size: 1024x768", size(SizeChoice::Size1024x768, u"1e99", u"abc"), "1024x768");
        row("size: below 5 gives 5", size(SizeChoice::Custom, u"4.9", u"-1e999"), "5x5");
        row("size: a half to the even side", size(SizeChoice::Custom, u"12.5", u"13.5"), "12x14");
        row("size: not a half to the nearest", size(SizeChoice::Custom, u"12.51", u"13.49"), "13x13");
        row("size: largest int", size(SizeChoice::Custom, u"2147483647", u"2147483647.4"), "2147483647x2147483647");
        row("size: width rounds just over", size(SizeChoice::Custom, u"2147483647.5", u"10"),
            "the custom width \"2147483647.5\" is too large: a side can be at most 2147483647 pixels");
        row("size: height huge", size(SizeChoice::Custom, u"10", u"1e12"),
            "the custom height \"1e12\" is too large: a side can be at most 2147483647 pixels");

        row("fit: landscape meets the width", fitted(4000, 3000, 800, 600), "800x600");
        row("fit: portrait meets the height", fitted(3000, 4000, 800, 600), "450x600");
        row("fit: a half rounds up", fitted(10, 5, 3, 3), "3x2");
        row("fit: to the nearest pixel", fitted(300, 200, 100, 100), "100x67");
        row("fit: a thin line keeps 1 pixel", fitted(100000, 1, 100, 100), "100x1");
        row("fit: smaller kept", fitted(300, 200, 800, 600), "300x200");
        row("fit: one side on the edge kept", fitted(800, 10, 800, 600), "800x10");
        row("fit: smaller enlarged", fitted(300, 200, 800, 600, SizeFit::InsideEnlarging), "800x533");
        row("fit: exact stretches", fitted(300, 200, 800, 600, SizeFit::Exact), "800x600");
        row("fit: largest sides", fitted(INT_MAX, INT_MAX - 1, INT_MAX, 7), "7x7");
        // Orientations 5 to 8 are stored 32 x 64 and seen 64 x 32.
        for (const char *file : {"orientation-1.jpg", "orientation-6.jpg", "orientation-8.png", "orientation-5.tif",
                                 "orientation-3.tif", "orientation-7.jpg"})
            QTest::newRow(qPrintable(QStringLiteral("fit: %1 as it is seen").arg(file)))
                << planned(QStringLiteral("orientation/") + file, 32, 32) << "32x16";
        row("fit: seen size enlarged", planned("orientation/orientation-7.tif", 100, 100, SizeFit::InsideEnlarging), "100x50");
        row("fit: a drawing is sized once drawn", planned("formats/entities.dxf", 100, 100), "unknown");
        row("fit: a type of one size", planned("orientation/orientation-6.jpg", 32, 32, SizeFit::Inside, "/out/x.PCD"), "768x512");

        const auto match = [](const char *name, const char *pattern) {
            return QString::fromLatin1(matchesPattern(name, pattern) ? "matches" : "misses");
        };
        row("pattern: in capitals", match("photo.jpg", "*.JPG"), "matches");
        row("pattern: second wildcard", match("logo.bmp", "*.jpg;*.bmp"), "matches");
        row("pattern: no wildcard matches", match("logo.png", "*.jpg;*.bmp"), "misses");
        row("pattern: longer extension", match("scan.jpeg", "*.jpg"), "misses");
        row("pattern: extension only inside", match("jpg.txt", "*.jpg"), "misses");
        row("pattern: question mark", match("a1.tga", "a?.tga"), "matches");
        row("pattern: blanks around pieces", match("x.png", "*.jpg; *.png"), "matches");
        row("pattern: all files, also without dot", match("notes", "*.*"), "matches");
        row("pattern: foreign text matches itself, any case", match("ReadMe.txt", "readme.TXT"), "matches");
        row("pattern: foreign text misses others", match("photos.jpg", "photos"), "misses");
        row("pattern: empty lists nothing", match("a.jpg", ""), "misses");
        row("pattern: brackets are literal", match("[a].jpg", "[a].jpg"), "matches");

        row("output: four-letter extension replaced whole", outputPath("/out", "scan.jpeg", "TIF"), "/out/scan.TIF");
        row("output: last dot counts", outputPath("/out", "holiday.2024.tif", "PNG"), "/out/holiday.2024.PNG");
        row("output: no dot gets one", outputPath("/out", "ab", "BMP"), "/out/ab.BMP");
        row("output: dot at the end", outputPath("/out", "odd.", "TGA"), "/out/odd.TGA");
        row("output: one separator after a trailing one", outputPath("/out/", "a.bmp", "PNG"), "/out//a.PNG");

        const FileOutcome bad{-1, {}, {}, {}, false, "Cannot open /in/bad.jpg: the file is damaged or incomplete."};
        const FileOutcome gone{-1, {}, {}, {}, false, "Cannot save /out/b.PNG: the folder /out does not exist."};
        row("failures, one per line", failureMessage({bad, gone}, 12),
            "2 of 12 files could not be converted:\n\n" + bad.message + '\n' + gone.message);
        row("failure of the only file", failureMessage({bad}, 1), "The file could not be converted:\n\n" + bad.message);
        row("one failure of three", failureMessage({bad}, 3), "1 of 3 files could not be converted:\n\n" + bad.message);
        row("output: bytes that are not UTF-8 kept",
            common::shownName(outputPath("/out", common::nameFromNative("\xff.\xfe.bmp"), "PNG")), "/out/\\xFF.\\xFE.PNG");

        const QByteArray odd("\xed\xa0\x80\xc0\xaf\xf0\x90\x82\x80\xe2\x82");
        row("name: escapes shown, a valid pair kept", common::shownName(common::nameFromNative(odd)),
            QString::fromUtf8("\\xED\\xA0\\x80\\xC0\\xAF\xf0\x90\x82\x80\\xE2\\x82"));
        row("name: every byte comes back", QString::fromLatin1(common::nativeName(common::nameFromNative(odd)).toHex()),
            QString::fromLatin1(odd.toHex()));

        const LeftOut pipe{common::nameFromNative("/in/\xffp.jpg"), "is a named pipe, not a file"};
        row("left out: counted by reason", leftOutCountText({.hidden = 2, .subfolders = 1, .otherTypes = 3, .notFiles = 1}),
            "7 left out: 3 of other types, 2 hidden, 1 subfolder, 1 not a file");
        row("left out: one each", leftOutCountText({1, 1, 1, 1, 1, 1, 1}),
            "7 left out: 1 of another type, 1 hidden, 1 subfolder, 1 link to a folder, 1 not a file, 1 unreadable folder, "
            "1 output folder");
        row("end: left out only, shown escaped", endMessage({}, 3, {pipe}), "1 file was left out: /in/\\xFFp.jpg is a named pipe, not a file.");
    }
    void rules()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }
};

QTEST_APPLESS_MAIN(TestConvertRules)
#include "tst_convertrules.moc"
