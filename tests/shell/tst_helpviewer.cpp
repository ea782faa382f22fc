#include "support/startup.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "logview/datafilewindow.h"
#include "shell/helpviewer.h"
#include "shell/settingsstore.h"
#include "shell/mainframe.h"
#include "trend/trendwindow.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QToolBar>

using namespace Qt::StringLiterals;

namespace {
// A command as the help names it: without its '&', its shortcut after a tab, its
// outer blanks and a trailing "...".
QString commandName(QString text)
{
    text = text.section(u'\t', 0, 0).remove(u'&').simplified();
    if (text.endsWith(u"..."_s))
        text.chop(3);
    return text;
}

QString shippedHelp()
{
    QFile file(QStringLiteral(VIEWER_SOURCE_DIR "/resources/help.html"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
} // namespace

class HelpViewerTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void parsesHeadingsAndKeywords()
    {
        const QString html = u"<h1><a name=\"a\"></a>Intro &amp; more</h1><a name=\"kw:Zoom\"></a>"
                             "<h2>Plain <b>bold</b></h2><a name=\"kw:Axis\"></a><h3><a name=\"c\"></a>Deep</h3>"_s;
        const auto headings = HelpViewer::headingsOf(html);
        QCOMPARE(headings.size(), 3);
        QCOMPARE(headings.at(0).title, u"Intro & more"_s);
        QCOMPARE(headings.at(0).anchor, u"a"_s);
        QCOMPARE(headings.at(1).title, u"Plain bold"_s);
        QCOMPARE(headings.at(1).level, 2);
        QCOMPARE(headings.at(2).level, 3);
        const auto keywords = HelpViewer::keywordsOf(html);
        QCOMPARE(keywords.size(), 2);
        QCOMPARE(keywords.at(0).text, u"Axis"_s); // sorted
        QCOMPARE(keywords.at(1).anchor, u"kw:Zoom"_s);
    }

    // Headings and keywords are found in a few passes over the file, whatever it
    // leaves open: 20,000 unclosed headings must not cost 20,000 passes.
    void helpIsReadInLinearTime_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<int>("headings");
        const int n = 20000;
        QTest::newRow("unclosed headings") << u"<h1>x"_s.repeated(n) + u"<h2>End</h2>"_s << 1;
        QTest::newRow("every level unclosed") << u"<h1>a<h2>b<h3>c"_s.repeated(n) << 0;
        QTest::newRow("opening tags never ended") << u"<h1 "_s.repeated(n) << 0;
        QTest::newRow("a heading full of open tags") << u"<h1>"_s + u"<b"_s.repeated(n) + u"</h1>"_s << 1;
        QTest::newRow("anchors in unclosed headings") << u"<h3><a name=\"a\"></a>t"_s.repeated(n) << 0;
        QTest::newRow("anchors without a space") << u"<a"_s.repeated(n) + u" name=\"kw:x\""_s << 0;
    }

    void helpIsReadInLinearTime()
    {
        QFETCH(QString, html);
        QFETCH(int, headings);
        qsizetype scanned = 0;
        QCOMPARE(HelpViewer::headingsOf(html, &scanned).size(), headings);
        HelpViewer::keywordsOf(html, &scanned);
        QVERIFY2(scanned <= 8 * html.size(), qPrintable(u"%1 characters passed over in %2"_s.arg(scanned).arg(html.size())));
    }

    // However deeply a help file nests its tags, Help opens at once: a file that
    // nests far beyond any help is shown as its text.
    void deeplyNestedHelpIsShownAsText_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<bool>("asText");
        QTest::newRow("the shipped help") << shippedHelp() << false;
        QTest::newRow("20,000 unclosed headings") << u"<h1>x"_s.repeated(20000) << true;
        QTest::newRow("20,000 paragraphs left open") << u"<p>x"_s.repeated(20000) << false;
    }

    void deeplyNestedHelpIsShownAsText()
    {
        QFETCH(QString, html);
        QFETCH(bool, asText);
        const QString path = TestEnv::tempDir() + u"/help.html"_s;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(html.toUtf8());
        file.close();
        HelpViewer::winHelp(nullptr, path, HelpViewer::HelpContents);
        QVERIFY(HelpViewer::current());
        QCOMPARE(HelpViewer::current()->browser()->toPlainText().startsWith(html.left(8)), asText);
        HelpViewer::current()->close();
    }

