#include "openasdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;
using logshape::Shape;
using logshape::TimeForm;
using DateOrder = LogValueParser::DateOrder;

namespace {

constexpr char Separators[] = {',', ';', '\t'};
constexpr char Decimals[] = {'.', ','};
constexpr DateOrder Orders[] = {DateOrder::NotAsked, DateOrder::DayFirst, DateOrder::MonthFirst};
// How a time column of numbers may be read, in the order offered.
constexpr TimeForm Readings[] = {TimeForm::Years,          TimeForm::UnixSeconds,    TimeForm::UnixMilliseconds,
                                 TimeForm::ElapsedSeconds, TimeForm::ElapsedMinutes, TimeForm::ElapsedHours,
                                 TimeForm::ElapsedMilliseconds};

template<typename T, size_t N>
int indexOf(const T (&list)[N], T value)
{
    const auto at = std::find(std::begin(list), std::end(list), value);
    return at == std::end(list) ? 0 : int(at - std::begin(list));
}

QString formName(TimeForm form)
{
    switch (form) {
    case TimeForm::DateAndTime: return u"a date column and a time-of-day column"_s;
    case TimeForm::DateTime: return u"dates with times of day"_s;
    case TimeForm::DateOnly: return u"dates"_s;
    case TimeForm::UnixSeconds: return u"Unix times in seconds"_s;
    case TimeForm::UnixMilliseconds: return u"Unix times in milliseconds"_s;
    case TimeForm::Years: return u"years"_s;
    case TimeForm::ElapsedMilliseconds: return u"the time since the start in milliseconds"_s;
    case TimeForm::ElapsedSeconds: return u"the time since the start in seconds"_s;
    case TimeForm::ElapsedMinutes: return u"the time since the start in minutes"_s;
    case TimeForm::ElapsedHours: return u"the time since the start in hours"_s;
    case TimeForm::None: break;
    }
    return {};
}

} // namespace

OpenAsDialog::OpenAsDialog(const QString &path, QByteArray head, QByteArray tail, const std::optional<Shape> &shown,
                           QWidget *parent)
    : QDialog(parent), m_head(std::move(head)), m_tail(std::move(tail))
{
    setObjectName(u"OpenAs"_s);
    setWindowTitle(u"Open As - "_s + QFileInfo(path).fileName());

    m_separator = new QComboBox(this);
    m_separator->setObjectName(u"cboSeparator"_s);
    m_separator->addItems({u"Comma"_s, u"Semicolon"_s, u"Tab"_s});
    m_decimal = new QComboBox(this);
    m_decimal->setObjectName(u"cboDecimal"_s);
    m_decimal->addItems({u"Point (1.5)"_s, u"Comma (1,5)"_s});
    m_heading = new QSpinBox(this);
    m_heading->setObjectName(u"spnHeading"_s);
    m_heading->setRange(1, std::max<int>(1, int(m_head.count('\n')) + 1));
    m_linesUnder = new QSpinBox(this);
    m_linesUnder->setObjectName(u"spnLinesUnder"_s);
    m_linesUnder->setRange(0, logshape::MostLinesUnder);
    m_time = new QComboBox(this);
    m_time->setObjectName(u"cboTime"_s);
    m_reading = new QComboBox(this);
    m_reading->setObjectName(u"cboReading"_s);
    for (const TimeForm form : Readings) {
        QString name = formName(form);
        name.front() = name.front().toUpper();
        m_reading->addItem(name);
    }
    m_timeOfDay = new QComboBox(this);
    m_timeOfDay->setObjectName(u"cboTimeOfDay"_s);
    m_order = new QComboBox(this);
    m_order->setObjectName(u"cboOrder"_s);
    m_order->addItems({u"As detected"_s, u"Day first (31/01/2015)"_s, u"Month first (01/31/2015)"_s});
    m_note = new QLabel(this);
    m_note->setObjectName(u"lblNote"_s);
    m_note->setWordWrap(true);
    m_preview = new QTableWidget(this);
    m_preview->setObjectName(u"tblPreview"_s);
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->setSelectionMode(QAbstractItemView::NoSelection);

    auto *form = new QFormLayout;
    form->addRow(u"&Separator:"_s, m_separator);
    form->addRow(u"&Decimal mark:"_s, m_decimal);
    form->addRow(u"&Heading line (data follow it):"_s, m_heading);
    form->addRow(u"Heading lines &under it (units, notes):"_s, m_linesUnder);
    form->addRow(u"&Time column:"_s, m_time);
    form->addRow(u"Time of &day column:"_s, m_timeOfDay);
    form->addRow(u"Numbers &read as:"_s, m_reading);
    form->addRow(u"Date &order:"_s, m_order);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(u"buttons"_s);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_note);
    layout->addWidget(new QLabel(u"The first rows as they will be read:"_s, this));
    layout->addWidget(m_preview, 1);
    layout->addWidget(buttons);
    resize(720, 520);

    connect(m_separator, &QComboBox::currentIndexChanged, this, &OpenAsDialog::separatorPicked);
    connect(m_heading, &QSpinBox::valueChanged, this, &OpenAsDialog::headingPicked);
    connect(m_time, &QComboBox::currentIndexChanged, this, &OpenAsDialog::timePicked);
    connect(m_timeOfDay, &QComboBox::currentIndexChanged, this, &OpenAsDialog::timeOfDayPicked);
    connect(m_linesUnder, &QSpinBox::valueChanged, this, &OpenAsDialog::linesUnderPicked);
    connect(m_reading, &QComboBox::currentIndexChanged, this, &OpenAsDialog::readingPicked);
    connect(m_decimal, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (m_showing)
            return;
        // A comma between fields is no decimal mark.
        if (m_shape.separator == ',' && Decimals[index] == ',') {
            const QSignalBlocker quiet(m_decimal);
            m_decimal->setCurrentIndex(0);
            return;
        }
        m_shape.decimal = Decimals[index];
    });

    if (shown)
        m_order->setCurrentIndex(indexOf(Orders, shown->dateOrder));
    redetect(shown.value_or(logshape::openChoice()));
}

