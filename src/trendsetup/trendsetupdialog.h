#pragma once

#include "trendsettings.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <optional>
#include <vector>

class ColorSwatch;
class NumericEdit;
class PlotControl;
class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QScrollArea;

// The modal dialog `TrendSetup` ("Trend Scaling Setup"): the trend settings of the
// open trend window, edited in three frames and a background row, applied to the
// plot by OK. Controls carry the dialog's names as their objectName; the pen rows
// are named with their index in brackets, "PenAssign(0)" to "PWidth(11)" and on.
// There are twelve pen rows, in two columns of six, or one for each channel of a
// larger trend, twelve after twelve in a list that scrolls.
// Every opening is a fresh dialog: any way of closing it destroys it, and only OK
// (after its check) writes to the plot.
class TrendSetupDialog : public QDialog
{
    Q_OBJECT

public:
    // The load handling: fills the controls with a new record's values and takes
    // the trend window's plot as the target (creating the trend window if needed).
    TrendSetupDialog();

    // Where a new dialog finds the trend window's plot. The trend window, which
    // lives above this folder, sets it.
    static void setTargetPlot(PlotControl *(*target)());
    ~TrendSetupDialog() override;

    // The plot that OK writes to; empty once the trend window has gone.
    QPointer<PlotControl> histPlotobj;

    ColorSwatch &XcolorLabel() const { return *m_xColor; }
    QComboBox &XscaleFormat() const { return *m_xFormat; }
    NumericEdit &TrendDaysAnalog() const { return *m_days; }
    NumericEdit &TrendHoursAnalog() const { return *m_hours; }
    NumericEdit &TrendMinutesAnalog() const { return *m_minutes; }
    NumericEdit &XminorTicks() const { return *m_xMinor; }
    ColorSwatch &YcolorLabel() const { return *m_yColor; }
    NumericEdit &TrendZeroAnalog() const { return *m_zero; }
    NumericEdit &TrendSpanAnalog() const { return *m_span; }
    // The bottom and top of the right value axis.
    NumericEdit &RightZeroAnalog() const { return *m_rightZero; }
    NumericEdit &RightSpanAnalog() const { return *m_rightSpan; }
    NumericEdit &YminorTicks() const { return *m_yMinor; }
    ColorSwatch &BgColorLabel() const { return *m_bgColor; }
    // The "..." buttons. The X axis's is named YscaleColor and the Y axis's
    // Xscalecolor, as the form has always had them; each edits its own frame's swatch.
    QPushButton &YscaleColor() const { return *m_xColorButton; }
    QPushButton &Xscalecolor() const { return *m_yColorButton; }
    QPushButton &BgColorButton() const { return *m_bgColorButton; }
    QPushButton &cmdOK() const { return *m_ok; }
    QPushButton &cmdCancel() const { return *m_cancel; }

    // Pen rows 0 to penRows() - 1; any other index throws RuntimeError 9.
    QComboBox &PenAssign(int index) const;
    ColorSwatch &PenClr(int index) const;
    QPushButton &PenClrBtn(int index) const;
    NumericEdit &PWidth(int index) const;
    int penRows() const { return int(m_pens.size()); }
    // A pen row for each heading (a channel's title), at least MinPenRows, row i
    // labelled "i+1) HEADING"; rows past the headings show their number alone.
    void setPenRows(const QStringList &headings);
    // The row's label as shown.
    QString penLabel(int index) const;

    // The record as the controls hold it now, and the controls set from a record.
    TrendSettings settings() const;
    void setSettings(const TrendSettings &settings);

    // Writes the settings into `histPlotobj` step by step (a failing step is
    // reported as "TrendSetupHisotryOkBtn" and the next one runs), keeps them for
    // the next trend of the same columns, then closes. An axis whose bottom and top
    // are still as first shown stays exactly as it is. Pen colours and axes apply
    // to the rows whose controls are enabled. The scale format applies to a time
    // axis of dates only: durations and years keep their own labels.
    void setupHistoryPlot();

    void cmdOKClick();
    void cmdCancelClick();
    // The colour picker of a "..." button: the shared common dialog, started from
    // the swatch's colour; a cancel keeps it.
    void pickColor(ColorSwatch &swatch);

protected:
    void showEvent(QShowEvent *event) override;

private:
    static PlotControl *(*&targetPlot())();
    struct PenRow
    {
        QLabel *number = nullptr;
        QComboBox *assign = nullptr;
        ColorSwatch *color = nullptr;
        QPushButton *colorButton = nullptr;
        NumericEdit *width = nullptr;
    };

    // True when a pen with a channel is put on the right axis.
    bool rightAxisUsed() const;
    QWidget *buildXFrame();
    QWidget *buildYFrame();
    QWidget *buildPenFrame();
    void addPenRow();
    // The pen list shows the first twelve rows whole and scrolls to the rest.
    void fitPenList();
    QPushButton *colorButton(const QString &name, ColorSwatch *swatch);
    const PenRow &pen(int index) const;
    PlotControl &plot() const;

    ColorSwatch *m_xColor = nullptr;
    QComboBox *m_xFormat = nullptr;
    NumericEdit *m_days = nullptr;
    NumericEdit *m_hours = nullptr;
    NumericEdit *m_minutes = nullptr;
    NumericEdit *m_xMinor = nullptr;
    ColorSwatch *m_yColor = nullptr;
    NumericEdit *m_zero = nullptr;
    NumericEdit *m_span = nullptr;
    NumericEdit *m_rightZero = nullptr;
    NumericEdit *m_rightSpan = nullptr;
    NumericEdit *m_yMinor = nullptr;
    ColorSwatch *m_bgColor = nullptr;
    QPushButton *m_xColorButton = nullptr;
    QPushButton *m_yColorButton = nullptr;
    QPushButton *m_bgColorButton = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
    QScrollArea *m_penScroll = nullptr;
    QWidget *m_penList = nullptr;
    QGridLayout *m_penGrid = nullptr;
    std::vector<PenRow> m_pens;
    // Left zero and top, right zero and top as first shown.
    std::optional<std::array<double, 4>> m_shownEnds;
};

// The setup dialog, created hidden (its load handling run) on first touch.
TrendSetupDialog &TrendSetup();
TrendSetupDialog *loadedTrendSetup();
