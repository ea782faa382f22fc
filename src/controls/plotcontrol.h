#pragma once

#include "core/olecolor.h"
#include "outputfile.h"

#include <QFont>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class PlotControl;
class PlotInteraction;
struct TrendPicture;
class TrendData;
struct PlotControlPrivate;
class QPrinter;

// Handles to the parts of a plot control, reached through PlotControl::XAxis(0),
// YAxis(0), Channel(i), Legend(0) and DataCursor(0). A handle is a small value that
// stays bound to its control; a channel handle whose channel has been removed throws
// RuntimeError 9 when used. An invalid value throws RuntimeError 380.

// The X axis (OLE dates in days) or the Y axis (values).
class PlotAxis
{
public:
    enum TrackingStyleCode {
        ScalePage = 0,   // data past the upper end moves the axis on by whole spans
        ScaleSmooth = 1, // data past the upper end scrolls the axis to end at it
        ScaleExpand = 2, // the axis grows to take in all the data, never shrinks
        ScaleMinMax = 3, // the axis is fitted to the data's smallest and largest value
    };
    enum LabelsFormatCode {
        FormatGeneral = 0,    // the plot's default number format
        FormatFixed = 1,      // two decimals
        FormatScientific = 2, // mantissa and power of ten
        FormatDateTime = 3,   // OLE dates in the DateTimeFormat notation
        // The time axis of an elapsed-time trend or a years trend, which a new
        // trend's data chooses (PlotControl::setTrendData); no DateTimeFormat applies.
        FormatDuration = 4, // days from 0 as durations, "H:MM:SS" (see duration.h)
        FormatYears = 5,    // OLE dates as their years, "yyyy" or "yyyy-mm" (see yearlabels.h)
    };

    // The axis runs from Min to Min + Span. Setting either redraws the plot at once.
    // With tracking on, points appended since the last fit are taken in when the
    // plot is next drawn or when Min, Span or Max is read, and an explicit set wins
    // over the fit that was pending. Span must be zero or positive.
    double Min() const;
    void setMin(double value);
    double Span() const;
    void setSpan(double value);
    double Max() const;

    bool TrackingEnabled() const;
    void setTrackingEnabled(bool enabled);
    int TrackingStyle() const;
    void setTrackingStyle(int style);
    // With automatic first-value alignment the first point of an empty plot becomes
    // the minimum (page, smooth and expand tracking; min-max fitting needs none).
    bool TrackingAlignFirst() const;
    void setTrackingAlignFirst(bool automatic);

    int LabelsFormatStyle() const;
    void setLabelsFormatStyle(int style);
    QString DateTimeFormat() const;
    void setDateTimeFormat(const QString &format);
    // True while the labels are durations or years (FormatDuration, FormatYears):
    // they follow the trend's time scale, not the date/time format.
    bool labelsFollowTimeScale() const;
    OleColor LabelsFontColor() const;
    void setLabelsFontColor(OleColor color);
    // Tick marks of the scale.
    OleColor ScaleLinesColor() const;
    void setScaleLinesColor(OleColor color);
    // Minor ticks between two major ticks, 0 to 100.
    int MinorCount() const;
    void setMinorCount(int count);

    QString TitleText() const;
    void setTitleText(const QString &text);
    OleColor TitleFontColor() const;
    void setTitleFontColor(OleColor color);
    QFont TitleFont() const;
    void setTitleFont(const QFont &font);
    bool AxisLineVisible() const;
    void setAxisLineVisible(bool visible);
    // Grid lines across the data view at the major and at the minor ticks.
    bool MajorGridLinesVisible() const;
    void setMajorGridLinesVisible(bool visible);
    bool MinorGridLinesVisible() const;
    void setMinorGridLinesVisible(bool visible);

    // A value axis fitted to the values of those of `channels` that are on it (the
    // channels shown, say); the axis stays as it is when they hold no value. On the
    // time axis throws RuntimeError 380, for a channel that does not exist 9.
    void fitToChannels(const QList<int> &channels);

    // The tick positions and labels as the plot draws them now (draws first).
    QList<double> tickPositions() const;
    QStringList tickLabels() const;

private:
    friend class PlotControl;
    PlotAxis(PlotControlPrivate *d, int which) : d(d), m_which(which) {}
    PlotControlPrivate *d;
    int m_which;
};

// One trace: a channel of the plot's trend data. Points are appended in any order;
// they are drawn in X order.
class PlotChannel
{
public:
    QString TitleText() const;
    void setTitleText(const QString &text);
    // The title with the unit of its values, as the legend shows it.
    QString ShownTitle() const;
    // The title, told apart from a column of the same heading (see channelname.h).
    QString Name() const;
    // Trace width in pixels, 1 to 20.
    int TraceLineWidth() const;
    void setTraceLineWidth(int width);
    OleColor Color() const;
    void setColor(OleColor color);
    // Drawn in dashes: the channels past the default colours repeat them so.
    bool Dashed() const;
    // The value axis the channel is drawn against: 0 the left (the default), 1 the
    // right. Each value axis fits the values of its own channels.
    int YAxisIndex() const;
    void setYAxisIndex(int index);

