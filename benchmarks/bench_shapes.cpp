// ./bench shapes [--mb M] [--runs K]
//   Opens four logs of about M MB (100) through the data file window, each of a
//   shape that once cost far more than its size: (a) a header and one line of
//   many short fields, (b) 100,000 columns, (c) the generated log with CR-only
//   line ends, (d) the generated log with every value quoted, one value in a
//   hundred holding a comma and one in a thousand a line break. Prints for each
//   the load time (median, from the start of Open to a grid ready to paint), the
//   floor (reading the bytes and counting their LF and CR bytes) and the ratio.

#include "benchsupport.h"
#include "loggen.h"

#include "controls/gridcontrol.h"
#include "logview/datafilewindow.h"
#include "shell/windowregistry.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace Qt::StringLiterals;
using bench::argValue;
using bench::median;

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
            loads.push_back(double(clock.nsecsElapsed()) / 1e6);
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
    std::printf("%s worst_ratio=%.2f\n", summary.constData(), worst);
    WindowRegistry::unloadAll();
    return 0;
}
