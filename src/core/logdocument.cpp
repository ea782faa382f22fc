#include "logdocument.h"

#include "logfollower.h"
#include "logtable.h"
#include "runtimeerror.h"
#include "trenddata.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <new>

using namespace Qt::StringLiterals;

namespace {

// A freshly loaded log made ready for plotting: a last row cut short by a power
// cut goes (it lacks its date or time, or its line stops short of the last
// column holding data, or lacks its line end and a cell; not merely the
// separators a logger may end its lines with, and an empty value in a line
// written whole is a missing sample, which stays), and so do empty columns at
// the right end.
void trim(LogTable &table, int timeColumns)
{
    const int lastRow = table.rowCount();
    if (lastRow > 0) {
        const int lastCol = table.lastDataColumn();
        const int mustHold = table.rowIsWhole(lastRow, lastCol) ? std::min(lastCol, std::max(timeColumns, 1) - 1) : lastCol;
        for (int col = 0; col <= mustHold; ++col) {
            if (table.text(col, lastRow).isEmpty()) {
                table.setRowCount(lastRow - 1);
                break;
            }
        }
    }
    table.setColCount(table.lastDataColumn());
}

int timeColumnsOf(const logshape::Shape &shape)
{
    switch (shape.time) {
    case logshape::TimeForm::DateAndTime:
        return 2;
    case logshape::TimeForm::None:
        return 0;
    default:
        return 1;
    }
}

// The first lines of a log and its last ones, as far as its shape is seen in
// them. Only a regular file is looked at: the load refuses anything else
// before it would block on it.
std::pair<QByteArray, QByteArray> headAndTail(const QString &path)
{
    constexpr qint64 HeadBytes = 1 << 20;
    constexpr qint64 TailBytes = 64 << 10;
    constexpr int HeadLines = 1000;
    constexpr int TailLines = 100;
    const QFileInfo info(path);
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    QByteArray head = file.read(HeadBytes);
    // A log in UTF-16 is read as the table holds it, in UTF-8.
    const bool littleEndian = head.startsWith("\xFF\xFE");
    const bool utf16 = littleEndian || head.startsWith("\xFE\xFF");
    const auto utf8 = [littleEndian](QByteArray bytes) {
        QStringDecoder decode(littleEndian ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        bytes.truncate(bytes.size() & ~qsizetype(1));
        return QString(decode(bytes)).toUtf8();
    };
    if (utf16)
        head = utf8(head.mid(2));
    qsizetype at = -1;
    for (int line = 0; line < HeadLines; ++line) {
        at = head.indexOf('\n', at + 1);
        if (at < 0)
            break;
    }
    if (at >= 0)
        head.truncate(at + 1);
    const qint64 size = file.size();
    QByteArray tail;
    if (size > 0 && file.seek(std::max<qint64>(utf16 ? 2 : 0, size - TailBytes) & ~qint64(utf16 ? 1 : 0))) {
        tail = file.read(TailBytes);
        if (utf16)
            tail = utf8(tail);
        // A logger's NUL padding is no line.
        while (!tail.isEmpty() && tail.back() == '\0')
            tail.chop(1);
        qsizetype from = tail.size();
        for (int line = 0; line <= TailLines && from > 0; ++line)
            from = tail.lastIndexOf('\n', from - 1);
        if (from > 0)
            tail = tail.mid(from + 1);
    }
    return {head, tail};
}

bool sameFile(const QString &a, const QString &b)
{
    return !a.isEmpty() && !b.isEmpty() && QFileInfo(a) == QFileInfo(b);
}

} // namespace

LogDocument::LogDocument(QObject *parent) : QObject(parent), m_table(std::make_unique<LogTable>())
{
    m_follower = new LogFollower(this);
    connect(m_follower, &LogFollower::touched, this, &LogDocument::follow);
}

LogDocument::~LogDocument() = default;

void LogDocument::load(const QString &path, LoadMode mode)
{
    if (m_plotting)
        throw RuntimeError(RuntimeError::InvalidCall);
    const bool sameLog = sameFile(path, m_path);
    if (mode == LoadMode::KeepOnFailure) {
        auto fresh = std::make_unique<LogTable>();
        const logshape::Shape shape = loadShaped(*fresh, path);
        m_shape = shape;
        // The former table lives until its views have let go of it.
        const std::unique_ptr<LogTable> former = std::exchange(m_table, std::move(fresh));
        opened(path, sameLog);
        return;
    }
    m_path = path;
    if (!sameLog)
        setFollowing(false);
    try {
        m_shape = {};
        m_shape = loadShaped(*m_table, path);
    } catch (...) {
        const RuntimeError error = RuntimeError::fromCurrentException();
        m_path.clear();
        m_plottedBlocks.clear();
        setFollowing(false);
        emit loadFailed(error.number(), error.description());
        throw;
    }
    opened(path, sameLog);
}

void LogDocument::opened(const QString &path, bool sameLog)
{
    if (!sameLog)
        setFollowing(false);
    m_path = path;
    if (!sameLog)
        m_plottedBlocks.clear();
    // Rows of a shorter file that a block no longer has are left out.
    for (GridBlock &block : m_plottedBlocks)
        block.lastRow = std::min(block.lastRow, m_table->rowCount());
    emit loaded();
    // The same log is followed on from its new content.
    if (isFollowing()) {
        m_follower->start(m_path, m_table->content());
        m_pieceHeld = false;
        m_roomRows = 0;
        makeRoomToGrow();
    }
}

logshape::Shape LogDocument::loadShaped(LogTable &table, const QString &path) const
{
    const auto [head, tail] = headAndTail(path);
    const std::optional<logshape::Shape> choice = shapeChoice(path);
    const logshape::Shape shape = choice ? logshape::detect(head, tail, *choice) : logshape::detect(head, tail);
    table.load(path, shape.separator);
    if (!shape.isLoggerForm()) {
        QList<int> front;
        if (shape.timeColumn >= 0 && shape.time != logshape::TimeForm::None)
            front << shape.timeColumn;
        if (shape.secondTimeColumn >= 0 && shape.time == logshape::TimeForm::DateAndTime)
            front << shape.secondTimeColumn;
        table.arrange(shape.headingLine, shape.linesUnder, front);
    }
    trim(table, timeColumnsOf(shape));
    return shape;
}

int LogDocument::timeColumns() const { return timeColumnsOf(m_shape); }

QList<GridBlock> LogDocument::valueBlocks() const
{
    QList<GridBlock> blocks;
    for (int col = std::max(1, timeColumns()); col <= m_table->colCount(); ++col) {
        if (!holdsValues(col))
            continue;
        if (!blocks.isEmpty() && blocks.back().lastCol == col - 1)
            blocks.back().lastCol = col;
        else
            blocks.append(GridBlock{col, -1, col, -1});
    }
    return blocks;
}

void LogDocument::setShapeChoice(const QString &path, const std::optional<logshape::Shape> &choice)
{
    const QString key = QFileInfo(path).absoluteFilePath();
    if (choice)
        m_choices.insert(key, *choice);
    else
        m_choices.remove(key);
}

std::optional<logshape::Shape> LogDocument::shapeChoice(const QString &path) const
{
    const auto found = m_choices.constFind(QFileInfo(path).absoluteFilePath());
    return found == m_choices.cend() ? std::nullopt : std::optional<logshape::Shape>(*found);
}

std::pair<QByteArray, QByteArray> LogDocument::sampleOf(const QString &path) { return headAndTail(path); }

std::optional<logshape::Shape> LogDocument::chooseShape(const QString &path, const logshape::Options &options, QString *why)
{
    const auto [head, tail] = headAndTail(path);
    return logshape::choose(head, tail, options, why);
}

QString LogDocument::noTimeText()
{
    return u"no time column was found: looked for Date and Time columns, a date and time in one column "
           u"(2015-01-31 13:00:00, 2015-01-31T13:00, 2015/01/31 13:00:00, Jan 31 2015 13:00), a date column "
           u"(2015-01-31, 2015-01) and a Unix time column headed time, timestamp, epoch or unix"_s;
}

QString LogDocument::holdsTextText(const QString &heading)
{
    return u"Column \"%1\" holds text, not values."_s.arg(heading);
}

bool LogDocument::holdsText(int col) const
{
    return kindOf(col) == logshape::ColumnKind::Text;
}

bool LogDocument::holdsValues(int col) const
{
    return kindOf(col) == logshape::ColumnKind::Value;
}

logshape::ColumnKind LogDocument::kindOf(int col) const
{
    // The logger's own columns are values, whatever a cell holds.
    if (m_shape.isLoggerForm())
        return col < timeColumns() ? logshape::ColumnKind::Time : logshape::ColumnKind::Value;
    const int field = m_table->fieldOf(col);
    return field >= 0 && field < m_shape.columns.size() ? m_shape.columns[field] : logshape::ColumnKind::Value;
}

QHash<QString, int> LogDocument::headingCounts() const
{
    QHash<QString, int> counts;
    for (int col = 0; col <= m_table->colCount(); ++col)
        ++counts[m_table->text(col, 0)];
    return counts;
}

QString LogDocument::unitOf(int col) const
{
    const int field = m_table->fieldOf(col);
    const QString unit = field >= 0 && field < m_shape.units.size() ? m_shape.units[field] : QString();
    // A unit the heading itself carries is shown once, with the heading.
    return m_table->text(col, 0).contains(unit) ? QString() : unit;
}

trendreader::Request LogDocument::readRequest(const QList<GridBlock> &blocks) const
{
    trendreader::Request request;
    request.blocks = blocks;
    request.decimalComma = m_shape.decimal == ',';
    if (timeColumns() == 1) {
        request.timeForm = m_shape.time;
        request.timeColumn = 0;
        request.timeOrder = m_shape.dateOrder;
    }
    if (m_shape.millisecondsColumn >= 0)
        request.millisecondsColumn = m_table->colOf(m_shape.millisecondsColumn);
    request.clockPastTheDay = !m_shape.isLoggerForm();
    return request;
}

void LogDocument::reload()
{
    if (isOpen())
        load(m_path);
}

void LogDocument::close()
{
    setFollowing(false);
    m_path.clear();
    m_plottedBlocks.clear();
    const std::unique_ptr<LogTable> former = std::exchange(m_table, std::make_unique<LogTable>());
    m_shape = {};
    emit closed();
}

bool LogDocument::isFollowing() const { return m_follower->isActive(); }

void LogDocument::setFollowing(bool on)
{
    if (on == isFollowing() || (on && !isOpen()))
        return;
    m_pieceHeld = false;
    m_roomRows = 0;
    if (on) {
        m_follower->start(m_path, m_table->content());
        makeRoomToGrow();
    } else {
        m_follower->stop();
    }
    emit followingChanged(on);
}

// Room to grow is made once, so that no look copies the whole log: a quarter
// more, at least a megabyte, hours of a logger's rows. Without it following
// still works; a first look is only slower.
void LogDocument::makeRoomToGrow()
{
    try {
        m_table->reserveForAppending(std::max<qsizetype>(1 << 20, m_table->byteSize() / 4));
        if (m_trend && trendFromOpenLog())
            m_trend->reserve(m_trend->rowCount() + std::max(1024, m_table->rowCount() / 4));
    } catch (const std::bad_alloc &) {
    }
}

void LogDocument::queueLook()
{
    if (m_lookQueued)
        return;
    m_lookQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_lookQueued = false;
        follow();
    });
}

