// Decode, resize to 800 x 600 and encode as JPEG 100 generated 1600 x 1200
// photos through ImageMan, one instance, one file after the other; then the
// same with `gm mogrify` on copies of the same files. Prints both times and
// their ratio. A benchmark, not a test: nothing here fails on a slow machine.

#include "photos.h"

#include "imaging/imageman.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <cmath>

namespace {

double seconds(const QElapsedTimer &timer) { return timer.nsecsElapsed() / 1e9; }

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100;

    QTemporaryDir dir;
    const QString sources = dir.filePath("sources"), ours = dir.filePath("ours"),
                  theirs = dir.filePath("theirs");
    for (const QString &folder : {sources, ours, theirs})
        QDir().mkpath(folder);

    out << "Generating " << count << " photos of 1600 x 1200...\n" << Qt::flush;
    imaging::ImageMan maker;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("photo%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
        if (i < 8) {
            maker.setImage(bench::photo(i));
            maker.setJpegQuality(90);
        }
        if (!maker.saveImage(sources + '/' + name))
            return 1;
        QFile::copy(sources + '/' + name, theirs + '/' + name);
    }
    const QStringList names = QDir(sources).entryList(QDir::Files, QDir::Name);

    auto runOurs = [&](bool hint) {
        imaging::ImageMan man;
        QElapsedTimer timer;
        timer.start();
        for (const QString &name : names) {
            if (hint)
                man.setSizeHint(800, 600);
            if (!man.setImageFile(sources + '/' + name) || !man.resizeImage(800, 600)
                || !man.saveImage(ours + '/' + name))
                return -1.0;
        }
        return seconds(timer);
    };
    const double plain = runOurs(false);
    const double hinted = runOurs(true);

    QElapsedTimer timer;
    timer.start();
    QProcess gm;
    gm.setWorkingDirectory(theirs);
    gm.start("gm", QStringList{"mogrify", "-resize", "800x600!", "-quality", "75"} + names);
    const bool ran = gm.waitForFinished(-1) && gm.exitCode() == 0;
    const double mogrify = seconds(timer);

    out << QStringLiteral("ImageMan, one instance:            %1 s\n").arg(plain, 0, 'f', 2);
    out << QStringLiteral("ImageMan with the JPEG size hint:  %1 s\n").arg(hinted, 0, 'f', 2);
    if (!ran) {
        out << "gm mogrify could not be run: " << gm.errorString() << "\n";
        return 0;
    }
    out << QStringLiteral("gm mogrify:                        %1 s\n").arg(mogrify, 0, 'f', 2);
    out << QStringLiteral("ratio ImageMan / gm mogrify:       %1 (with hint %2)\n")
               .arg(plain / mogrify, 0, 'f', 2)
               .arg(hinted / mogrify, 0, 'f', 2);
    return 0;
}