    // Appends one point; X must be finite, Y finite or NaN for a missing sample
    // (the trace is broken there). Cheap: the plot is redrawn at most a few times a
    // second while points arrive, and only when it is visible.
    void AddXY(double x, double y);
    // The channel's points with a value (missing samples not counted).
    int Count() const;
    // The value at `x`, interpolated linearly between the neighbouring points; NaN
    // outside the channel's X range and inside a gap.
    double valueAt(double x) const;

private:
    friend class PlotControl;
    PlotChannel(PlotControlPrivate *d, int index) : d(d), m_index(index) {}
    PlotControlPrivate *d;
    int m_index;
};

// The list of channels beside the data view: a column title, then each channel's
// trace colour and title.
class PlotLegend
{
public:
    bool Visible() const;
    void setVisible(bool visible);
    OleColor FontColor() const;
    void setFontColor(OleColor color);
    OleColor ColumnTitlesFontColor() const;
    void setColumnTitlesFontColor(OleColor color);
    bool ColumnTitlesBold() const;
    void setColumnTitlesBold(bool bold);

private:
    friend class PlotControl;
    explicit PlotLegend(PlotControlPrivate *d) : d(d) {}
    PlotControlPrivate *d;
};

// A vertical line that the user drags along the X axis; dragged or stepped, it
// stands on a logged sample. One readout box beside it lists the sample's date and
// time and every channel's value as logged; with the value hint on, each value is
// marked on its trace, in the channel's colour when UseChannelColor is on, else in
// the cursor's colour.
class PlotDataCursor
{
public:
    bool Visible() const;
    // Showing a cursor that lies outside the X axis puts it in the middle.
    void setVisible(bool visible);
    double Position() const;
    void setPosition(double x);
    OleColor Color() const;
    void setColor(OleColor color);
    bool UseChannelColor() const;
    void setUseChannelColor(bool on);
    bool HintVisible() const;
    void setHintVisible(bool visible);

    // What the cursor's readout shows for the sample nearest to it: its date and
    // time and each channel's value as logged (through the plot's sample text
    // source, else formatted from the value), "-" where the channel has none.
    QString timeText() const;
    QString valueText(int channel) const;
    // The sample the readout is of (an index into the trend data), -1 when none.
    qsizetype sample() const;
    // Puts the cursor on a sample of the trend data and shows it.
    void setSample(qsizetype index);

private:
    friend class PlotControl;
    explicit PlotDataCursor(PlotControlPrivate *d) : d(d) {}
    PlotControlPrivate *d;
};

// The trend's plot: channels of (X, Y) points over one X axis of OLE dates and a
// left and a right Y axis, a legend and a data cursor, on a dark background. The channels are those
// of its trend data, which a redraw reads through the data's min/max summaries, so
// that millions of points at any trace width redraw in about the time of the pixel
// columns. Every failing operation throws RuntimeError.
class PlotControl : public QWidget
{
    Q_OBJECT

public:
    explicit PlotControl(QWidget *parent = nullptr);
    ~PlotControl() override;

    // XAxis: index 0 only. YAxis: 0 the left value axis, 1 the right one, shown
    // while a channel is on it. Any other index throws RuntimeError 9.
    PlotAxis XAxis(int index);
    PlotAxis YAxis(int index);
    PlotLegend Legend(int index);
    PlotDataCursor DataCursor(int index);
    // 0 to ChannelCount() - 1.
    PlotChannel Channel(int index);

    // A new channel with the next index and the next default colour.
    int AddChannel();
    int ChannelCount() const;
    // Leaves no channels: the next AddChannel() gives channel 0.
    void RemoveAllChannels();
    // Empties every channel (channels and their settings stay) and forgets the data
    // range that tracking had fitted to.
    void ClearAllData();

    // The trend data drawn. Whoever fills it directly calls setTrendData() again,
    // which takes in its channels (default colours, width 1) and, with tracking on,
    // fits the axes to it as if its points had been appended. The X axis labels
    // what the data's times are: durations for elapsed time, years for years; a
    // calendar trend keeps the date/time style it has (and gets it back after
    // one of the others).
    std::shared_ptr<TrendData> trendData() const;
    void setTrendData(std::shared_ptr<TrendData> data);
    // The trend data gained rows (a followed log grew): the channels keep their
    // settings, the X axis shows [xMin, xMin + xSpan], each value axis is fitted
    // to its channels' data when `fitY` (and stays as set otherwise), and the
    // plot is drawn again once, soon.
    void trendDataGrew(double xMin, double xSpan, bool fitY);
    // What the plot shows, for the trend renderer to draw it without the
    // control: the axes as drawn now (pending fits applied), each channel's look
    // and the legend. The data cursor is not part of it.
    TrendPicture trendPicture() const;
    // How often a plot's legend has measured all its entries afresh, in this
    // process: adding, removing and drawing channels take a pass at most for each
    // drawing.
    static int legendLayoutPasses();

