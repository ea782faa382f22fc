// ./bench follow [--rows N] [--values C] [--append A] [--runs K] [--large-mb M]
//   Follows a generated log of N rows (1,000,000) with an open trend of all its
//   value columns selected as whole columns, scrolled to the end; the "logger" then
//   writes A more rows (10,000) in one go and closes the file, K times (3). Prints,
//   per write, the time from the close to the grid showing the new last row and the
//   trend drawn with it, and the bytes the viewer read for it; then the medians.
//   Last, the logger appends M MB (500; 0: none) in one go: the longest pause of
//   the event loop until the grid holds its last row, and the growth of the
//   process's peak memory against the appended bytes.

#include "benchsupport.h"
#include "loggen.h"

#include "controls/gridcontrol.h"
#include "core/logdocument.h"
#include "core/logfollower.h"
#include "controls/plotcontrol.h"
#include "core/trenddata.h"
#include "logview/datafilewindow.h"
#include "shell/openlog.h"
#include "shell/windowregistry.h"
#include "trend/trendwindow.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Where the line after the first `lines` lines starts.
qsizetype afterLines(const QByteArray &bytes, qint64 lines)
{
    qsizetype at = 0;
    for (qint64 i = 0; i < lines && at >= 0; ++i) {
        const void *end = std::memchr(bytes.constData() + at, '\n', size_t(bytes.size() - at));
        at = end ? static_cast<const char *>(end) - bytes.constData() + 1 : -1;
    }
    return at;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    LogGenOptions options = bench::logOptions(args);
    const qint64 rows = options.rows;
    const qint64 append = bench::argValue(args, u"--append"_s, 10000);
    const int runs = std::max(1, int(bench::argValue(args, u"--runs"_s, 3)));

    // The whole log as the logger will have written it; the file starts with its
    // first `rows` rows.
    options.rows = rows + append * runs;
    QBuffer whole;
    whole.open(QIODevice::WriteOnly);
    if (!writeLog(whole, options)) {
        std::fprintf(stderr, "cannot generate the log\n");
        return 1;
    }
    const QByteArray bytes = whole.data();
    QTemporaryDir dir;
    const QString path = dir.filePath(u"follow.csv"_s);
    {
        QFile file(path);
        const qsizetype start = afterLines(bytes, rows + 1);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes.constData(), start) != start) {
            std::fprintf(stderr, "cannot write the log\n");
            return 1;
        }
    }
    std::printf("generated log: %lld rows x %d values, %.1f MB; %lld rows appended %d times\n",
                static_cast<long long>(rows), options.valueColumns, double(afterLines(bytes, rows + 1)) / 1e6,
                static_cast<long long>(append), runs);

    bench::installServices(path);
    DataFileWindow &window = bench::showDataFileWindow(dir.path());
    window.getHistFile();
    GridControl &grid = *window.dataGrid();
    if (grid.rowCount() != rows) {
        std::fprintf(stderr, "the log did not load: %d rows\n", grid.rowCount());
        return 1;
    }
    grid.setSelectionBlocks({GridBlock{2, -1, grid.colCount(), -1}});
    window.plotSelection();
    TrendWindow *trend = loadedTrendWindow();
    if (!trend || !trend->isVisible()) {
        std::fprintf(stderr, "the plot run did not complete\n");
        return 1;
    }
    QCoreApplication::processEvents();
    QTableView *view = grid.view();
    view->scrollToBottom();
    window.setFollowing(true);
    QCoreApplication::processEvents();

    std::vector<double> times;
    std::vector<double> reads;
    qint64 appendedBytes = 0;
    for (int run = 0; run < runs; ++run) {
        const qsizetype from = afterLines(bytes, rows + 1 + append * run);
        const qsizetype to = afterLines(bytes, rows + 1 + append * (run + 1));
        const qint64 readBefore = logDocument().follower().bytesRead();
        {
            QFile file(path);
            if (!file.open(QIODevice::Append) || file.write(bytes.constData() + from, to - from) != to - from) {
                std::fprintf(stderr, "cannot append to the log\n");
                return 1;
            }
        }
        // From the writer's close: the look the watch triggers, the grid painted at
        // its new last row and the trend drawn with it.
        QElapsedTimer clock;
        clock.start();
        window.followLog();
        const double takenMs = bench::msSince(clock);
        // The grid's layout, the trend's queued redraw and the paints.
        QCoreApplication::processEvents();
        const double ms = bench::msSince(clock);

        const int lastRow = int(rows + append * (run + 1));
        const std::shared_ptr<TrendData> data = trend->trendPlot().trendData();
        const int shownRow = view->rowAt(view->viewport()->height() - 2) + 1;
        if (grid.rowCount() != lastRow || shownRow != lastRow || !data || data->rowCount() != lastRow
            || data->gridRow(data->rowCount() - 1) != lastRow) {
            std::fprintf(stderr, "the update did not arrive: grid %d rows, row %d shown, trend %lld rows\n",
                         grid.rowCount(), shownRow, data ? static_cast<long long>(data->rowCount()) : 0LL);
            return 1;
        }
        times.push_back(ms);
        reads.push_back(double(logDocument().follower().bytesRead() - readBefore));
        appendedBytes = to - from;
        std::printf("write %d: %lld bytes appended, update %.1f ms (rows taken in %.1f, drawn in %.1f), "
                    "%.0f bytes read\n",
                    run + 1, static_cast<long long>(to - from), ms, takenMs, ms - takenMs, reads.back());
    }

    // A large append: the rows after the log's last, written in one go.
    const qint64 largeMb = bench::argValue(args, u"--large-mb"_s, 500);
    double pauseMs = 0;
    double growth = 0;
    if (largeMb > 0) {
        const qint64 written = rows + append * runs;
        LogGenOptions more = options;
        more.startSecond = options.startSecond + int(written) * options.intervalSeconds;
        more.rows = std::max<qint64>(1, largeMb * 1000000 * (written + 1) / qint64(bytes.size()));
        const QString morePath = dir.filePath(u"more.csv"_s);
        QFile source(morePath);
        QFile log(path);
        if (!writeLog(morePath, more) || !source.open(QIODevice::ReadOnly) || !log.open(QIODevice::Append)) {
            std::fprintf(stderr, "cannot write the large append\n");
            return 1;
        }
        source.readLine(); // its header
        qint64 appended = 0;
        for (QByteArray chunk = source.read(64 << 20); !chunk.isEmpty(); chunk = source.read(64 << 20)) {
            if (log.write(chunk) != chunk.size()) {
                std::fprintf(stderr, "cannot append to the log\n");
                return 1;
            }
            appended += chunk.size();
        }
        log.close();
        source.close();
        QFile::remove(morePath);

        bench::resetPeakMemory();
        const double before = bench::peakMegabytes();
        const int lastRow = int(written + more.rows);
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        qint64 longest = 0;
        QEventLoop loop;
        QTimer tick; // fires at every pass of the event loop
        tick.setInterval(0);
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - last);
            last = now;
            if (grid.rowCount() >= lastRow || now > qint64(600) * 1000000000)
                loop.quit();
        });
        tick.start();
        QTimer::singleShot(0, &window, [&] { window.followLog(); });
        loop.exec();
        tick.stop();
        const double totalMs = bench::msSince(clock);
        pauseMs = double(longest) / 1e6;
        growth = (bench::peakMegabytes() - before) / (double(appended) / (1 << 20));
        if (grid.rowCount() != lastRow) {
            std::fprintf(stderr, "the large append did not arrive: grid %d rows of %d\n", grid.rowCount(), lastRow);
            return 1;
        }
        std::printf("large append: %.0f MB, %lld rows, taken in %.0f ms; longest pause %.1f ms; peak memory grew "
                    "%.0f MB, %.2f times the appended bytes (the trend holds 8 bytes a value)\n",
                    double(appended) / (1 << 20), static_cast<long long>(more.rows), totalMs, pauseMs,
                    bench::peakMegabytes() - before, growth);
    }

    std::printf("targets: update_ms <= 200, bytes_read within 1 %% of the appended bytes (%lld), "
                "large_pause_ms <= 100\n",
                static_cast<long long>(appendedBytes));
    std::printf("follow: rows=%lld appended=%lld update_ms=%.1f bytes_read=%.0f large_pause_ms=%.1f "
                "large_growth=%.2f\n",
                static_cast<long long>(rows), static_cast<long long>(append), bench::median(times),
                bench::median(reads), pauseMs, growth);
    WindowRegistry::unloadAll();
    return 0;
}