Shape OpenAsDialog::choice() const
{
    Shape chosen = m_shape;
    chosen.dateOrder = Orders[m_order->currentIndex()];
    return chosen;
}

// The separator, decimal mark and heading line as the user has them now.
Shape OpenAsDialog::fixedSoFar() const
{
    Shape chosen = logshape::openChoice();
    chosen.separator = m_shape.separator;
    chosen.decimal = m_shape.decimal;
    chosen.headingLine = m_shape.headingLine;
    chosen.chosenLinesUnder = m_shape.chosenLinesUnder;
    return chosen;
}

void OpenAsDialog::redetect(const Shape &chosen)
{
    m_shape = logshape::detect(m_head, m_tail, chosen);
    showShape(m_shape);
}

void OpenAsDialog::separatorPicked()
{
    if (m_showing)
        return;
    // Another separator splits other lines: the heading and the time are found again.
    Shape chosen = logshape::openChoice();
    chosen.separator = Separators[m_separator->currentIndex()];
    redetect(chosen);
}

void OpenAsDialog::headingPicked()
{
    if (m_showing)
        return;
    Shape chosen = fixedSoFar();
    chosen.headingLine = m_heading->value() - 1;
    redetect(chosen);
}

void OpenAsDialog::timePicked()
{
    if (m_showing)
        return;
    const int column = m_time->currentIndex() - 1; // item 0: none
    Shape chosen = fixedSoFar();
    if (column < 0) {
        chosen.time = TimeForm::None;
        m_shape = logshape::detect(m_head, m_tail, chosen);
        // No time: the log opens as it is, and a plot is refused.
        m_shape.time = TimeForm::None;
        m_shape.timeColumn = m_shape.secondTimeColumn = -1;
        showShape(m_shape);
        return;
    }
    chosen.timeColumn = column;
    redetect(chosen);
    if (m_shape.timeColumn != column)
        m_note->setText(u"Column %1 holds no dates or times that can be read."_s.arg(m_time->itemText(column + 1)));
}

