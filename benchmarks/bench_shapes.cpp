// ./bench shapes [--mb M] [--rows N] [--runs K]
//   Opens four logs of about M MB (100) through the data file window, each of a
//   shape that once cost far more than its size: (a) a header and one line of
//   many short fields, (b) 100,000 columns, (c) the generated log with CR-only
//   line ends, (d) the generated log with every value quoted, one value in a
//   hundred holding a comma and one in a thousand a line break. Prints for each
//   the load time (median, from the start of Open to a grid ready to paint), the
//   floor (reading the bytes and counting their LF and CR bytes) and the ratio.
//   Then loads and plots, with the log document, a generated log of N rows
//   (1,000,000; 12 value columns, noisy values, some empty cells) written in the
//   logger's own form and in four other shapes holding the same values and times:
//   iso (one `2024-01-20T00:00:00` column, commas, LF), semicolon (`;`, decimal
//   commas, one `20.01.2024 00:00:00` column, CR LF), preamble (two title lines and
//   a units line around an ISO log, CR LF) and unix (a `timestamp` column of Unix
//   seconds, LF). Every value column is plotted, as a user selects them. Prints
//   per shape the median of the load plus plot and its ratio to the logger's own
//   form, measured in the same run; the last line sums them up.

#include "benchsupport.h"
#include "loggen.h"

#include "controls/gridcontrol.h"
#include "core/logdocument.h"
#include "core/logtable.h"
#include "core/trenddata.h"
#include "logview/datafilewindow.h"
#include "shell/windowregistry.h"

#include <QApplication>
#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;
using bench::argValue;
using bench::median;
using bench::msSince;

namespace {

// A noisy short value as a logger writes it; now and then an empty cell.
void appendValue(QByteArray &out, QRandomGenerator &random)
{
    const quint32 r = random.bounded(1000u);
    if (r < 4)
        return;
    out += QByteArray::number(double(random.bounded(100000)) / 1000 - 20, 'f', r % 3);
}

void writeOut(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

QByteArray oneWideLine(qint64 bytes)
{
    QRandomGenerator random(740);
    QByteArray log = "Date,Time,Value\r\n1/1/2024,12:00:00 AM";
    log.reserve(bytes + 64);
    // No empty cell: the one row is the last one, which an empty cell would drop.
    while (log.size() < bytes) {
        log += ',';
        log += QByteArray::number(double(random.bounded(100000)) / 1000 - 20, 'f', random.bounded(3u));
    }
    return log + "\r\n";
}

QByteArray manyColumns(qint64 bytes, int columns)
{
    QRandomGenerator random(741);
    QByteArray log = "Date,Time";
    for (int c = 0; c < columns - 2; ++c)
        log += ",V" + QByteArray::number(c);
    log += "\r\n";
    log.reserve(bytes + 1024 * 1024);
    for (int row = 0; log.size() < bytes; ++row) {
        log += "1/1/2024," + QByteArray::number(row % 12 + 1) + ":00:00 AM";
        for (int c = 0; c < columns - 2; ++c) {
            log += ',';
            appendValue(log, random);
        }
        log += "\r\n";
    }
    return log;
}

LogGenOptions standardLog(qint64 bytes)
{
    LogGenOptions options;
    options.rows = bytes / 114; // a generated line of 12 values is about 114 bytes
    return options;
}

QByteArray crOnly(qint64 bytes)
{
    return generateLog(standardLog(bytes)).replace("\r\n", "\r");
}

QByteArray quoted(qint64 bytes)
{
    const QByteArray plain = generateLog(standardLog(bytes * 100 / 125)); // quotes add about a quarter
    QByteArray log;
    log.reserve(plain.size() * 13 / 10);
    qint64 value = 0;
    const char *p = plain.constData();
    const char *end = p + plain.size();
    bool header = true;
    while (p < end) {
        const char *lineEnd = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        lineEnd = lineEnd ? lineEnd + 1 : end;
        if (header) {
            log.append(p, lineEnd - p);
            header = false;
            p = lineEnd;
            continue;
        }
        const QList<QByteArray> fields = QByteArray(p, lineEnd - p).trimmed().split(',');
        for (qsizetype f = 0; f < fields.size(); ++f) {
            if (f > 0)
                log += ',';
            if (f < 2) {
                log += fields.at(f);
                continue;
            }
            ++value;
            log += '"';
            if (value % 1000 == 0)
                log += fields.at(f) + "\r\nnote";
            else if (value % 100 == 0)
                log += QByteArray(fields.at(f)).replace('.', ',');
            else
                log += fields.at(f);
            log += '"';
        }
        log += "\r\n";
        p = lineEnd;
    }
    return log;
}

// ---- The same log in other shapes

// The logger's form of a generated log, cut into its rows' value cells.
struct Generated
{
    LogGenOptions options;
    QByteArray bytes;
    QList<QByteArrayView> values; // per row, "v1,v2,...,vn" as written
};

Generated generated(qint64 rows)
{
    Generated log;
    log.options.rows = rows;
    // Days above 12 from the first row on, so that the sampled dates show their order.
    log.options.startDate = QDate(2024, 1, 20);
    log.bytes = generateLog(log.options);
    log.values.reserve(rows);
    const char *p = log.bytes.constData();
    const char *end = p + log.bytes.size();
    p = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p))) + 1; // the heading
    while (p < end) {
        const char *lineEnd = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        const char *cells = static_cast<const char *>(std::memchr(p, ',', size_t(lineEnd - p))) + 1;
        cells = static_cast<const char *>(std::memchr(cells, ',', size_t(lineEnd - cells))) + 1;
        log.values.append(QByteArrayView(cells, lineEnd - 1 - cells)); // without the CR
        p = lineEnd + 1;
    }
    return log;
}

