#pragma once

#include "blockselection.h"
#include "logshape.h"
#include "trendreader.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

class LogFollower;
class LogTable;
class TrendData;

// The zoom sliders' 100 %: the trend's full time span (days) and each value
// axis's, as the last plot run or follow recorded them; 0 before any.
struct TrendSpans
{
    double x = 0;
    double left = 0;
    double right = 0;
};

// The open log and what was made of it: its path, its table, the follower of a
// log a logger appends to, the blocks last plotted, the trend read from them
// with its recorded spans, whether a plot run is active and whether the user
// asked it to stop. The windows are views of it: they run their commands
// through it and follow its signals. Widget-free; all on one thread (a plot run
// reads a long block on a second one while it lasts).
//
// The table is trimmed as the plot command relies on it: an incomplete last row
// (cut short by a power cut: a cell missing up to the last column holding data
// anywhere) and empty columns at the right end are dropped. A header alone
// loads, with no rows.
class LogDocument : public QObject
{
    Q_OBJECT

public:
    enum class LoadMode {
        Replace,       // the open log goes at once; a failure leaves no log open
        KeepOnFailure, // read beside the open log, which stays when it fails
    };
    // Why a followed log must be read again, or cannot be.
    enum class Replacement {
        Emptied,   // left without text: the rows read stay until it holds one again
        Rewritten, // shrank, or another file took its name
        Reread,    // it grew, but what is held is not the file's own bytes
    };

    explicit LogDocument(QObject *parent = nullptr);
    ~LogDocument() override;

    // ---- the log
    // The full path of the open log; empty without one. It names a new log from
    // the start of its load (Replace).
    QString path() const { return m_path; }
    bool isOpen() const { return !m_path.isEmpty(); }
    // The cells, as the grid shows them; an empty table without a log. The
    // object may be another one after each of loaded() and closed().
    const LogTable &table() const { return *m_table; }
    LogTable &table() { return *m_table; }
    // Opens the log at `path`. Following goes on with the same log and ends with
    // another. On failure throws RuntimeError as LogTable::load does, after
    // emitting loadFailed() (Replace) or leaving everything as it was
    // (KeepOnFailure). Refused with 5 while a plot run reads the table.
    void load(const QString &path, LoadMode mode = LoadMode::Replace);
    // Reads the open log again; the plotted blocks keep their rows as far as it
    // still has them.
    void reload();
    // No log open any more.
    void close();

    // ---- the log's shape
    // How the open log is written: its separator, decimal mark, the lines
    // above its heading, its units and its time columns, found when it loaded.
    // A log of another shape than the logger's shows its time columns first.
    const logshape::Shape &shape() const { return m_shape; }
    // The grid columns at the left that hold the rows' times: 2 (Date and
    // Time), 1 (one column), or 0 when no time was found.
    int timeColumns() const;
    // The column of the grid holds text (a place, a name), not values.
    bool holdsText(int col) const;
    // The column holds values: not the time, text, running numbers or milliseconds.
    bool holdsValues(int col) const;
    logshape::ColumnKind kindOf(int col) const;
    // Every column that holds values, as the user would select them: whole
    // columns, neighbours in one block, the columns of other kinds left out.
    QList<GridBlock> valueBlocks() const;
    // The unit of a grid column's values, empty when none is known.
    QString unitOf(int col) const;
    // How many columns carry each heading: a channel of a heading that several
    // carry is named with its field.
    QHash<QString, int> headingCounts() const;
    // The shape the user chose for the log at `path` (File, Open As..., the command line): its
    // load, reload and follow read it so, with what the choice leaves open detected. Kept for
    // the run, also while another log is open; std::nullopt forgets it.
    void setShapeChoice(const QString &path, const std::optional<logshape::Shape> &choice);
    std::optional<logshape::Shape> shapeChoice(const QString &path) const;
    // The first lines of the log at `path` and its last ones, as its shape is detected from
    // them (UTF-8); empty for what is no readable regular file.
    static std::pair<QByteArray, QByteArray> sampleOf(const QString &path);
    // The shape the command line's `options` make of the log at `path`, or nothing with `why`.
    static std::optional<logshape::Shape> chooseShape(const QString &path, const logshape::Options &options, QString *why);
    // What the user is told of a log without a time, and of a text column chosen to plot.
    static QString noTimeText();
    static QString holdsTextText(const QString &heading);