// A large gain gets room for all of it at its first piece, so that no later
// piece copies what is held. Copying the trend's samples to their new room takes
// a while for a long trend: a share of it is done a look, each after a pass of
// the event loop, and the piece waits until the room is made.
bool LogDocument::makeRoomForGain()
{
    constexpr qsizetype CopyBytesPerLook = qsizetype(32) << 20;
    try {
        if (const qint64 more = m_follower->remaining(); more > 0 && m_roomRows == 0 && m_table->byteSize() > 0) {
            const qint64 bytes = more + m_follower->pending().size();
            m_table->reserveForAppending(qsizetype(bytes));
            if (m_trend && trendFromOpenLog())
                m_roomRows = m_trend->rowCount() + 1024
                             + qsizetype(double(bytes) * m_table->rowCount() / double(m_table->byteSize()));
        }
        if (m_roomRows > 0 && m_trend && trendFromOpenLog() && !m_trend->reserveSome(m_roomRows, CopyBytesPerLook))
            return false;
    } catch (const std::bad_alloc &) {
    }
    m_roomRows = 0;
    return true;
}

void LogDocument::follow()
{
    // One look a pass of the event loop: while one is queued, a touch of the
    // file is left to it.
    if (!isFollowing() || m_plotting || m_lookQueued)
        return;
    // A piece held while room was made is taken before anything more is read.
    const bool held = std::exchange(m_pieceHeld, false);
    const LogFollower::Change change = held ? LogFollower::Change::Grown : m_follower->check();
    // The rest of a large gain is taken after a pass of the event loop, a piece
    // at a time, so that the windows show each piece and stay responsive.
    if (m_follower->hasMore())
        queueLook();
    switch (change) {
    case LogFollower::Change::None:
        return;
    case LogFollower::Change::Emptied:
        emit replaced(Replacement::Emptied);
        return;
    case LogFollower::Change::Replaced:
        emit replaced(Replacement::Rewritten);
        return;
    case LogFollower::Change::Grown:
        break;
    }
    if (!m_table->canAppend()) {
        emit replaced(Replacement::Reread);
        return;
    }
    if (!makeRoomForGain()) {
        m_pieceHeld = true;
        queueLook();
        return;
    }
    const int oldRows = m_table->rowCount();
    const qsizetype taken = m_table->appendLines(m_follower->pending());
    m_follower->take(taken);
    // The look ended at a run of NUL bytes: the line before it is the table's last.
    const int nulRunAfter = m_follower->skippedNulRun() && m_follower->pending().isEmpty()
                                ? int(m_table->fileLine(m_table->indexedRowCount()))
                                : 0;
    if (taken > 0) {
        m_table->setRowCount(m_table->indexedRowCount());
        int leftOut = 0;
        if (m_trend && trendFromOpenLog() && m_table->rowCount() > oldRows) {
            const trendreader::Growth growth =
                trendreader::grow(*m_table, *m_trend, m_plottedBlocks, oldRows, m_trendDateOrder, readRequest({}));
            leftOut = growth.leftOutRow;
            if (growth.added > 0) {
                m_spans.x += std::max(0.0, growth.newEnd - growth.oldEnd);
                emit trendGrew(growth.oldEnd, growth.newEnd);
            }
        }
        emit rowsAppended(oldRows, leftOut);
    }
    if (nulRunAfter > 0)
        emit nulRunSkipped(nulRunAfter);
}

