#include "support/scripteddialogs.h"
#include "support/scriptedui.h"
#include "support/testenv.h"
#include "support/testregistry.h"
#include "support/widgetdriver.h"

#include "controls/numericedit.h"
#include "controls/plotcontrol.h"
#include "core/runtimeerror.h"
#include "core/trenddata.h"
#include "shell/errorreport.h"
#include "shell/mainframe.h"
#include "shell/settingsstore.h"
#include "shell/sharedstate.h"
#include "trend/trendwindow.h"
#include "trendsetup/colorswatch.h"
#include "trendsetup/trendsetupdialog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolBar>

#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;

using DialogAction = std::function<void(TrendSetupDialog &)>;
Q_DECLARE_METATYPE(DialogAction)
Q_DECLARE_METATYPE(TimeScale)

namespace {

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

PlotControl &plot() { return frmHistoryPlot().trendPlot(); }

// The plot with `count` channels, channel i drawn `width(i)` wide.
void makeChannels(int count, const std::function<int(int)> &width)
{
    plot().RemoveAllChannels();
    for (int i = 0; i < count; ++i)
        plot().Channel(plot().AddChannel()).setTraceLineWidth(width(i));
}

// Runs the trend window's setup command; `act` gets the dialog while it is shown
// modally and should close it. A dialog left open is cancelled so the test ends.
void runSetup(const std::function<void(TrendSetupDialog &)> &act, bool *sawModal = nullptr)
{
    bool seen = false;
    WidgetDriver::whenModal([&](QWidget *w) {
        auto *dialog = qobject_cast<TrendSetupDialog *>(w);
        if (!dialog || !dialog->isVisible())
            return false;
        seen = true;
        if (sawModal)
            *sawModal = dialog->isModal() && dialog->parentWidget() == &mainFrame();
        QPointer<TrendSetupDialog> guard(dialog);
        act(*dialog);
        if (guard && guard->isVisible())
            guard->reject();
        return true;
    });
    frmHistoryPlot().setupHistTrend();
    flushDeletes();
    QVERIFY2(seen, "the setup dialog was not shown");
}

// Everything the dialog can write, as the plot holds it now.
QVariantList plotState()
{
    PlotControl &p = plot();
    QVariantList state{p.YAxis(0).Min(), p.YAxis(0).Span(),
                       p.XAxis(0).LabelsFontColor(), p.XAxis(0).ScaleLinesColor(),
                       p.XAxis(0).MinorCount(), p.XAxis(0).DateTimeFormat(),
                       p.YAxis(0).LabelsFontColor(), p.YAxis(0).ScaleLinesColor(),
                       p.Legend(0).FontColor(), p.YAxis(0).MinorCount(), p.BackGroundColor(),
                       p.XAxis(0).LabelsFormatStyle(), p.XAxis(0).TrackingStyle()};
    for (int i = 0; i < p.ChannelCount(); ++i)
        state << p.Channel(i).TraceLineWidth();
    return state;
}

// Types as a user does: into the focused field of the active dialog.
void typeInto(QWidget *edit, const QString &text)
{
    QApplication::setActiveWindow(edit->window());
    edit->setFocus();
    if (auto *spin = qobject_cast<QAbstractSpinBox *>(edit))
        spin->selectAll();
    else if (auto *line = qobject_cast<QLineEdit *>(edit))
        line->selectAll();
    QTest::keyClicks(edit, text);
}

QStringList labelTexts(const QWidget &parent)
{
    QStringList texts;
    for (const QLabel *label : parent.findChildren<QLabel *>())
        texts << label->text();
    return texts;
}

QString report(const QString &name, int number)
{
    return errorReportText(name, number, RuntimeError::standardDescription(number));
}

} // namespace

class TrendSetupDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        TestEnv::reset();
        shared().fileDialog = &mainFrame().cmdFile();
    }

    void framesRowsAndTextsOfTheForm()
    {
        TrendSetupDialog &d = TrendSetup();
        QCOMPARE(d.objectName(), u"TrendSetup"_s);
        QCOMPARE(d.windowTitle(), u"Trend Scaling Setup"_s);
        QStringList frames;
        for (const QGroupBox *box : d.findChildren<QGroupBox *>())
            frames << box->title();
        QCOMPARE(frames, QStringList({u"X Axis Setup"_s, u"Y Axis Setup"_s, u"Trend Pen Setup"_s}));

        const QStringList x = labelTexts(*d.findChildren<QGroupBox *>().at(0));
        const QStringList y = labelTexts(*d.findChildren<QGroupBox *>().at(1));
        const QStringList pens = labelTexts(*d.findChildren<QGroupBox *>().at(2));
        for (const QString &text : {u"Scale Color"_s, u"Scale Format"_s, u"Trend Days"_s, u"Trend Hours"_s,
                                    u"Trend Minutes"_s, u"Minor Ticks"_s})
            QVERIFY2(x.contains(text), qPrintable(text));
        for (const QString &text : {u"Scale Color"_s, u"Trend Zero"_s, u"Trend Span"_s, u"Minor Ticks"_s})
            QVERIFY2(y.contains(text), qPrintable(text));
        QCOMPARE(pens.count(u"Pen Assignment:"_s), 2);
        QCOMPARE(pens.count(u"Color:"_s), 2);
        QCOMPARE(pens.count(u"Width:"_s), 2);
        const QStringList numbers{u"1)"_s, u"2)"_s, u"3)"_s, u"4)"_s, u"5)"_s, u"6)"_s,
                                  u" 7)"_s, u" 8)"_s, u" 9)"_s, u"10)"_s, u"11)"_s, u"12)"_s};
        QStringList shown;
        for (const QString &text : pens)
            if (text.endsWith(u')'))
                shown << text;
        QCOMPARE(shown, numbers);
        QVERIFY(labelTexts(d).contains(u"Trend Background Color:"_s));
        QCOMPARE(d.cmdOK().text(), u"OK"_s);
        QCOMPARE(d.cmdCancel().text(), u"Cancel"_s);
    }

    void controlsCarryTheirNames()
    {
        TrendSetupDialog &d = TrendSetup();
        const QList<std::pair<QString, QWidget *>> named{
            {u"XcolorLabel"_s, &d.XcolorLabel()},         {u"YcolorLabel"_s, &d.YcolorLabel()},
            {u"BgColorLabel"_s, &d.BgColorLabel()},       {u"XscaleFormat"_s, &d.XscaleFormat()},
            {u"TrendDaysAnalog"_s, &d.TrendDaysAnalog()}, {u"TrendHoursAnalog"_s, &d.TrendHoursAnalog()},
            {u"TrendMinutesAnalog"_s, &d.TrendMinutesAnalog()}, {u"XminorTicks"_s, &d.XminorTicks()},
            {u"TrendZeroAnalog"_s, &d.TrendZeroAnalog()}, {u"TrendSpanAnalog"_s, &d.TrendSpanAnalog()},
            {u"YminorTicks"_s, &d.YminorTicks()},         {u"YscaleColor"_s, &d.YscaleColor()},
            {u"Xscalecolor"_s, &d.Xscalecolor()},         {u"PenAssign(0)"_s, &d.PenAssign(0)},
            {u"PenClr(11)"_s, &d.PenClr(11)},             {u"PenClrBtn(6)"_s, &d.PenClrBtn(6)},
            {u"PWidth(3)"_s, &d.PWidth(3)},
            {u"RightZeroAnalog"_s, &d.RightZeroAnalog()}, {u"RightSpanAnalog"_s, &d.RightSpanAnalog()},
        };
        for (const auto &[name, widget] : named)
            QCOMPARE(d.findChild<QWidget *>(name), widget);
        for (int i = 0; i < 12; ++i) {
            QCOMPARE(d.PenAssign(i).placeholderText(), u"Select Controller"_s);
            QCOMPARE(d.PenAssign(i).count(), 2);
            QCOMPARE(d.PenAssign(i).itemText(0), u"Left axis"_s);
            QCOMPARE(d.PenAssign(i).itemText(1), u"Right axis"_s);
            QCOMPARE(d.PenAssign(i).currentIndex(), -1);
            QCOMPARE(d.PenClrBtn(i).text(), u"..."_s);
        }
        QVERIFY_THROWS_EXCEPTION(RuntimeError, d.PWidth(12));
    }

    void aNewDialogHoldsTheRecordsValues()
    {
        TrendSetupDialog &d = TrendSetup();
        QCOMPARE(d.XscaleFormat().isEditable(), true);
        QStringList entries;
        for (int i = 0; i < d.XscaleFormat().count(); ++i)
            entries << d.XscaleFormat().itemText(i);
        QCOMPARE(entries, TrendSettings::xScaleFormats() << u"Automatic"_s);
        QCOMPARE(d.TrendMinutesAnalog().Value(), 1.0);
        QCOMPARE(d.XminorTicks().Value(), 1.0);
        QCOMPARE(d.XcolorLabel().BackColor(), OleColor(0x0000FF));
        QCOMPARE(d.BgColorLabel().BackColor(), OleColor(0x0000FF));
        QCOMPARE(d.PenClr(5).BackColor(), OleColor(0));
        QCOMPARE(d.PWidth(11).Value(), 1.0);
        QCOMPARE(d.XcolorLabel().palette().color(QPalette::Window), QColor(255, 0, 0));
    }

    void loadingTargetsTheTrendWindowsPlot()
    {
        QVERIFY(!loadedTrendWindow());
        TrendSetupDialog &d = TrendSetup();
        QVERIFY(loadedTrendWindow());
        QCOMPARE(d.histPlotobj.data(), &plot());
        QVERIFY(!d.isVisible());
        QCOMPARE(d.parentWidget(), &mainFrame());
    }

    void editsClampToTheirBounds_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("shown");
        QTest::newRow("zero below") << u"TrendZeroAnalog"_s << -2e15 << -1e15;
        QTest::newRow("zero above") << u"TrendZeroAnalog"_s << 2e15 << 1e15;
        QTest::newRow("zero takes a large value") << u"TrendZeroAnalog"_s << 1e6 << 1e6;
        QTest::newRow("span takes a large value") << u"TrendSpanAnalog"_s << 250000.0 << 250000.0;
        QTest::newRow("days") << u"TrendDaysAnalog"_s << 8.0 << 7.0;
        QTest::newRow("hours") << u"TrendHoursAnalog"_s << 24.0 << 23.0;
        QTest::newRow("minutes low") << u"TrendMinutesAnalog"_s << 0.0 << 1.0;
        QTest::newRow("minutes high") << u"TrendMinutesAnalog"_s << 60.0 << 59.0;
        QTest::newRow("X minor ticks") << u"XminorTicks"_s << 31.0 << 30.0;
        QTest::newRow("Y minor ticks") << u"YminorTicks"_s << 0.0 << 1.0;
        QTest::newRow("pen width low") << u"PWidth(0)"_s << 0.0 << 1.0;
        QTest::newRow("pen width high") << u"PWidth(11)"_s << 9.0 << 5.0;
    }

    void editsClampToTheirBounds()
    {
        QFETCH(QString, control);
        QFETCH(double, value);
        QFETCH(double, shown);
        auto *edit = TrendSetup().findChild<NumericEdit *>(control);
        QVERIFY(edit);
        edit->setValue(value);
        QCOMPARE(edit->Value(), shown);
    }

    void eachDotsButtonPicksItsOwnSwatch_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("swatch");
        QTest::newRow("X axis (named YscaleColor)") << u"YscaleColor"_s << u"XcolorLabel"_s;
        QTest::newRow("Y axis (named Xscalecolor)") << u"Xscalecolor"_s << u"YcolorLabel"_s;
        QTest::newRow("background") << u"BgColorButton"_s << u"BgColorLabel"_s;
        QTest::newRow("pen 1") << u"PenClrBtn(0)"_s << u"PenClr(0)"_s;
        QTest::newRow("pen 10") << u"PenClrBtn(9)"_s << u"PenClr(9)"_s;
    }

    void eachDotsButtonPicksItsOwnSwatch()
    {
        QFETCH(QString, button);
        QFETCH(QString, swatch);
        TrendSetupDialog &d = TrendSetup();
        auto *target = d.findChild<ColorSwatch *>(swatch);
        target->setBackColor(0x102030);
        QList<ColorSwatch *> others = d.findChildren<ColorSwatch *>();
        others.removeOne(target);
        QList<OleColor> before;
        for (const ColorSwatch *s : others)
            before << s->BackColor();
        shared().fileDialog->flags = 0;
        TestEnv::dialogs().colors << OleColor(0x00A0B0);

        d.findChild<QPushButton *>(button)->click();

        QCOMPARE(TestEnv::dialogs().colorRequests, QList<OleColor>{0x102030});
        QCOMPARE(shared().fileDialog->flags, 5);
        QCOMPARE(target->BackColor(), OleColor(0x00A0B0));
        QCOMPARE(target->palette().color(QPalette::Window), QColor(0xB0, 0xA0, 0x00));
        for (int i = 0; i < others.size(); ++i)
            QCOMPARE(others.at(i)->BackColor(), before.at(i));
    }

    void aCancelledColourPickerKeepsTheSwatch_data()
    {
        QTest::addColumn<bool>("cancelError");
        QTest::newRow("cancel is silent") << false;
        QTest::newRow("cancel raises 32755 (left set by a save)") << true;
    }

    void aCancelledColourPickerKeepsTheSwatch()
    {
        QFETCH(bool, cancelError);
        TrendSetupDialog &d = TrendSetup();
        d.YcolorLabel().setBackColor(0x445566);
        shared().fileDialog->cancelError = cancelError;
        shared().fileDialog->color = 0x999999;
        TestEnv::dialogs().colors << std::nullopt;

        d.Xscalecolor().click();

        QCOMPARE(TestEnv::dialogs().colorRequests.size(), 1);
        QCOMPARE(d.YcolorLabel().BackColor(), OleColor(0x445566));
        QVERIFY(TestEnv::ui().messages.isEmpty());
    }

    void zeroNotBelowSpanIsRefused_data()
    {
        QTest::addColumn<double>("zero");
        QTest::addColumn<double>("span");
        QTest::newRow("equal") << 40.0 << 40.0;
        QTest::newRow("zero above span") << 60.0 << 10.0;
        QTest::newRow("both zero") << 0.0 << 0.0;
    }

    void zeroNotBelowSpanIsRefused()
    {
        QFETCH(double, zero);
        QFETCH(double, span);
        const QVariantList before = plotState();
        TrendSetupDialog &d = TrendSetup();
        d.TrendZeroAnalog().setValue(zero);
        d.TrendSpanAnalog().setValue(span);

        d.cmdOKClick();
        flushDeletes();

        QCOMPARE(TestEnv::ui().messages.size(), 1);
        const RecordedMessage m = TestEnv::ui().messages.first();
        QCOMPARE(m.text, u"Trend Zero must be less than trend span time!"_s);
        QCOMPARE(m.caption, u"Trend Setup"_s);
        QCOMPARE(m.icon, MsgIcon::Information);
        QCOMPARE(m.buttons, MsgButtons::Ok);
        QCOMPARE(loadedTrendSetup(), &d);
        QCOMPARE(d.TrendZeroAnalog().Value(), zero);
        QCOMPARE(d.TrendSpanAnalog().Value(), span);
        QCOMPARE(plotState(), before);
    }

    void okWritesEverySettingIntoThePlot()
    {
        makeChannels(2, [](int) { return 1; });
        plot().XAxis(0).setLabelsFormatStyle(PlotAxis::FormatGeneral);
        plot().XAxis(0).setTrackingStyle(PlotAxis::ScalePage);
        TrendSetupDialog &d = TrendSetup();
        d.TrendZeroAnalog().setValue(0);
        d.TrendSpanAnalog().setValue(100);
        d.XcolorLabel().setBackColor(0x00FF00);
        d.YcolorLabel().setBackColor(0xFF0000);
        d.BgColorLabel().setBackColor(0x202020);
        d.XminorTicks().setValue(4);
        d.YminorTicks().setValue(7);
        d.XscaleFormat().setCurrentIndex(1);
        d.PWidth(0).setValue(3);
        d.PWidth(1).setValue(5);
        d.PenClr(0).setBackColor(0x00FFFF);
        d.PenAssign(1).setCurrentIndex(1);
        d.RightZeroAnalog().setValue(1000);
        d.RightSpanAnalog().setValue(1030);

        d.cmdOKClick();
        flushDeletes();

        PlotControl &p = plot();
        QCOMPARE(p.YAxis(0).Min(), 0.0);
        QCOMPARE(p.YAxis(0).Span(), 100.0);
        QCOMPARE(p.XAxis(0).LabelsFontColor(), OleColor(0x00FF00));
        QCOMPARE(p.XAxis(0).ScaleLinesColor(), OleColor(0x00FF00));
        QCOMPARE(p.XAxis(0).MinorCount(), 4);
        QCOMPARE(p.XAxis(0).DateTimeFormat(), u"hh:nn:ss.zzz"_s);
        QCOMPARE(p.YAxis(0).LabelsFontColor(), OleColor(0xFF0000));
        QCOMPARE(p.YAxis(0).ScaleLinesColor(), OleColor(0xFF0000));
        QCOMPARE(p.Legend(0).FontColor(), OleColor(0xFF0000));
        QCOMPARE(p.YAxis(0).MinorCount(), 7);
        QCOMPARE(p.BackGroundColor(), OleColor(0x202020));
        QCOMPARE(p.XAxis(0).LabelsFormatStyle(), int(PlotAxis::FormatDateTime));
        QCOMPARE(p.XAxis(0).TrackingStyle(), int(PlotAxis::ScaleMinMax));
        QCOMPARE(p.Channel(0).TraceLineWidth(), 3);
        QCOMPARE(p.Channel(1).TraceLineWidth(), 5);
        QCOMPARE(p.Channel(0).Color(), OleColor(0x00FFFF));
        QCOMPARE(p.Channel(0).YAxisIndex(), 0);
        QCOMPARE(p.Channel(1).YAxisIndex(), 1);
        QCOMPARE(p.YAxis(1).Min(), 1000.0);
        QCOMPARE(p.YAxis(1).Span(), 30.0);
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QVERIFY(!loadedTrendSetup());
    }

    void theScaleFormatIsForDatesOnly_data()
    {
        QTest::addColumn<TimeScale>("scale");
        QTest::addColumn<bool>("enabled"); // the Scale Format control
        QTest::addColumn<int>("style");    // the time labels after OK
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("kept"); // [TrendSetup] LabelFormat after OK
        QTest::newRow("calendar times") << TimeScale::Calendar << true << int(PlotAxis::FormatDateTime)
                                        << u"hh:nn:ss.zzz"_s << u"hh:nn:ss.zzz"_s;
        QTest::newRow("elapsed time") << TimeScale::Elapsed << false << int(PlotAxis::FormatDuration)
                                      << u"Automatic"_s << u"d mmm h:nn"_s;
        QTest::newRow("years") << TimeScale::Years << false << int(PlotAxis::FormatYears) << u"Automatic"_s
                               << u"d mmm h:nn"_s;
    }

    // Durations and years are labelled their own way: the setup of such a trend
    // offers no format, and its OK neither applies one nor keeps one.
    void theScaleFormatIsForDatesOnly()
    {
        QFETCH(TimeScale, scale);
        QFETCH(bool, enabled);
        QFETCH(int, style);
        QFETCH(QString, format);
        QFETCH(QString, kept);
        SettingsStore::writeText(SettingsSection::TrendSetup, u"LabelFormat"_s, u"d mmm h:nn"_s);
        auto data = std::make_shared<TrendData>();
        data->setTimeScale(scale);
        const int channel = data->addChannel(u"Temp"_s);
        for (int i = 0; i < 3; ++i)
            data->setValue(channel, data->appendRow(1000 + i), 10 + i);
        plot().setTrendData(data);
        plot().XAxis(0).setDateTimeFormat(u"Automatic"_s);

        bool shownEnabled = !enabled;
        runSetup([&](TrendSetupDialog &d) {
            shownEnabled = d.XscaleFormat().isEnabled();
            d.XscaleFormat().setCurrentIndex(1);
            d.cmdOKClick();
        });
        QCOMPARE(shownEnabled, enabled);
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QVERIFY(!loadedTrendSetup());
        QCOMPARE(plot().XAxis(0).LabelsFormatStyle(), style);
        QCOMPARE(plot().XAxis(0).DateTimeFormat(), format);
        QCOMPARE(SettingsStore::readText(SettingsSection::TrendSetup, u"LabelFormat"_s, QString()), kept);
    }

    void okWithoutAChangeKeepsBothAxes_data()
    {
        QTest::addColumn<double>("leftMin");
        QTest::addColumn<double>("leftSpan");
        QTest::addColumn<double>("rightMin");
        QTest::addColumn<double>("rightSpan");
        QTest::newRow("large values") << 1e6 << 3e5 << -2.5e7 << 1.25e8;
        QTest::newRow("pressure beside temperature") << -3.7 << 41.3 << 1017.3 << 0.7;
        QTest::newRow("more digits than shown") << 12.345678901 << 0.000123456 << 1016.987654321 << 1.23456789;
        QTest::newRow("tiny values") << 1e-7 << 3.3e-6 << -0.00042 << 0.0001;
    }

    // Filled from the plot and confirmed unchanged, the dialog moves no axis, not
    // even by a rounding step.
    void okWithoutAChangeKeepsBothAxes()
    {
        QFETCH(double, leftMin);
        QFETCH(double, leftSpan);
        QFETCH(double, rightMin);
        QFETCH(double, rightSpan);
        makeChannels(3, [](int) { return 1; });
        plot().Channel(2).setYAxisIndex(1);
        plot().YAxis(0).setMin(leftMin);
        plot().YAxis(0).setSpan(leftSpan);
        plot().YAxis(1).setMin(rightMin);
        plot().YAxis(1).setSpan(rightSpan);
        runSetup([](TrendSetupDialog &d) { d.cmdOK().click(); });
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QVERIFY(!loadedTrendSetup());
        // Exactly: QCOMPARE would forgive a last-digit change.
        const QList<double> ends{plot().YAxis(0).Min(), plot().YAxis(0).Span(), plot().YAxis(1).Min(),
                                 plot().YAxis(1).Span()};
        const QList<double> before{leftMin, leftSpan, rightMin, rightSpan};
        QVERIFY2(ends == before, qPrintable(QString::number(ends[0], 'g', 17) + u' ' + QString::number(ends[1], 'g', 17)
                                            + u' ' + QString::number(ends[2], 'g', 17) + u' '
                                            + QString::number(ends[3], 'g', 17)));
    }

    void aChannelMovedToTheOtherAxisIsFittedThere_data()
    {
        QTest::addColumn<QList<int>>("before"); // axes of temperature, wind, pressure
        QTest::addColumn<QList<int>>("after");
        QTest::addColumn<QList<double>>("ends"); // left min and max, right min and max
        QTest::newRow("pressure to the right") << QList<int>{0, 0, 0} << QList<int>{0, 0, 1}
                                               << QList<double>{-5, 30, 1010, 1022};
        QTest::newRow("wind to the right as well") << QList<int>{0, 0, 1} << QList<int>{0, 1, 1}
                                                   << QList<double>{-5, 30, 0, 1022};
        QTest::newRow("pressure back to the left") << QList<int>{0, 0, 1} << QList<int>{0, 0, 0}
                                                   << QList<double>{-5, 1022, 1010, 1022};
    }

    // With the axes' ends left as shown, OK fits each value axis to the channels
    // it now has.
    void aChannelMovedToTheOtherAxisIsFittedThere()
    {
        QFETCH(QList<int>, before);
        QFETCH(QList<int>, after);
        QFETCH(QList<double>, ends);
        makeChannels(3, [](int) { return 1; });
        const QList<QList<double>> values{{-5, 12, 30}, {0, 15, 7}, {1010, 1022, 1017}};
        for (int axis : {0, 1})
            plot().YAxis(axis).setTrackingEnabled(true);
        for (int ch = 0; ch < 3; ++ch) {
            plot().Channel(ch).setYAxisIndex(before[ch]);
            for (int row = 0; row < 3; ++row)
                plot().Channel(ch).AddXY(45000 + row, values[ch][row]);
        }
        runSetup([&](TrendSetupDialog &d) {
            for (int ch = 0; ch < 3; ++ch)
                d.PenAssign(ch).setCurrentIndex(after[ch]);
            d.cmdOK().click();
        });
        QVERIFY(TestEnv::ui().messages.isEmpty());
        for (int ch = 0; ch < 3; ++ch)
            QCOMPARE(plot().Channel(ch).YAxisIndex(), after[ch]);
        QCOMPARE((QList<double>{plot().YAxis(0).Min(), plot().YAxis(0).Max(), plot().YAxis(1).Min(),
                                plot().YAxis(1).Max()}),
                 ends);
    }

    void widthsOnlyForTheChannelsThereAre_data()
    {
        QTest::addColumn<int>("channels");
        QTest::newRow("no channel") << 0;
        QTest::newRow("3 channels") << 3;
        QTest::newRow("12 channels") << 12;
        QTest::newRow("15 channels") << 15;
        QTest::newRow("30 channels") << 30;
    }

    void widthsOnlyForTheChannelsThereAre()
    {
        QFETCH(int, channels);
        makeChannels(channels, [](int i) { return 2 + i % 3; });
        QList<bool> enabled;
        QList<bool> assignmentsAndColoursEnabled;
        QList<double> shown;
        bool spanEnabled = true;
        const int rows = std::max(12, channels);
        int shownRows = 0;
        runSetup([&](TrendSetupDialog &d) {
            spanEnabled = d.TrendDaysAnalog().isEnabled() || d.TrendHoursAnalog().isEnabled()
                          || d.TrendMinutesAnalog().isEnabled();
            shownRows = d.penRows();
            for (int i = 0; i < shownRows; ++i) {
                enabled << d.PWidth(i).isEnabled();
                shown << d.PWidth(i).Value();
                assignmentsAndColoursEnabled << (d.PenAssign(i).isEnabled() && d.PenClrBtn(i).isEnabled());
                // Every edit gets a new value; only enabled ones may reach the plot.
                d.PWidth(i).setValue(1 + (i + 3) % 5);
            }
            d.cmdOK().click();
        });
        QVERIFY(!spanEnabled);
        QCOMPARE(shownRows, rows);
        for (int i = 0; i < rows; ++i) {
            QCOMPARE(enabled.at(i), i < channels);
            QCOMPARE(assignmentsAndColoursEnabled.at(i), i < channels);
            if (i < channels)
                QCOMPARE(shown.at(i), double(2 + i % 3));
        }
        QCOMPARE(plot().ChannelCount(), channels);
        for (int i = 0; i < channels; ++i)
            QCOMPARE(plot().Channel(i).TraceLineWidth(), 1 + (i + 3) % 5);
        QVERIFY(TestEnv::ui().messages.isEmpty());
    }

    void everyChannelHasALabelledRow_data()
    {
        QTest::addColumn<int>("channels");
        QTest::newRow("3 channels") << 3;
        QTest::newRow("15 channels") << 15;
        QTest::newRow("30 channels") << 30;
    }

    // A row per channel, "N) HEADING", the first twelve in two columns of six in
    // view at once; the rows past them are reached by scrolling.
    void everyChannelHasALabelledRow()
    {
        QFETCH(int, channels);
        plot().RemoveAllChannels();
        for (int i = 0; i < channels; ++i)
            plot().Channel(plot().AddChannel()).setTitleText(u"Col %1"_s.arg(i * 7));
        QStringList labels;
        QList<QRect> places; // each row's number in the list, as laid out
        QRect view;          // the part of the list in view
        int scrollRange = -1;
        runSetup([&](TrendSetupDialog &d) {
            auto *list = d.findChild<QScrollArea *>(u"PenList"_s);
            const QList<QLabel *> shown = list->widget()->findChildren<QLabel *>();
            for (int i = 0; i < d.penRows(); ++i) {
                labels << d.penLabel(i);
                const auto number = std::find_if(shown.begin(), shown.end(),
                                                 [&](const QLabel *l) { return l->text() == labels.last(); });
                places << (number != shown.end() ? (*number)->geometry() : QRect());
            }
            view = QRect(QPoint(0, 0), list->viewport()->size());
            scrollRange = list->verticalScrollBar()->maximum();
        });
        QCOMPARE(labels.size(), std::max(12, channels));
        for (int i = 0; i < labels.size(); ++i) {
            const QString number = (i >= 6 && i < 9 ? u" "_s : QString()) + QString::number(i + 1) + u')';
            QCOMPARE(labels.at(i), i < channels ? number + u" Col "_s + QString::number(i * 7) : number);
        }
        // 1) to 6) down the left, 7) to 12) beside them, each pair on a line.
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(places.at(i + 6).top(), places.at(i).top());
            QVERIFY(places.at(i + 6).left() > places.at(i).right());
            if (i > 0)
                QVERIFY(places.at(i).top() > places.at(i - 1).bottom());
        }
        for (int i = 0; i < 12; ++i)
            QVERIFY2(view.contains(places.at(i)), qPrintable(QString::number(i + 1)));
        for (int i = 12; i < labels.size(); ++i)
            QVERIFY(places.at(i).top() > places.at(5).bottom());
        QCOMPARE(scrollRange > 0, channels > 12);
    }

    void aTypedFormatIsAppliedAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("not in the list") << u"yyyy-mm-dd hh:nn"_s;
        QTest::newRow("the start of a list entry") << u"hh:nn"_s;
        QTest::newRow("a list entry") << u"d mmm h:nn:ss am/pm"_s;
    }

    void aTypedFormatIsAppliedAsTyped()
    {
        QFETCH(QString, typed);
        runSetup([&](TrendSetupDialog &d) {
            typeInto(d.XscaleFormat().lineEdit(), typed);
            d.cmdOK().click();
        });
        QCOMPARE(plot().XAxis(0).DateTimeFormat(), typed);
    }

    void fillingShowsThePlotsSettings_data()
    {
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("span");
        QTest::addColumn<QString>("zeroText");
        QTest::addColumn<QString>("spanText");
        QTest::newRow("12.5 and 17.5") << 12.5 << 17.5 << u"12.5"_s << u"30.0"_s;
        QTest::newRow("design") << 0.0 << 100.0 << u"0.0"_s << u"100.0"_s;
        QTest::newRow("four decimals") << -3.25 << 0.0125 << u"-3.25"_s << u"-3.2375"_s;
        QTest::newRow("large span") << 5.0 << 50000.0 << u"5.0"_s << u"50005.0"_s;
    }

    void fillingShowsThePlotsSettings()
    {
        QFETCH(double, min);
        QFETCH(double, span);
        QFETCH(QString, zeroText);
        QFETCH(QString, spanText);
        PlotControl &p = plot();
        p.YAxis(0).setMin(min);
        p.YAxis(0).setSpan(span);
        p.XAxis(0).setLabelsFontColor(0x111111);
        p.XAxis(0).setScaleLinesColor(0x00C0C0);
        p.XAxis(0).setMinorCount(9);
        p.XAxis(0).setDateTimeFormat(u"d/m hh"_s);
        p.YAxis(0).setLabelsFontColor(0x222222);
        p.YAxis(0).setScaleLinesColor(0xC000C0);
        p.YAxis(0).setMinorCount(12);
        p.setBackGroundColor(0x303030);
        makeChannels(2, [](int) { return 1; });
        p.Channel(0).setColor(0x4080C0);
        p.Channel(1).setYAxisIndex(1);
        p.YAxis(1).setMin(1000);
        p.YAxis(1).setSpan(25);

        QStringList texts;
        TrendSettings s;
        runSetup([&](TrendSetupDialog &d) {
            texts << d.TrendZeroAnalog().text() << d.TrendSpanAnalog().text();
            s = d.settings();
            d.cmdCancel().click();
        });
        QCOMPARE(texts, QStringList({zeroText, spanText}));
        QCOMPARE(s.trendZero, min);
        QCOMPARE(s.trendSpan, min + span);
        QCOMPARE(s.xScaleColor, OleColor(0x00C0C0)); // the scale lines' colour wins
        QCOMPARE(s.xMinorTicks, 9);
        QCOMPARE(s.xScaleFormat, u"d/m hh"_s);
        QCOMPARE(s.yScaleColor, OleColor(0xC000C0));
        QCOMPARE(s.yMinorTicks, 12);
        QCOMPARE(s.backgroundColor, OleColor(0x303030));
        QCOMPARE(s.rightZero, 1000.0);
        QCOMPARE(s.rightSpan, 1025.0);
        QCOMPARE(s.pens[0].color, OleColor(0x4080C0));
        QCOMPARE(s.pens[1].color, PlotControl::defaultChannelColor(1));
        QCOMPARE(s.pens[0].assignment, qint16(0));
        QCOMPARE(s.pens[1].assignment, qint16(1));
        QVERIFY(TestEnv::ui().messages.isEmpty());
    }

    void rightZeroNotBelowRightSpanIsRefused_data()
    {
        QTest::addColumn<int>("pressureAxis");
        QTest::addColumn<bool>("refused");
        QTest::newRow("a channel on the right axis") << 1 << true;
        // Without a channel the right axis's ends do not matter.
        QTest::newRow("no channel on it") << 0 << false;
    }

    void rightZeroNotBelowRightSpanIsRefused()
    {
        QFETCH(int, pressureAxis);
        QFETCH(bool, refused);
        makeChannels(2, [](int) { return 1; });
        plot().Channel(1).setYAxisIndex(pressureAxis);
        QStringList texts;
        bool stayed = false;
        runSetup([&](TrendSetupDialog &d) {
            d.RightZeroAnalog().setValue(1020);
            d.RightSpanAnalog().setValue(1010);
            d.cmdOK().click();
            stayed = d.isVisible();
        });
        QCOMPARE(stayed, refused);
        QCOMPARE(TestEnv::ui().texts(),
                 refused ? QStringList{u"Right Axis Zero must be less than Right Axis Span!"_s} : QStringList{});
    }

    void aDiscardedDialogAppliesNothing_data()
    {
        QTest::addColumn<DialogAction>("discard");
        QTest::newRow("Cancel") << DialogAction([](TrendSetupDialog &d) { d.cmdCancel().click(); });
        QTest::newRow("Escape") << DialogAction([](TrendSetupDialog &d) { QTest::keyClick(&d, Qt::Key_Escape); });
        QTest::newRow("window closed") << DialogAction([](TrendSetupDialog &d) { d.close(); });
    }

    void aDiscardedDialogAppliesNothing()
    {
        QFETCH(DialogAction, discard);
        makeChannels(3, [](int) { return 2; });
        const QVariantList before = plotState();
        runSetup([&](TrendSetupDialog &d) {
            d.TrendZeroAnalog().setValue(-50);
            d.TrendSpanAnalog().setValue(500);
            d.XscaleFormat().setCurrentText(u"hh"_s);
            d.XminorTicks().setValue(20);
            d.YminorTicks().setValue(20);
            d.BgColorLabel().setBackColor(0x808080);
            d.XcolorLabel().setBackColor(0x808080);
            d.YcolorLabel().setBackColor(0x808080);
            d.PWidth(0).setValue(5);
            discard(d);
        });
        QVERIFY(!loadedTrendSetup());
        QCOMPARE(plotState(), before);

        // The next opening is a fresh dialog showing the plot, not the discarded edits.
        TrendSettings s;
        runSetup([&](TrendSetupDialog &d) {
            s = d.settings();
            d.cmdCancel().click();
        });
        QCOMPARE(s.trendZero, plot().YAxis(0).Min());
        QCOMPARE(s.trendSpan, plot().YAxis(0).Max());
        QCOMPARE(s.xScaleFormat, plot().XAxis(0).DateTimeFormat());
        QCOMPARE(s.xMinorTicks, plot().XAxis(0).MinorCount());
        QCOMPARE(s.backgroundColor, plot().BackGroundColor());
        QCOMPARE(s.pens[0].width, 2);
    }

    // The whole way a user goes: the toolbar button, typing, OK.
    void theToolbarButtonOpensTheDialogModallyAndOkApplies()
    {
        makeChannels(2, [](int) { return 1; });
        bool modal = false;
        int refusals = 0;
        bool stayedAfterRefusal = false;
        WidgetDriver::whenModal([&](QWidget *w) {
            auto *d = qobject_cast<TrendSetupDialog *>(w);
            if (!d || !d->isVisible())
                return false;
            modal = d->isModal() && d->parentWidget() == &mainFrame();
            typeInto(&d->TrendZeroAnalog(), u"50"_s);
            typeInto(&d->TrendSpanAnalog(), u"50"_s);
            d->cmdOK().click();
            refusals = int(TestEnv::ui().messages.size());
            stayedAfterRefusal = d->isVisible();
            typeInto(&d->TrendZeroAnalog(), u"5"_s);
            typeInto(&d->TrendSpanAnalog(), u"12.75"_s);
            typeInto(&d->PWidth(1), u"4"_s);
            typeInto(&d->YminorTicks(), u"0"_s); // below the bounds: the nearest, 1
            QTest::mouseClick(&d->cmdOK(), Qt::LeftButton);
            return true;
        });
        QAction *setup = frmHistoryPlot().Toolbar1().findChild<QAction *>(u"Trend Setup"_s);
        QVERIFY(setup);
        setup->trigger();
        flushDeletes();
        QVERIFY(modal);
        QCOMPARE(refusals, 1);
        QVERIFY(stayedAfterRefusal);
        QVERIFY(!loadedTrendSetup());
        QCOMPARE(plot().YAxis(0).Min(), 5.0);
        QCOMPARE(plot().YAxis(0).Span(), 7.75);
        QCOMPARE(plot().YAxis(0).MinorCount(), 1);
        QCOMPARE(plot().Channel(0).TraceLineWidth(), 1);
        QCOMPARE(plot().Channel(1).TraceLineWidth(), 4);
    }

    void applyingToAVanishedTrendReportsEachStep()
    {
        TrendSetupDialog &d = TrendSetup();
        d.TrendZeroAnalog().setValue(0);
        d.TrendSpanAnalog().setValue(10);
        delete loadedTrendWindow();
        QVERIFY(!d.histPlotobj);

        d.cmdOKClick();
        flushDeletes();

        // Thirteen settings, the channel count, the right axis's three and its
        // title, each reported on its own; the dialog still closes.
        QCOMPARE(TestEnv::ui().texts(), QStringList(18, report(u"TrendSetupHisotryOkBtn"_s, 91)));
        QVERIFY(!loadedTrendSetup());
    }

    void aFillingStepThatFailsIsReportedAndTheRestFilled()
    {
        // The upper end of this axis is beyond any number: the span field refuses it.
        plot().YAxis(0).setMin(1e308);
        plot().YAxis(0).setSpan(1e308);
        plot().XAxis(0).setMinorCount(6);
        makeChannels(1, [](int) { return 4; });
        TrendSettings s;
        runSetup([&](TrendSetupDialog &d) {
            s = d.settings();
            d.cmdCancel().click();
        });
        QCOMPARE(TestEnv::ui().texts(), QStringList{report(u"FrmHistoryTrendSetup"_s, 380)});
        QCOMPARE(s.trendZero, 1e15);
        QCOMPARE(s.trendSpan, 0.0);
        QCOMPARE(s.xMinorTicks, 6);
        QCOMPARE(s.pens[0].width, 4);
    }

    void appliedSettingsEndWithTheirTrendWindow()
    {
        TrendSetupDialog &d = TrendSetup();
        d.TrendZeroAnalog().setValue(1);
        d.TrendSpanAnalog().setValue(2);
        d.BgColorLabel().setBackColor(0x00FF00);
        d.cmdOKClick();
        flushDeletes();
        QCOMPARE(plot().BackGroundColor(), OleColor(0x00FF00));

        delete loadedTrendWindow();
        OleColor shown = 0xFFFFFFFF;
        runSetup([&](TrendSetupDialog &next) {
            shown = next.BgColorLabel().BackColor();
            next.cmdCancel().click();
        });
        QCOMPARE(shown, OleColor(0));
    }
};

VIEWER_TEST(TrendSetupDialogTest)
#include "tst_trendsetupdialog.moc"