void OpenAsDialog::timeOfDayPicked()
{
    if (m_showing)
        return;
    const int column = m_timeOfDay->currentIndex() - 1;
    Shape chosen = fixedSoFar();
    chosen.timeColumn = m_shape.timeColumn;
    if (column >= 0 && column != m_shape.timeColumn) {
        chosen.time = TimeForm::DateAndTime;
        chosen.secondTimeColumn = column;
    } else if (m_shape.time == TimeForm::DateAndTime) {
        // The date column alone: its dates, without a time of day.
        chosen.time = TimeForm::DateOnly;
    } else {
        chosen.time = m_shape.time;
    }
    redetect(chosen);
}

void OpenAsDialog::linesUnderPicked()
{
    if (m_showing)
        return;
    Shape chosen = fixedSoFar();
    chosen.chosenLinesUnder = m_linesUnder->value();
    redetect(chosen);
}

void OpenAsDialog::readingPicked()
{
    if (m_showing || !logshape::isNumericForm(m_shape.time))
        return;
    Shape chosen = fixedSoFar();
    chosen.timeColumn = m_shape.timeColumn;
    chosen.time = Readings[m_reading->currentIndex()];
    redetect(chosen);
}

void OpenAsDialog::showShape(const Shape &shape)
{
    m_showing = true;
    const QList<QStringList> rows = logshape::rowsOf(m_head, shape, PreviewRows + 1 + shape.linesUnder);
    const QStringList heading = rows.isEmpty() ? QStringList() : rows.front();
    m_separator->setCurrentIndex(indexOf(Separators, shape.separator));
    m_decimal->setCurrentIndex(indexOf(Decimals, shape.decimal));
    m_heading->setValue(shape.headingLine + 1);
    m_linesUnder->setValue(shape.linesUnder);
    const bool numeric = logshape::isNumericForm(shape.time);
    m_reading->setEnabled(numeric);
    if (numeric)
        m_reading->setCurrentIndex(indexOf(Readings, shape.time));
    m_time->clear();
    m_timeOfDay->clear();
    m_time->addItem(u"(none)"_s);
    m_timeOfDay->addItem(u"(none)"_s);
    for (int c = 0; c < heading.size(); ++c) {
        const QString name = u"%1: %2"_s.arg(c + 1).arg(heading[c]);
        m_time->addItem(name);
        m_timeOfDay->addItem(name);
    }
    m_time->setCurrentIndex(shape.timeColumn + 1);
    m_timeOfDay->setCurrentIndex(shape.time == TimeForm::DateAndTime ? shape.secondTimeColumn + 1 : 0);
    m_timeOfDay->setEnabled(shape.timeColumn >= 0);
    if (shape.time == TimeForm::None)
        m_note->setText(u"No time column was found: choose the column that holds the time."_s);
    else
        m_note->setText(u"The time is read as "_s + formName(shape.time) + u'.');

    // The heading lines under the heading show under each heading; the rows follow them.
    const int firstRow = 1 + int(std::min<qsizetype>(shape.linesUnder, std::max<qsizetype>(0, rows.size() - 1)));
    int columns = 0;
    for (const QStringList &row : rows)
        columns = std::max(columns, int(row.size()));
    m_preview->clear();
    m_preview->setColumnCount(columns);
    m_preview->setRowCount(std::max(0, int(rows.size()) - firstRow));
    for (int c = 0; c < columns; ++c) {
        const bool isTime = c == shape.timeColumn || (shape.time == TimeForm::DateAndTime && c == shape.secondTimeColumn);
        QStringList label{(c < heading.size() ? heading[c] : QString::number(c + 1)) + (isTime ? u" (time)"_s : QString())};
        for (int r = 1; r < firstRow; ++r)
            label << rows[r].value(c);
        auto *item = new QTableWidgetItem(label.join(u'\n'));
        item->setToolTip(label.join(u'\n'));
        m_preview->setHorizontalHeaderItem(c, item);
    }
    for (int r = firstRow; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c)
            m_preview->setItem(r - firstRow, c, new QTableWidgetItem(rows[r][c]));
    m_preview->resizeColumnsToContents();
    m_showing = false;
}
