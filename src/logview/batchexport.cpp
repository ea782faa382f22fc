#include "batchexport.h"

#include "controls/outputfile.h"
#include "controls/trendpicture.h"
#include "controls/trendrenderer.h"
#include "core/logdocument.h"
#include "core/logtable.h"
#include "core/runtimeerror.h"
#include "core/trendreader.h"
#include "core/writetarget.h"
#include "shell/uiservices.h"
#include "trend/trendbuilder.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace batchexport {

namespace {

// Ends the export with the reason given.
struct Failure
{
    QString why;
};

// Nobody is there to answer: nothing is shown, every question gets its first
// answer, no program is started.
class UnattendedUi : public UiServices
{
public:
    MsgResult message(const QString &, const QString &, MsgIcon, MsgButtons buttons) override
    {
        return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgResult::Yes : MsgResult::Ok;
    }
    void setPointer(Pointer pointer) override { m_pointer = pointer; }
    Pointer pointer() const override { return m_pointer; }
    void processEvents() override { QCoreApplication::processEvents(); }
    bool startProgram(const QString &) override { return false; }
    QStringList printerNames() override { return {}; }
    void endProgram(int exitCode) override { markProgramEnded(exitCode); }

private:
    Pointer m_pointer = Pointer::Default;
};

QString quoted(const QString &text)
{
    return u'"' + text + u'"';
}

QString reason(const RuntimeError &error)
{
    return error.description().isEmpty() ? RuntimeError::standardDescription(error.number()) : error.description();
}

// The selection a user would make: every value column (text columns split
// them into blocks), or each named column clicked in turn.
QList<GridBlock> columnBlocks(const LogDocument &document, const QStringList &names, const QString &log)
{
    const LogTable &table = document.table();
    const int firstValue = std::max(1, document.timeColumns());
    if (document.timeColumns() == 0)
        throw Failure{quoted(log) + u": "_s + LogDocument::noTimeText()};
    if (table.colCount() < firstValue)
        throw Failure{quoted(log) + u" has no value columns to plot"_s};
    if (names.isEmpty() && document.shape().isLoggerForm())
        return {GridBlock{2, -1, table.colCount(), -1}};
    if (names.isEmpty()) {
        const QList<GridBlock> blocks = document.valueBlocks();
        if (blocks.isEmpty())
            throw Failure{quoted(log) + u" has no value columns to plot"_s};
        return blocks;
    }
    QList<GridBlock> blocks;
    for (const QString &name : names) {
        QList<int> named;
        for (int col = 0; col <= table.colCount(); ++col) {
            if (table.text(col, 0).trimmed() == name.trimmed())
                named << col;
        }
        // A heading that several columns carry names none of them: the field number does.
        if (named.size() > 1) {
            QStringList fields;
            for (int col : std::as_const(named))
                fields << QString::number(table.fieldOf(col) + 1);
            const QString last = fields.takeLast();
            throw Failure{quoted(name.trimmed()) + u" names fields "_s + fields.join(u", "_s) + u" and "_s + last
                          + u"; choose one by its number."_s};
        }
        int found = named.isEmpty() ? -1 : named.constFirst();
        // A heading that is a number is found by its heading first; else the
        // number counts the file's fields from 1.
        bool isNumber = false;
        const int field = name.trimmed().toInt(&isNumber);
        if (found < 0 && isNumber) {
            if (field < 1 || field > table.colCount() + 1)
                throw Failure{quoted(log) + u" has no column named "_s + quoted(name) + u" and no field "_s
                              + name.trimmed() + u": its fields are 1 to "_s + QString::number(table.colCount() + 1)};
            found = table.colOf(field - 1);
        }
        if (found < 0)
            throw Failure{quoted(log) + u" has no column named "_s + quoted(name)};
        if (found < firstValue)
            throw Failure{u"column "_s + quoted(name) + u" holds no values to plot"_s};
        if (document.holdsText(found))
            throw Failure{LogDocument::holdsTextText(table.text(found, 0))};
        blocks.append(GridBlock{found, -1, found, -1});
    }
    return blocks;
}

void exportTrend(const Request &request)
{
    const std::optional<QSize> size = request.size ? parseSize(*request.size) : std::optional<QSize>(DefaultSize);
    if (!size)
        throw Failure{u"--size "_s + quoted(*request.size)
                      + u" is not a size: give width and height in pixels, such as 1000x600, each 32 to 10000"_s};
    const QString out = request.outFile;
    const QString log = QFileInfo(request.logFile).absoluteFilePath();
    // The log is held from the start: not even its own name is taken as output.
    const writetarget::LogHold held(log);
    try {
        outputfile::checkWritable(out);
    } catch (const RuntimeError &e) {
        if (writetarget::isRefusal(e.number()))
            throw Failure{e.description()};
        throw Failure{u"cannot write "_s + quoted(out) + u": "_s + reason(e)};
    }
    const std::optional<outputfile::ImageType> type = outputfile::imageTypeOfName(out);
    if (!type)
        throw Failure{quoted(out) + u" has no image type: name it .png, .jpg, .svg or .pdf"_s};

    // The options are read against the log's first and last lines, so that the
    // log is loaded once, in the shape they choose; a log that cannot be loaded
    // says so before anything the options could not find in it.
    LogDocument document;
    QString why;
    std::optional<logshape::Shape> chosen;
    if (request.shape.any()) {
        chosen = LogDocument::chooseShape(log, request.shape, &why);
        document.setShapeChoice(log, chosen);
    }
    try {
        document.load(log);
    } catch (...) {
        throw Failure{u"cannot load "_s + quoted(log) + u": "_s + reason(RuntimeError::fromCurrentException())};
    }
    if (request.shape.any() && !chosen)
        throw Failure{why};
    const QList<GridBlock> blocks = columnBlocks(document, request.columns, log);
    // Unlike the plot command, a log of few rows is drawn: one sample as a point.
    if (document.table().rowCount() < 1)
        throw Failure{quoted(log) + u" has no rows to plot"_s};

    // The plot run's reading and its picture of the new trend, without its windows.
    trendreader::Result result;
    try {
        result = document.plot(blocks);
    } catch (...) {
        result.end = trendreader::End::Failed;
    }
    if (result.end != trendreader::End::Complete)
        throw Failure{quoted(log) + u": "_s + plotRunProblem(result, document.table())};
    if (!trendreader::holdsAnyValue(*result.data))
        throw Failure{quoted(log) + u": "_s + trendreader::noValueText()};
    const TrendPicture picture = newTrendPicture(result);
    // Drawn by the renderer, fitted to the image's size.
    try {
        trendrenderer::write(out, *type, *size, picture, *result.data);
    } catch (const RuntimeError &e) {
        if (writetarget::isRefusal(e.number()))
            throw Failure{e.description()};
        throw Failure{u"cannot write "_s + quoted(out) + u": "_s + reason(e)};
    }
}

} // namespace

std::optional<QSize> parseSize(const QString &text)
{
    static const QRegularExpression form(u"^([0-9]{1,5})[xX]([0-9]{1,5})$"_s);
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const QSize size(m.captured(1).toInt(), m.captured(2).toInt());
    auto fits = [](int side) { return side >= 32 && side <= 10000; };
    if (!fits(size.width()) || !fits(size.height()))
        return std::nullopt;
    return size;
}

QString run(const Request &request)
{
    installUi(std::make_unique<UnattendedUi>());
    QString why;
    try {
        exportTrend(request);
    } catch (const Failure &failure) {
        why = failure.why;
    } catch (...) {
        why = u"the export failed: "_s + reason(RuntimeError::fromCurrentException());
    }
    return why;
}

} // namespace batchexport