    // ---- follow
    bool isFollowing() const;
    // Needs an open log; the first look is left to the caller.
    void setFollowing(bool on);
    // One look at the followed log: complete new rows join the table and the
    // trend of this log (its growing blocks), and are told with rowsAppended();
    // anything else is told with replaced(). Nothing while a plot run is active.
    // A large gain is taken a piece at a time: the look at the next piece comes
    // after a pass of the event loop.
    void follow();
    const LogFollower &follower() const { return *m_follower; }

    // ---- the plot run
    // A plot run is active from beginPlotRun() to endPlotRun(): the table stays
    // as it is, and cancelPlot() asks the run to end before its next column.
    bool isPlotting() const { return m_plotting; }
    void beginPlotRun();
    void endPlotRun();
    void cancelPlot() { m_cancel = true; }
    // Reads `blocks` of the table into a new trend (see trendreader::read); the
    // trend is what was read, also after any other end, and trendReplaced() is
    // emitted. Inside an active run, or as a run of its own.
    trendreader::Result plot(const QList<GridBlock> &blocks, const trendreader::Progress &progress = {});

    // ---- the trend
    // The trend of the last plot run; null before one and after closeTrend().
    std::shared_ptr<TrendData> trend() const { return m_trend; }
    const QList<GridBlock> &plottedBlocks() const { return m_plottedBlocks; }
    // Whether the trend was read from the log open now.
    bool trendFromOpenLog() const;
    const TrendSpans &spans() const { return m_spans; }
    void setSpans(const TrendSpans &spans) { m_spans = spans; }
    // The trend is shown no more: it, its blocks and its spans go.
    void closeTrend();
    // The text a cell of the log at `sourcePath` was logged as, while that log is
    // open; a trend's readers (the cursor readout, the samples in view as CSV)
    // ask through it.
    std::optional<QString> loggedText(const QString &sourcePath, int column, int row) const;

signals:
    void loaded();
    // The open log could not be loaded; no log is open now.
    void loadFailed(int errorNumber, const QString &description);
    // Rows after `oldRowCount` joined the table (follow); `leftOutRow` is the
    // first of them that the trend had to leave out, its date or time unreadable
    // (0: none).
    void rowsAppended(int oldRowCount, int leftOutRow);
    // Follow passed over a run of NUL bytes (what a power cut leaves) after file
    // line `line`, and went on with the lines after it.
    void nulRunSkipped(int line);
    void replaced(LogDocument::Replacement how);
    void trendReplaced();
    // A followed log's rows joined the trend; its latest time moved.
    void trendGrew(double oldEnd, double newEnd);
    void closed();
    void followingChanged(bool on);

private:
    void opened(const QString &path, bool sameLog);
    // Loads `path` into `table` in the shape its first and last lines show.
    logshape::Shape loadShaped(LogTable &table, const QString &path) const;
    // What a plot run and follow read: the time columns and the number form.
    trendreader::Request readRequest(const QList<GridBlock> &blocks) const;
    void makeRoomToGrow();
    // Room for the whole of a large gain, made before its first piece is taken:
    // false while the trend's copying goes on in later looks.
    bool makeRoomForGain();
    void queueLook();

    QString m_path;
    std::unique_ptr<LogTable> m_table;
    logshape::Shape m_shape;
    QHash<QString, logshape::Shape> m_choices; // by absolute path
    LogFollower *m_follower = nullptr;
    QList<GridBlock> m_plottedBlocks;
    std::shared_ptr<TrendData> m_trend;
    // The order the trend's dates were read in; its new rows are read in it too.
    LogValueParser::DateOrder m_trendDateOrder = LogValueParser::DateOrder::NotAsked;
    TrendSpans m_spans;
    bool m_plotting = false;
    bool m_lookQueued = false;
    // The last look's piece waits for the next one while room is made for its gain.
    bool m_pieceHeld = false;
    qsizetype m_roomRows = 0; // the trend's rows the room is made for; 0: none asked
    std::atomic<bool> m_cancel{false};
};