    // Every menu command and toolbar button the program has, as the user reads it
    // (without its '&' and shortcut), is named in bold in the help. The names come
    // from the running program, so a command added later needs its help too.
    void shippedHelpNamesEveryCommand_data()
    {
        QTest::addColumn<QString>("name");
        TestEnv::reset();
        TestStartup::run();
        frmHistoryPlot(); // the trend window and its toolbar
        const auto add = [](const QString &where, const QAction *action) {
            // A numbered entry is a log or a window of the moment, not a command.
            static const QRegularExpression numbered(u"^&\\d+ "_s);
            if (action->isSeparator() || action->text().contains(numbered))
                return;
            const QString name = commandName(action->text());
            QTest::newRow(qPrintable(where + u": "_s + name)) << name;
        };
        for (const QAction *menu : mainFrame().menuBar()->actions()) {
            add(u"menu bar"_s, menu);
            // A submenu is named, not its entries (Open Recent's logs).
            for (const QAction *action : menu->menu()->actions())
                add(commandName(menu->text()), action);
        }
        const QList<QToolBar *> toolbars = mainFrame().findChildren<QToolBar *>();
        QVERIFY(toolbars.size() >= 2);
        for (const QToolBar *toolbar : toolbars) {
            QString window;
            for (const QWidget *w = toolbar; w && window.isEmpty(); w = w->parentWidget()) {
                if (qobject_cast<const QMdiSubWindow *>(w))
                    window = w->windowTitle();
            }
            for (const QAction *action : toolbar->actions())
                add(window, action);
        }
    }

    void shippedHelpNamesEveryCommand()
    {
        QFETCH(QString, name);
        static const QRegularExpression bold(u"<b>(.*?)</b>"_s, QRegularExpression::DotMatchesEverythingOption);
        QSet<QString> named;
        for (auto it = bold.globalMatch(shippedHelp()); it.hasNext();)
            named.insert(commandName(QTextDocumentFragment::fromHtml(it.next().captured(1)).toPlainText()));
        QVERIFY2(named.contains(name), qPrintable(name));
    }

    // The help says what the program does in the program's own words: every
    // section of the settings file the program writes, and the messages of the
    // Plot command's selection rule.
    void shippedHelpAgreesWithTheProgram_data()
    {
        QTest::addColumn<QString>("part");  // the help's section, by its anchor
        QTest::addColumn<QString>("words"); // as the help's text reads them
        for (const QString &section : SettingsSection::all())
            QTest::newRow(qPrintable(u"settings: "_s + section)) << u"settings"_s << u"section "_s + section;
        for (const QString &message : {DataFileWindow::onlyDataText(), DataFileWindow::tooFewText()})
            QTest::newRow(qPrintable(u"plot: "_s + message.left(12))) << u"select"_s << QString(message).replace(u"\r\n"_s, u" "_s);
    }

    void shippedHelpAgreesWithTheProgram()
    {
        QFETCH(QString, part);
        QFETCH(QString, words);
        const QString html = shippedHelp();
        const qsizetype from = html.indexOf(u"<a name=\""_s + part + u"\">"_s);
        QVERIFY(from >= 0);
        const qsizetype to = html.indexOf(QRegularExpression(u"<h[1-3]>"_s), from);
        const QString text = QTextDocumentFragment::fromHtml(html.mid(from, to - from)).toPlainText().simplified();
        QVERIFY2(text.contains(words), qPrintable(words));
    }

    void indexSearchNarrowsTheList()
    {
        HelpViewer::winHelp(nullptr, QStringLiteral(VIEWER_SOURCE_DIR "/resources/help.html"), HelpViewer::HelpPartialKey);
        HelpViewer *viewer = HelpViewer::current();
        QVERIFY(viewer);
        const int all = viewer->indexList()->count();
        viewer->findChild<QLineEdit *>()->setText(u"print"_s);
        QCOMPARE(viewer->indexList()->count(), 4); // Print grid, Print Preview, Print trend, Printing
        QVERIFY(viewer->indexList()->count() < all);
        viewer->close();
    }
};

VIEWER_TEST(HelpViewerTest)
#include "tst_helpviewer.moc"