enum class Form { Iso, DayFirstDots, UnixSeconds };

struct ShapeOfLog
{
    const char *name;
    Form form;
    char separator;
    bool decimalComma;
    QByteArray timeHeading;
    QByteArray above;  // lines above the heading
    bool unitsLine;
    const char *lineEnd;
};

// The generated log's rows in `shape`.
QByteArray reshaped(const Generated &log, const ShapeOfLog &shape)
{
    static const char *const Units[] = {"\xC2\xB0" "C", "\xC2\xB0" "C", "hPa", "l/s", "%",   "V",
                                        "A",             "rpm",            "%",   "mm/s", "Nm", "W"};
    const LogGenOptions &o = log.options;
    QByteArray out = shape.above + shape.timeHeading;
    for (int c = 0; c < o.valueColumns; ++c)
        out += shape.separator + logValueName(c).toUtf8();
    out += shape.lineEnd;
    if (shape.unitsLine) {
        for (int c = 0; c < o.valueColumns; ++c)
            out += shape.separator + QByteArray(Units[c % std::size(Units)]);
        out += shape.lineEnd;
    }
    out.reserve(out.size() + log.bytes.size() * 11 / 10);
    // Local midnight of the first day: Unix times are shown in local time, and read
    // back they give the logger's clock times (no clock change in these days).
    const qint64 epochAtStart = QDateTime(o.startDate, QTime(0, 0)).toSecsSinceEpoch();
    char text[32];
    for (qint64 row = 0; row < log.values.size(); ++row) {
        const qint64 elapsed = o.startSecond + row * o.intervalSeconds;
        const QDate date = o.startDate.addDays(elapsed / 86400);
        const int second = int(elapsed % 86400);
        int n = 0;
        switch (shape.form) {
        case Form::Iso:
            n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", date.year(), date.month(), date.day(),
                              second / 3600, second / 60 % 60, second % 60);
            break;
        case Form::DayFirstDots:
            n = std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", date.day(), date.month(), date.year(),
                              second / 3600, second / 60 % 60, second % 60);
            break;
        case Form::UnixSeconds:
            n = std::snprintf(text, sizeof text, "%lld", static_cast<long long>(epochAtStart + elapsed));
            break;
        }
        out.append(text, n);
        out += shape.separator;
        const qsizetype from = out.size();
        out += log.values[row];
        if (shape.separator != ',' || shape.decimalComma) {
            for (char *c = out.data() + from; c < out.data() + out.size(); ++c) {
                if (*c == '.' && shape.decimalComma)
                    *c = ',';
                else if (*c == ',')
                    *c = shape.separator;
            }
        }
        out += shape.lineEnd;
    }
    return out;
}

