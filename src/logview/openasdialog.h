#pragma once

#include "core/logshape.h"

#include <QByteArray>
#include <QDialog>

class QComboBox;
class QLabel;
class QSpinBox;
class QTableWidget;

// The modal dialog `OpenAs` ("Open As"): how a log is to be read. It shows the
// first rows of the log as the shape in hand splits them and lets the user
// pick the separator, the decimal mark, the heading line and the heading lines
// under it, the time column (with a time-of-day column beside a date column),
// how a time column of numbers is read, and the order of numeric dates, each
// preselected from what detection found. A pick is detected under: choosing the
// time column reads the form of its cells.
class OpenAsDialog : public QDialog
{
    Q_OBJECT

public:
    // `head` and `tail` are the log's first and last lines (LogDocument::sampleOf);
    // `shown` the shape to start from: the log's kept choice, else none (detected).
    OpenAsDialog(const QString &path, QByteArray head, QByteArray tail, const std::optional<logshape::Shape> &shown,
                 QWidget *parent = nullptr);

    // The shape the user chose: what the log is read in on OK.
    logshape::Shape choice() const;

    static constexpr int PreviewRows = 20;

private:
    // Detects again under `chosen` and shows the result.
    void redetect(const logshape::Shape &chosen);
    logshape::Shape fixedSoFar() const;
    void showShape(const logshape::Shape &shape);
    void separatorPicked();
    void headingPicked();
    void timePicked();
    void timeOfDayPicked();
    void linesUnderPicked();
    void readingPicked();

    QByteArray m_head;
    QByteArray m_tail;
    logshape::Shape m_shape;
    QComboBox *m_separator = nullptr;
    QComboBox *m_decimal = nullptr;
    QSpinBox *m_heading = nullptr;
    QSpinBox *m_linesUnder = nullptr;
    QComboBox *m_reading = nullptr;
    QComboBox *m_time = nullptr;
    QComboBox *m_timeOfDay = nullptr;
    QComboBox *m_order = nullptr;
    QLabel *m_note = nullptr;
    QTableWidget *m_preview = nullptr;
    bool m_showing = false;
};
