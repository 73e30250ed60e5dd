// How long the window stops answering while it converts: a timer ticking
// every 2 ms on the window's thread records the longest gap between two ticks
// (the longest stall of its event loop) while app::MainWindow converts the generated
// photos of a folder (onBatchConvert) to PNG, and while it converts one
// 5184 x 3456 PNG on a double-click (onSourceFileDoubleClicked) to JPG and to PNG.
// Whatever the window does with the work, on its own thread or on others,
// the gap is what a user feels. The goal is under 50 ms. Runs offscreen with
// settings and data in a temporary folder.
//
//   window_bench [photos=100]

#include "photos.h"

#include "app/filelist.h"
#include "app/folderlist.h"
#include "app/mainwindow.h"
#include "convert/batchengine.h"
#include "fakes.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

namespace {

QTextStream out(stdout);

class StallMeter : public QObject
{
public:
    StallMeter()
    {
        m_ticker.setTimerType(Qt::PreciseTimer);
        m_ticker.setInterval(2);
        connect(&m_ticker, &QTimer::timeout, this, &StallMeter::tick);
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_worst = 0;
        m_ticker.start();
    }
    // The longest gap, in milliseconds, and the time since start() in seconds.
    std::pair<double, double> stop()
    {
        tick();
        m_ticker.stop();
        return {m_worst / 1e6, m_clock.nsecsElapsed() / 1e9};
    }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_worst = std::max(m_worst, now - m_last);
        m_last = now;
    }

    QTimer m_ticker;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};

// Runs `act` from the event loop while the meter ticks, until `done` says the
// work is over (asked every 5 ms), at most `limit` ms. The longest stall in
// ms, the time taken in s; nothing when the work did not end in time.
std::optional<std::pair<double, double>> measure(const std::function<void()> &act,
                                                 const std::function<bool()> &done, int limit)
{
    StallMeter meter;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(limit, &loop, [&] { loop.exit(1); });
    meter.start();
    QTimer::singleShot(20, &loop, [&] {
        act();
        poll.start(5);
    });
    const bool ended = loop.exec() == 0;
    const auto result = meter.stop();
    if (!ended)
        return std::nullopt;
    return result;
}

QRadioButton *formatButton(app::MainWindow &form, const QString &type)
{
    for (int i = 0; form.formatButton(i); ++i)
        if (form.formatButton(i)->text().compare(type, Qt::CaseInsensitive) == 0)
            return form.formatButton(i);
    return nullptr;
}

void report(const QString &what, const std::optional<std::pair<double, double>> &result)
{
    out << "  " << what.leftJustified(44);
    if (result)
        out << QStringLiteral("longest stall %1 ms (goal under 50)   %2 s in all\n")
                   .arg(result->first, 6, 'f', 1)
                   .arg(result->second, 0, 'f', 2);
    else
        out << "did not finish\n";
    out << Qt::flush;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir dir;
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(name, dir.filePath(QString::fromLatin1(name)).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.filePath("config"));
    const int count = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 100;

    const QString photos = dir.filePath("photos"), big = dir.filePath("big"), output = dir.filePath("out");
    for (const QString &folder : {photos, big, output})
        QDir().mkpath(folder);
    out << "Generating " << count << " photos of 1600 x 1200 and one of 5184 x 3456...\n" << Qt::flush;
    if (bench::writePhotos(photos, count).isEmpty())
        return 1;
    {
        imaging::ImageMan maker;
        if (!maker.setImage(bench::photo(1, 5184, 3456)) || !maker.saveImage(big + "/big.png"))
            return 1;
    }

    fakes::Dialogs dialogs;
    fakes::Clipboard clipboard;
    fakes::UrlOpener opener;
    app::MainWindow form(dialogs, clipboard, opener);
    form.start();
    form.destinationFolders()->setPath(output);
    auto *engine = form.findChild<convert::BatchEngine *>();
    QRadioButton *png = formatButton(form, QStringLiteral("png"));
    QRadioButton *jpg = formatButton(form, QStringLiteral("jpg"));
    if (!engine || !png || !jpg)
        return 1;

    out << "Longest gap between ticks of a 2 ms timer on the window's thread:\n";
    form.sourceFolders()->setPath(photos);
    png->click();
    bool finished = false;
    QObject::connect(engine, &convert::BatchEngine::finished, [&] { finished = true; });
    report(QStringLiteral("%1 photos to PNG (onBatchConvert)").arg(count),
           measure([&] { form.onBatchConvert(); }, [&] { return finished; }, 600000));

    form.sourceFolders()->setPath(big);
    for (QRadioButton *button : {jpg, png}) {
        button->click();
        form.sourceFiles()->setCurrentRow(0);
        QDir(output).removeRecursively();
        QDir().mkpath(output);
        // The save renames a whole file into place: its name is the sign.
        const QStringList name{QStringLiteral("big.") + button->text()};
        const auto written = [&] { return !QDir(output).entryList(name, QDir::Files).isEmpty(); };
        report(QStringLiteral("5184 x 3456 PNG to %1 (onSourceFileDoubleClicked)").arg(button->text()),
               measure([&] { form.onSourceFileDoubleClicked(); }, written, 120000));
    }
    for (const fakes::Dialogs::Message &message : dialogs.messages)
        out << "  the window said: " << message.text << "\n";
    return 0;
}