// What a plot of every value column read, to tell that each shape gave the same trend.
struct Fingerprint
{
    qsizetype rows = 0;
    int channels = 0;
    double first = 0, last = 0;
    double sum = 0;
    qsizetype gaps = 0;

    bool sameAs(const Fingerprint &o) const
    {
        return rows == o.rows && channels == o.channels && std::abs(first - o.first) < 1e-7
               && std::abs(last - o.last) < 1e-7 && std::abs(sum - o.sum) <= 1e-9 * std::abs(o.sum) && gaps == o.gaps;
    }
};

Fingerprint fingerprintOf(const TrendData &data)
{
    Fingerprint f{data.rowCount(), data.channelCount()};
    if (f.rows == 0)
        return f;
    f.first = data.time(0);
    f.last = data.time(f.rows - 1);
    for (int c = 0; c < f.channels; ++c) {
        for (qsizetype i = 0; i < f.rows; ++i) {
            const double v = data.value(c, i);
            if (std::isfinite(v))
                f.sum += v;
            else
                ++f.gaps;
        }
    }
    return f;
}

// Loads and plots `path` as a fresh document; the milliseconds, or -1 with a message
// when the plot did not complete.
double loadAndPlot(const QString &path, Fingerprint *fingerprint)
{
    auto document = std::make_unique<LogDocument>();
    QElapsedTimer clock;
    clock.start();
    document->load(path);
    const trendreader::Result result = document->plot(document->valueBlocks());
    const double ms = msSince(clock);
    if (result.end != trendreader::End::Complete) {
        std::fprintf(stderr, "%s: the plot did not complete: %s\n", qPrintable(QFileInfo(path).fileName()),
                     qPrintable(trendreader::describe(document->table(), result.bad)));
        return -1;
    }
    if (fingerprint)
        *fingerprint = fingerprintOf(*result.data);
    return ms;
}

