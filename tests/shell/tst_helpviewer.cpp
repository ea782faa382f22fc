#include "support/testenv.h"
#include "support/testregistry.h"

#include "shell/helpviewer.h"

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
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

    void shippedHelpCoversEveryCommand_data()
    {
        QTest::addColumn<QString>("keyword");
        for (const char *k : {"Open", "Plot", "Print grid", "Cancel Plot", "Selecting", "Trend Setup", "Data cursor",
                              "Jpeg", "Print trend", "Zoom", "Exit", "Date format", "Settings"})
            QTest::newRow(k) << QString::fromLatin1(k);
    }

    void shippedHelpCoversEveryCommand()
    {
        QFETCH(QString, keyword);
        const auto keywords = HelpViewer::keywordsOf(shippedHelp());
        const bool found = std::any_of(keywords.begin(), keywords.end(),
                                       [&](const HelpViewer::Keyword &k) { return k.text == keyword; });
        QVERIFY2(found, qPrintable(keyword));
    }

    void indexSearchNarrowsTheList()
    {
        HelpViewer::winHelp(nullptr, QStringLiteral(VIEWER_SOURCE_DIR "/resources/help.html"), HelpViewer::HelpPartialKey);
        HelpViewer *viewer = HelpViewer::current();
        QVERIFY(viewer);
        const int all = viewer->indexList()->count();
        viewer->findChild<QLineEdit *>()->setText(u"print"_s);
        QCOMPARE(viewer->indexList()->count(), 3); // Print grid, Print trend, Printing
        QVERIFY(viewer->indexList()->count() < all);
        viewer->close();
    }
};

VIEWER_TEST(HelpViewerTest)
#include "tst_helpviewer.moc"
