#include "benchsupport.h"

#include "core/oledate.h"
#include "controls/plotcontrol.h"
#include "core/trenddata.h"
#include "logview/datafilewindow.h"
#include "shell/mainframe.h"
#include "core/logdocument.h"
#include "shell/openlog.h"
#include "shell/sharedstate.h"
#include "trend/trendwindow.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <charconv>
#include <limits>
#include <random>
#include <vector>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace Qt::StringLiterals;

namespace bench {

namespace {
qint64 nowNs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.nsecsElapsed();
}

int digits(const char *&p)
{
    int v = 0;
    while (*p >= '0' && *p <= '9')
        v = v * 10 + (*p++ - '0');
    return v;
}

double dayNumber(int y, int m, int d)
{
    // Days from 30 December 1899 (the civil-from-days inverse of Howard Hinnant).
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * unsigned(m + (m > 2 ? -3 : 9)) + 2) / 5 + unsigned(d) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return double(era * 146097 + int(doe) - 719468 + 25569);
}

} // namespace

MsgResult Ui::message(const QString &text, const QString &, MsgIcon, MsgButtons)
{
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
    return MsgResult::Ok;
}

void Ui::processEvents()
{
    const qint64 now = nowNs();
    m_longestGap = std::max(m_longestGap, now - m_lastPass);
    QCoreApplication::processEvents();
    m_lastPass = nowNs();
}

void Ui::startGaps()
{
    m_lastPass = nowNs();
    m_longestGap = 0;
}

double Ui::longestGapMs()
{
    m_longestGap = std::max(m_longestGap, nowNs() - m_lastPass);
    return double(m_longestGap) / 1e6;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double msSince(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

double timed(int runs, const std::function<void()> &call)
{
    std::vector<double> times;
    QElapsedTimer clock;
    for (int i = 0; i < runs; ++i) {
        clock.start();
        call();
        times.push_back(msSince(clock));
    }
    return median(times);
}

double peakMegabytes()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').constFirst().toDouble() / 1024.0;
    }
    return -1;
}

void resetPeakMemory()
{
    // "5" asks the kernel to start the peak resident size afresh from now.
    QFile refs(u"/proc/self/clear_refs"_s);
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

long long argValue(const QStringList &args, const QString &name, long long fallback)
{
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toLongLong() : fallback;
}

LogGenOptions logOptions(const QStringList &args)
{
    LogGenOptions options;
    options.rows = argValue(args, u"--rows"_s, 1000000);
    options.valueColumns = int(argValue(args, u"--values"_s, 12));
    return options;
}

QString writeBenchLog(const QTemporaryDir &dir, const LogGenOptions &options)
{
    const QString path = dir.filePath(u"bench.csv"_s);
    QString error;
    if (!writeLog(path, options, &error)) {
        std::fprintf(stderr, "cannot write the log: %s\n", qPrintable(error));
        std::exit(1);
    }
    std::printf("generated log: %lld rows x %d values, %.1f MB\n", static_cast<long long>(options.rows), options.valueColumns,
                QFileInfo(path).size() / 1e6);
    return path;
}

Ui &installServices(const QString &log)
{
    auto *ui = new Ui;
    installUi(std::unique_ptr<UiServices>(ui));
    CommonDialog::installBackend(std::make_unique<Dialogs>(log));
    return *ui;
}

DataFileWindow &showDataFileWindow(const QString &startDir)
{
    shared().fileDialog = &mainFrame().cmdFile();
    shared().startDir = startDir;
    mainFrame().resize(1280, 900);
    mainFrame().show();
    DataFileWindow &window = frmHistory();
    window.show();
    window.resize(1200, 800);
    QCoreApplication::processEvents();
    return window;
}

std::shared_ptr<TrendData> noisyTrend(int channels, int points, bool outages)
{
    const double start = oledate::fromFields(2024, 1, 15, 6, 0, 0);
    auto data = std::make_shared<TrendData>();
    data->reserve(points);
    for (int i = 0; i < points; ++i)
        data->appendRow(start + i / 86400.0, i + 1);
    std::mt19937 random(740);
    std::normal_distribution<double> step(0, 0.8);
    std::uniform_real_distribution<double> chance(0, 1);
    for (int c = 0; c < channels; ++c) {
        const int ch = data->addChannel(QStringLiteral("Channel %1").arg(c + 1));
        double *values = data->values(ch);
        double y = 20 + c * 5.0;
        int outage = 0;
        for (int i = 0; i < points; ++i) {
            y += step(random);
            if (outages && outage == 0 && chance(random) < 2e-6)
                outage = 2000 + int(chance(random) * 20000);
            const bool missing = outage > 0 || chance(random) < 0.04;
            outage = std::max(0, outage - 1);
            values[i] = missing ? std::numeric_limits<double>::quiet_NaN() : y;
        }
        data->valuesChanged(ch, 0);
    }
    return data;
}

TrendWindow &trendWindowOf(std::shared_ptr<TrendData> data)
{
    TrendWindow &w = frmHistoryPlot();
    PlotControl &plot = w.trendPlot();
    plot.RemoveAllChannels();
    plot.ClearAllData();
    plot.XAxis(0).setTrackingEnabled(true);
    plot.YAxis(0).setTrackingEnabled(true);
    plot.setTrendData(std::move(data));
    logDocument().setSpans({plot.dataXMax() - plot.dataXMin(), plot.YAxis(0).Span(), 0});
    plot.XAxis(0).setSpan(w.historyXspan());
    return w;
}

FloorResult parseFloor(const QString &path, int columns)
{
    QElapsedTimer clock;
    clock.start();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    const char *p = bytes.constData();
    const char *end = p + bytes.size();
    p = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p))) + 1; // header
    std::vector<double> x;
    auto y = std::vector<std::vector<double>>(size_t(columns));
    while (p < end) {
        const int month = digits(p);
        ++p;
        const int day = digits(p);
        ++p;
        const int year = digits(p);
        ++p;
        int hour = digits(p);
        ++p;
        const int minute = digits(p);
        ++p;
        const int second = digits(p);
        ++p;
        const bool pm = *p == 'P';
        p += 2;
        hour = hour % 12 + (pm ? 12 : 0);
        x.push_back(dayNumber(year, month, day) + (hour * 3600 + minute * 60 + second) / 86400.0);
        for (int c = 0; c < columns; ++c) {
            ++p; // the comma
            double v = 0;
            const char *fieldEnd = p;
            while (fieldEnd < end && *fieldEnd != ',' && *fieldEnd != '\r' && *fieldEnd != '\n')
                ++fieldEnd;
            std::from_chars(p, fieldEnd, v);
            y[size_t(c)].push_back(v);
            p = fieldEnd;
        }
        p = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        p = p ? p + 1 : end;
    }
    return {msSince(clock), x.size() * size_t(columns)};
}

} // namespace bench

double bench::readFloorMs(const QString &path, QByteArrayView ends, qsizetype &count)
{
    QElapsedTimer clock;
    clock.start();
    count = 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    QByteArray bytes(file.size(), Qt::Uninitialized);
    const qint64 got = file.read(bytes.data(), bytes.size());
    for (const char c : ends) {
        const char *p = bytes.constData();
        const char *end = p + std::max<qint64>(got, 0);
        while (const void *hit = std::memchr(p, c, size_t(end - p))) {
            ++count;
            p = static_cast<const char *>(hit) + 1;
        }
    }
    return msSince(clock);
}