void LogDocument::beginPlotRun()
{
    m_plotting = true;
    m_cancel = false;
}

void LogDocument::endPlotRun() { m_plotting = false; }

trendreader::Result LogDocument::plot(const QList<GridBlock> &blocks, const trendreader::Progress &progress)
{
    const bool ownRun = !m_plotting;
    if (ownRun)
        beginPlotRun();
    // The trend goes first, so that a run never holds two.
    TrendData::release(std::move(m_trend));
    trendreader::Result result = trendreader::read(*m_table, readRequest(blocks), progress, &m_cancel);
    m_trend = result.data;
    m_trendDateOrder = result.dateOrder;
    m_trend->setSourcePath(m_path);
    m_trend->setTimeColumns(std::max(1, timeColumns()));
    m_trend->setTimeScale(logshape::scaleOf(m_shape.time));
    const QHash<QString, int> headings = headingCounts();
    for (int ch = 0; ch < m_trend->channelCount(); ++ch) {
        const int col = m_trend->sourceColumn(ch);
        m_trend->setUnit(ch, unitOf(col));
        if (headings.value(m_table->text(col, 0)) > 1)
            m_trend->setField(ch, m_table->fieldOf(col) + 1);
    }
    m_trend->setLoggedTextReader([document = QPointer<const LogDocument>(this), path = m_path](int column, int row) {
        return document ? document->loggedText(path, column, row) : std::nullopt;
    });
    m_plottedBlocks = blocks;
    if (result.end == trendreader::End::Complete && isFollowing())
        makeRoomToGrow();
    emit trendReplaced();
    if (ownRun)
        endPlotRun();
    return result;
}

bool LogDocument::trendFromOpenLog() const
{
    return m_trend && isOpen() && m_trend->sourcePath() == m_path;
}

void LogDocument::closeTrend()
{
    TrendData::release(std::move(m_trend));
    m_plottedBlocks.clear();
    m_spans = {};
}

std::optional<QString> LogDocument::loggedText(const QString &sourcePath, int column, int row) const
{
    if (sourcePath.isEmpty() || sourcePath != m_path)
        return std::nullopt;
    return m_table->text(column, row);
}
