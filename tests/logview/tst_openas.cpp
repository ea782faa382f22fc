#include "support/logfixture.h"
#include "support/scripteddialogs.h"
#include "support/scriptedui.h"
#include "support/testenv.h"
#include "support/testregistry.h"
#include "support/widgetdriver.h"

#include "controls/gridcontrol.h"
#include "controls/plotcontrol.h"
#include "core/logdocument.h"
#include "logview/datafilewindow.h"
#include "shell/mainframe.h"
#include "shell/openlog.h"
#include "shell/settingsstore.h"
#include "trend/trendwindow.h"

#include <QComboBox>
#include <QDialog>
#include <QTableWidget>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Unix times under a heading that says nothing of time: detection finds none.
QByteArray elapsedLog(int rows)
{
    QByteArray log = "stamp,value\n";
    for (int r = 0; r < rows; ++r)
        log += QByteArray::number(1700000000 + 60 * r) + ',' + QByteArray::number(r * 1.5) + '\n';
    return log;
}

} // namespace

// File, Open As...: the user picks the time column where detection cannot, and
// the log plots; the choice is kept for the log's next opens.
class OpenAsTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void chosenTimeColumnPlots_data()
    {
        QTest::addColumn<QString>("pick");     // the time column's item; empty: Cancel
        QTest::addColumn<int>("timeColumns");  // of the open log afterwards
        QTest::addColumn<QString>("kept");     // Shape1 in [OpenAs]
        QTest::newRow("the elapsed column") << u"1: stamp"_s << 1
                                            << u"separator=comma decimal=point heading=0 time=unixseconds:0 order=notasked"_s;
        QTest::newRow("cancelled") << QString() << 0 << QString();
    }

    void chosenTimeColumnPlots()
    {
        QFETCH(QString, pick);
        QFETCH(int, timeColumns);
        QFETCH(QString, kept);
        const QString path = LogFixture::open(elapsedLog(30), u"elapsed.csv"_s);
        QCOMPARE(logDocument().timeColumns(), 0);
        // The plot refused, pointing to Open As.
        frmHistory().dataGrid()->setSelectionBlocks({GridBlock{1, -1, 1, -1}});
        frmHistory().plotSelection();
        QVERIFY(TestEnv::ui().texts().value(0).endsWith(u".\r\nChoose the time column with File > Open As..."_s));
        TestEnv::ui().messages.clear();

        int previewRows = -1;
        WidgetDriver::whenModal([&](QWidget *w) {
            auto *dialog = qobject_cast<QDialog *>(w);
            if (!dialog || dialog->objectName() != u"OpenAs"_s || !dialog->isVisible())
                return false;
            previewRows = dialog->findChild<QTableWidget *>(u"tblPreview"_s)->rowCount();
            if (pick.isEmpty()) {
                dialog->reject();
                return true;
            }
            auto *time = dialog->findChild<QComboBox *>(u"cboTime"_s);
            time->setCurrentIndex(time->findText(pick));
            dialog->accept();
            return true;
        });
        TestEnv::dialogs().files << FileChoice(path);
        mainFrame().runCommand(FrameCommand::OpenAs);

        QCOMPARE(previewRows, 20);
        QCOMPARE(logDocument().path(), path);
        QCOMPARE(logDocument().timeColumns(), timeColumns);
        QCOMPARE(SettingsStore::readText(u"OpenAs"_s, u"Shape1"_s, QString()), kept);
        if (timeColumns == 0)
            return;
        frmHistory().dataGrid()->setSelectionBlocks({GridBlock{1, -1, 1, -1}});
        frmHistory().plotSelection();
        QCOMPARE(TestEnv::ui().texts(), QStringList());
        QVERIFY(loadedTrendWindow() && loadedTrendWindow()->isVisible());
        QCOMPARE(loadedTrendWindow()->trendPlot().ChannelCount(), 1);
        // Kept for the run: the log opened again reads the same way.
        frmHistory().getHistFile(path);
        QCOMPARE(logDocument().timeColumns(), 1);
    }
};

VIEWER_TEST(OpenAsTest)
#include "tst_openas.moc"
