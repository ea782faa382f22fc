// ./bench settings [--mb M] [--runs K]
//   Writes a settings file of about M MB (100 by default): the window places and
//   recent logs of a start-up, and a [TrendPens] section of many column headings,
//   as years of plotting leave it. Prints the median time of what start-up asks of
//   the settings store (from a file not yet read), the floor (reading the file's
//   bytes and counting its lines), the time of the exit's one write of every
//   window's place, and of the first look-up of a trend pen (which reads that
//   big section).

#include "benchsupport.h"

#include "shell/settingsstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using bench::argValue;
using bench::median;

namespace {

bool writeSettings(const QString &path, qint64 megabytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray head = "[Settings]\nMainLeft=1000\nMainTop=1000\nMainWidth=9000\nMainHeight=7000\n\n[History]\n";
    for (const char *window : {"chartNest", "HistPlot"})
        for (const char *key : {"MainLeft", "MainTop", "MainWidth", "MainHeight"})
            head += QByteArray(window) + '\\' + key + "=1500\n";
    head += "\n[Recent]\n";
    for (int i = 1; i <= 8; ++i)
        head += "File" + QByteArray::number(i) + "=/home/anna/Logs/Line " + QByteArray::number(i) + ".csv\n";
    head += "\n[TrendSetup]\nLabelFormat=\"mm/dd/yyyy hh:nn:ss\"\nBackground=#000000\n\n[TrendPens]\n";
    file.write(head);
    QByteArray chunk;
    for (qint64 n = 0; file.size() + chunk.size() < megabytes * 1000000; ++n) {
        // The key of the heading "Boiler N outlet temperature (°C)", as the store writes it.
        chunk += "Boiler%20" + QByteArray::number(n) + "%20outlet%20temperature%20%28%25C2%25B0C%29=\"#"
                 + QByteArray::number(0x100000 + n % 0xEFFFFF, 16) + ",2,left\"\n";
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    return file.write(chunk) == chunk.size() && file.flush();
}

// Another program's touch: the store reads the file again at its next use.
void touch(const QString &path)
{
    static long second = 1;
    const timespec times[2] = {{second, 0}, {second, 0}};
    ++second;
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

// What start-up asks of the store: three placements, the recent logs, whether it
// can write.
void startUpReads()
{
    for (const PlacementSetting *s : {&MainFramePlacement, &DataFilePlacement, &TrendPlacement})
        for (const auto edge : {PlacementSetting::Edge::Left, PlacementSetting::Edge::Top,
                                PlacementSetting::Edge::Width, PlacementSetting::Edge::Height})
            s->readOrDefault(edge, QSizeF(12000, 9000));
    RecentLogs::list();
    SettingsStore::isWritable();
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const qint64 megabytes = std::max(1LL, argValue(args, u"--mb"_s, 100));
    const int runs = std::max(1, int(argValue(args, u"--runs"_s, 5)));

    const QString path = SettingsStore::fileName();
    if (!writeSettings(path, megabytes)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    const double fileMb = QFileInfo(path).size() / 1e6;
    std::printf("settings file: %.1f MB\n", fileMb);

    std::vector<double> floors;
    qsizetype lines = 0;
    for (int i = 0; i < runs; ++i)
        floors.push_back(bench::readFloorMs(path, "\n", lines));
    const double floorMs = median(floors);
    std::printf("floor (read + count %lld lines): median %.1f ms\n", static_cast<long long>(lines), floorMs);

    std::vector<double> starts, pens, exits;
    QElapsedTimer clock;
    for (int i = 0; i < runs; ++i) {
        touch(path);
        clock.start();
        startUpReads();
        starts.push_back(clock.nsecsElapsed() / 1e6);
    }
    for (int i = 0; i < runs; ++i) {
        touch(path);
        startUpReads();
        clock.start();
        const QString pen = SettingsStore::readText(u"TrendPens"_s, u"Boiler 12345 outlet temperature (%C2%B0C)"_s, {});
        pens.push_back(clock.nsecsElapsed() / 1e6);
        if (pen.isEmpty()) {
            std::fprintf(stderr, "the pen was not found\n");
            return 1;
        }

        // The exit: every window's place in one change set, each moved a little.
        clock.start();
        {
            SettingsStore::ChangeSet changes;
            for (const PlacementSetting *s : {&MainFramePlacement, &DataFilePlacement, &TrendPlacement})
                for (const auto edge : {PlacementSetting::Edge::Left, PlacementSetting::Edge::Top,
                                        PlacementSetting::Edge::Width, PlacementSetting::Edge::Height})
                    s->write(edge, float(2000 + i));
        }
        exits.push_back(clock.nsecsElapsed() / 1e6);
    }
    const double startMs = median(starts);
    const double exitMs = median(exits);
    const double pensMs = median(pens);
    std::printf("start-up's reads: median %.1f ms (%.2f x the floor)\n", startMs, startMs / floorMs);
    std::printf("first trend pen looked up: median %.1f ms\n", pensMs);
    std::printf("exit (one write of every place): median %.1f ms\n", exitMs);
    std::printf("settings: file_mb=%.1f floor_ms=%.1f start_ms=%.1f ratio=%.2f exit_ms=%.1f pens_ms=%.1f\n", fileMb,
                floorMs, startMs, startMs / floorMs, exitMs, pensMs);
    return 0;
}