// Prints the figures of each shape against the logger's form and returns the summary line.
QByteArray plotShapes(const QTemporaryDir &dir, qint64 rows, int runs)
{
    const QList<ShapeOfLog> shapes = {
        {"logger", Form::Iso, ',', false, {}, {}, false, "\r\n"}, // written by the generator itself
        {"iso", Form::Iso, ',', false, "Time", {}, false, "\n"},
        {"semicolon", Form::DayFirstDots, ';', true, "Datum", {}, false, "\r\n"},
        {"preamble", Form::Iso, ',', false, "Time", "Pump station 4\r\nSerial number A-1187\r\n", true, "\r\n"},
        {"unix", Form::UnixSeconds, ',', false, "timestamp", {}, false, "\n"},
    };
    QStringList paths;
    {
        const Generated log = generated(rows);
        for (const ShapeOfLog &shape : shapes) {
            paths << dir.filePath(QString::fromLatin1(shape.name) + u"-plot.csv"_s);
            writeOut(paths.back(), paths.size() == 1 ? log.bytes : reshaped(log, shape));
        }
    }

    // The shapes take turns, so that a change in the machine's load falls on all.
    std::vector<std::vector<double>> times(size_t(shapes.size()));
    std::vector<Fingerprint> prints(size_t(shapes.size()));
    for (int run = 0; run < runs; ++run) {
        for (qsizetype s = 0; s < shapes.size(); ++s) {
            const double ms = loadAndPlot(paths[s], run == 0 ? &prints[size_t(s)] : nullptr);
            if (ms < 0)
                std::exit(1);
            times[size_t(s)].push_back(ms);
        }
    }

    QByteArray summary = "shapes-plot:";
    const double own = median(times[0]);
    double worst = 0;
    for (qsizetype s = 0; s < shapes.size(); ++s) {
        const double ms = median(times[size_t(s)]);
        const double ratio = ms / own;
        std::printf("plot %-9s %.1f MB: %lld rows x %d channels; load and plot %.1f ms, ratio %.2f\n", shapes[s].name,
                    QFileInfo(paths[s]).size() / 1e6, static_cast<long long>(prints[size_t(s)].rows),
                    prints[size_t(s)].channels, ms, ratio);
        if (!prints[size_t(s)].sameAs(prints[0])) {
            std::fprintf(stderr, "%s: the trend differs from the logger's form's\n", shapes[s].name);
            std::exit(1);
        }
        if (s > 0) {
            worst = std::max(worst, ratio);
            summary += ' ' + QByteArray(shapes[s].name) + "_ratio=" + QByteArray::number(ratio, 'f', 2);
        }
        QFile::remove(paths[s]);
    }
    std::printf("target: every shape's ratio <= 1.3\n");
    return summary + " worst_ratio=" + QByteArray::number(worst, 'f', 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const qint64 bytes = argValue(args, u"--mb"_s, 100) * 1000 * 1000;
    const int runs = std::max(1, int(argValue(args, u"--runs"_s, 3)));

    QTemporaryDir dir;
    struct Shape
    {
        const char *name;
        QString path;
    };
    std::vector<Shape> shapes = {{"wide", dir.filePath(u"wide.csv"_s)},
                                 {"columns", dir.filePath(u"columns.csv"_s)},
                                 {"cr", dir.filePath(u"cr.csv"_s)},
                                 {"quoted", dir.filePath(u"quoted.csv"_s)}};
    writeOut(shapes[0].path, oneWideLine(bytes));
    writeOut(shapes[1].path, manyColumns(bytes, 100000));
    writeOut(shapes[2].path, crOnly(bytes));
    writeOut(shapes[3].path, quoted(bytes));

    bench::installServices(shapes[0].path);
    DataFileWindow &window = bench::showDataFileWindow(dir.path());
    GridControl &grid = *window.dataGrid();

    QByteArray summary = "shapes:";
    double worst = 0;
    for (const Shape &shape : shapes) {
        bench::installServices(shape.path);
        std::vector<double> floors;
        std::vector<double> loads;
        qsizetype ends = 0;
        for (int i = 0; i < runs; ++i) {
            floors.push_back(bench::readFloorMs(shape.path, "\n\r", ends));
            QElapsedTimer clock;
            clock.start();
            window.getHistFile();
            QCoreApplication::processEvents(); // layout done: the grid is ready to paint
            loads.push_back(msSince(clock));
        }
        grid.view()->viewport()->repaint();
        const double floorMs = median(floors);
        const double loadMs = median(loads);
        const double ratio = loadMs / floorMs;
        worst = std::max(worst, ratio);
        std::printf("%-8s %.1f MB: %d rows x %d columns; load %.1f ms, floor %.1f ms, ratio %.2f; status \"%s\"\n",
                    shape.name, QFileInfo(shape.path).size() / 1e6, grid.rowCount(), grid.colCount(), loadMs,
                    floorMs, ratio, qPrintable(window.statusPanelText().section(u'/', -1)));
        std::fflush(stdout);
        summary += ' ' + QByteArray(shape.name) + "_ratio=" + QByteArray::number(ratio, 'f', 2);
    }
    std::printf("target: every ratio <= 5; peak %.0f MB\n", bench::peakMegabytes());
    WindowRegistry::unloadAll();
    for (const Shape &shape : shapes)
        QFile::remove(shape.path);

    const QByteArray plotSummary = plotShapes(dir, argValue(args, u"--rows"_s, 1000000), runs);
    std::printf("%s worst_ratio=%.2f\n", summary.constData(), worst);
    std::printf("%s\n", plotSummary.constData());
    return 0;
}
