// Any bytes as the first and last lines of a log: the shape found is one the
// program can use (its columns within the heading, its time columns distinct,
// its choice written as a line that reads back the same), and a single-column
// time read from the first cell is a date in range or Type mismatch, nothing
// else. The last byte says where the head ends and the tail begins.
#include "core/logshape.h"
#include "core/oledate.h"
#include "core/runtimeerror.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

using namespace logshape;
using DateOrder = LogValueParser::DateOrder;

namespace {

void check(const Shape &shape)
{
    const qsizetype columns = shape.columns.size();
    if (shape.units.size() != columns || shape.headingLine < 0 || shape.metadata.size() > shape.headingLine)
        __builtin_trap();
    if ((shape.separator != ',' && shape.separator != ';' && shape.separator != '\t')
        || (shape.decimal != '.' && shape.decimal != ',') || (shape.separator == ',' && shape.decimal == ','))
        __builtin_trap();
    if (shape.time == TimeForm::None) {
        if (shape.timeColumn != -1 || shape.secondTimeColumn != -1)
            __builtin_trap();
    } else {
        if (shape.timeColumn < 0 || shape.timeColumn >= columns || shape.columns[shape.timeColumn] != ColumnKind::Time)
            __builtin_trap();
        const bool pair = shape.time == TimeForm::DateAndTime;
        if (pair != (shape.secondTimeColumn >= 0) || shape.secondTimeColumn >= columns
            || shape.secondTimeColumn == shape.timeColumn)
            __builtin_trap();
    }
    if (shape.linesUnder < 0 || shape.linesUnder > MostLinesUnder || shape.unitsLine < 0
        || shape.unitsLine > shape.linesUnder)
        __builtin_trap();
    if (shape.millisecondsColumn != -1
        && (shape.millisecondsColumn >= columns || shape.columns[shape.millisecondsColumn] != ColumnKind::Milliseconds))
        __builtin_trap();
    const std::optional<Shape> back = Shape::fromText(shape.toText());
    if (!back || back->toText() != shape.toText())
        __builtin_trap();
}

void readEveryWay(QByteArrayView cell)
{
    const QString text = QString::fromUtf8(cell);
    // Open reads as NotAsked does; None refuses as DateAndTime does.
    for (const TimeForm form : {TimeForm::DateAndTime, TimeForm::DateTime, TimeForm::DateOnly, TimeForm::UnixSeconds,
                                TimeForm::UnixMilliseconds, TimeForm::Years, TimeForm::ElapsedSeconds, TimeForm::ElapsedHours}) {
        for (const DateOrder order : {DateOrder::NotAsked, DateOrder::MonthFirst, DateOrder::DayFirst}) {
            for (const bool fromBytes : {true, false}) {
                try {
                    const double day = fromBytes ? readTime(cell, form, order) : readTime(QStringView(text), form, order);
                    // Elapsed time counts from 0 and may be negative; the rest are dates.
                    const bool elapsed = scaleOf(form) == TimeScale::Elapsed;
                    if (elapsed ? !(std::abs(day) < 4e6) : !(day >= oledate::MinValue && day < oledate::MaxValue + 1))
                        __builtin_trap();
                } catch (const RuntimeError &e) {
                    if (e.number() != RuntimeError::TypeMismatch)
                        __builtin_trap();
                }
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = size > 0 ? qsizetype(size_t(data[size - 1]) * size / 256) : 0;
    check(detect(bytes.first(split), bytes.sliced(split)));
    check(detect(bytes.first(split), bytes));
    check(detect(bytes, bytes)); // a tail within the head: the head alone

    qsizetype end = 0;
    while (end < bytes.size() && bytes[end] != ',' && bytes[end] != ';' && bytes[end] != '\t' && bytes[end] != '\n'
           && bytes[end] != '\r')
        ++end;
    readEveryWay(bytes.first(end));
    if (const std::optional<double> late = clockPastTheDay(QString::fromUtf8(bytes.first(end))))
        if (!(*late > 0 && *late <= 1))
            __builtin_trap();
    (void)misfit(bytes, detect(bytes, bytes));
    return 0;
}