    OleColor BackGroundColor() const;
    void setBackGroundColor(OleColor color);
    // Margins of the printed page, inches on every side (0 to 3).
    double PrintMargin() const;
    void setPrintMargin(double inches);

    // Position and size in the parent, twips.
    double Left() const;
    void setLeft(double twipsValue);
    double Top() const;
    void setTop(double twipsValue);
    double Width() const;
    void setWidth(double twipsValue);
    double Height() const;
    void setHeight(double twipsValue);

    // Asks for a printer through the common dialog's print backend and prints the
    // plot on one page, fitted inside the margins. A cancel prints nothing; a
    // printer that cannot be started throws 482.
    void PrintPlot();
    // Writes the plot as a JPEG image of its current size. Quality 0 to 100;
    // progressive writes a progressive JPEG. An existing file is replaced only by
    // a complete image. Throws 52 (no name), 76 (no such folder), 70 (no permission),
    // 75 (cannot be written there), 61 (disk full) or 57 (write failed).
    void SaveJPEG(const QString &fileName, int quality, bool progressive);
    // Writes the plot as an image of `type`, `size` pixels (its current size when
    // empty): JPEG as SaveJPEG(name, 100, true), PNG, SVG, or PDF on one page of
    // exactly the plot's size. Throws as SaveJPEG.
    void SaveImage(const QString &fileName, outputfile::ImageType type, QSize size = QSize());
    // The printed page, drawn on `printer`: the plot fitted inside the margins.
    // Throws 482 when the printer cannot be started.
    void printTo(QPrinter &printer);
    // Shows the printed page in a preview, from which it can be printed.
    void PreviewPlot();
    // Writes the printed page as a PDF file. Throws as outputfile::printToPdf.
    void ExportPDF(const QString &fileName);

    // ---- exploring (plotinteraction.cpp)
    // The user drags to pan, wheels to zoom time about the pointer (Ctrl: values),
    // drags a box with the right button or Shift to zoom into it, double-clicks or
    // presses Home for the whole trend; focused, + and - zoom and the arrow keys
    // pan, or step the shown cursor. Every change of the view emits viewChanged().
    //
    // Time of the first and last sample; equal when there is at most one.
    double dataXMin() const;
    double dataXMax() const;
    // Sets the X axis to [min, min + span] in one redraw. The explorer's own
    // moves keep the view inside the trend; this sets what it is given.
    void setXView(double min, double span);
    void setYView(double min, double span);
    // The whole trend: X over every sample, each value axis fitted to its
    // visible channels.
    void showWholeTrend();
    // The smallest X span the user can zoom to: about ten samples.
    double minimumXSpan() const;
    // A hidden channel's trace is not drawn and its legend entry is greyed; a
    // click on the legend entry toggles it and refits the value axis.
    bool channelVisible(int channel) const;
    void setChannelVisible(int channel, bool visible);
    // Fits the value axis to these channels' values over the whole trend;
    // nothing when they have none.
    void fitValueAxis(const QList<int> &channels);
    // Where the cursor readout gets a logged cell's text: (grid column, grid row).
    using SampleText = std::function<QString(int column, int gridRow)>;
    void setSampleText(SampleText source);
    // A sample's date and time, and a channel's value at it ("-" in a gap), as
    // logged where the source gives them, else formatted from the trend data.
    // The time of an elapsed-time or years trend is always written as the X
    // axis's scale shows it (a duration; the year, with the month on a view of
    // under two years), never as the bare number logged.
    QString sampleTimeText(qsizetype sample) const;
    QString sampleValueText(int channel, qsizetype sample) const;

    // Redraws now, visible or not (the automatic redraws wait while it is hidden).
    void replot();
    // The default colour of channel `index`, chosen to read well on black: one of
    // DefaultColorCount, repeated from the start past the last, and then dashed.
    static constexpr int DefaultColorCount = 24;
    static OleColor defaultChannelColor(int index);
    static bool defaultChannelDashed(int index);

signals:
    // The X or Y axis range changed (by the user or the program).
    void viewChanged();
    // The trend data was replaced, emptied or gained rows; emitted at once, before
    // the plot is drawn with it.
    void dataChanged();
    // The cursor moved to another sample, or was shown or hidden.
    void cursorSampleChanged(qsizetype sample);
    void channelVisibilityChanged(int channel, bool visible);
    // A channel was given another colour (by the program or the trend setup).
    void channelColorChanged(int channel);

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void writeRaster(const QString &fileName, const char *format, int quality, bool progressive, QSize size);
    void writeVector(const QString &fileName, outputfile::ImageType type, QSize size);

    std::unique_ptr<PlotControlPrivate> d;
    PlotInteraction *m_interaction = nullptr;
};
