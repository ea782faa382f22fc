#pragma once

#include "loggen.h"

#include "controls/commondialog.h"
#include "shell/uiservices.h"

#include <QByteArrayView>
#include <QStringList>

class DataFileWindow;
class QElapsedTimer;
class QTemporaryDir;

#include <functional>
#include <memory>
#include <vector>

// What every benchmark needs: services that answer without a user, statistics
// and the process's peak memory.
class TrendData;
class TrendWindow;

namespace bench {

// Messages go to the terminal; a benchmark has nobody to answer them. Records the
// longest gap between two passes of the event loop.
class Ui final : public UiServices
{
public:
    MsgResult message(const QString &text, const QString &caption, MsgIcon icon, MsgButtons buttons) override;
    void setPointer(Pointer p) override { m_pointer = p; }
    Pointer pointer() const override { return m_pointer; }
    void processEvents() override;
    bool startProgram(const QString &) override { return false; }
    QStringList printerNames() override { return {}; }
    void endProgram(int) override {}

    // Starts measuring gaps from now; returns the longest gap since the last start,
    // the stretch up to now included, in milliseconds.
    void startGaps();
    double longestGapMs();

private:
    Pointer m_pointer = Pointer::Default;
    qint64 m_lastPass = 0;
    qint64 m_longestGap = 0;
};

// The open dialog "chooses" the benchmark's log; every other dialog is cancelled.
class Dialogs final : public CommonDialogBackend
{
public:
    explicit Dialogs(QString path) : m_path(std::move(path)) {}
    std::optional<FileChoice> chooseFile(const FileDialogRequest &, QWidget *) override { return m_path; }
    std::optional<OleColor> chooseColor(OleColor, bool, QWidget *) override { return std::nullopt; }
    std::optional<PrintDialogResult> choosePrinter(QPrinter &, bool, bool, QWidget *) override { return std::nullopt; }
    void previewPrint(QPrinter &, const std::function<void(QPrinter &)> &, QWidget *) override {}

private:
    QString m_path;
};

double median(std::vector<double> values);
// Milliseconds since the clock was started, to the nanosecond.
double msSince(const QElapsedTimer &clock);
// Median milliseconds of `runs` calls.
double timed(int runs, const std::function<void()> &call);
// The process's peak resident memory (VmHWM), MB.
double peakMegabytes();
// Starts the peak over from the present size, so that what a benchmark did before
// (a floor measurement) does not count.
void resetPeakMemory();
// The floor of loading a log: its bytes read into a fresh buffer and each byte of
// `ends` (line ends) counted with memchr. Milliseconds; `count` gets the count.
double readFloorMs(const QString &path, QByteArrayView ends, qsizetype &count);
// The least any plot run must do with the cells of a generated log: the
// fixed-format reading of "M/D/YYYY,h:mm:ss AM,v1,..." on one thread, every
// date, time and value parsed into plain arrays.
struct FloorResult
{
    double ms;
    size_t points;
};
FloorResult parseFloor(const QString &path, int columns);
// The number after `name` among the arguments, or `fallback`.
long long argValue(const QStringList &args, const QString &name, long long fallback);

// The generated log the arguments ask for: --rows N (1,000,000) and --values C (12).
LogGenOptions logOptions(const QStringList &args);
// Writes that log into `dir` and says how large it is; ends the benchmark when it
// cannot be written.
QString writeBenchLog(const QTemporaryDir &dir, const LogGenOptions &options);

// Services that answer without a user, the open dialog choosing `log`; the
// returned services stay installed.
Ui &installServices(const QString &log);
// The main frame and a large data file window on screen, as a user works.
DataFileWindow &showDataFileWindow(const QString &startDir);

// Trend data like a real log's: one sample a second from a January morning, per
// channel a random walk with about 4 % of its samples missing and, with
// `outages`, now and then a few thousand samples in a row. The same every time.
std::shared_ptr<TrendData> noisyTrend(int channels, int points, bool outages);
// The trend window as a plot run leaves it, showing `data` whole (not yet shown).
TrendWindow &trendWindowOf(std::shared_ptr<TrendData> data);

} // namespace bench
