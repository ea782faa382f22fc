#include "support/scriptedui.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "core/runtimeerror.h"
#include "shell/errorreport.h"
#include "shell/sharedstate.h"
#include "shell/steps.h"

#include <QTest>

#include <stdexcept>

using namespace Qt::StringLiterals;

class ErrorReportTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void text_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("text");
        QTest::newRow("usual") << u"getHistFile"_s << 53 << u"File not found"_s
                               << u"Error 53 = File not found in function getHistFile occurred.\r\n"
                                  "Please contact Halvard with this error."_s;
        QTest::newRow("empty description gives two blanks")
            << u"splashScreenTimer1"_s << 13 << QString()
            << u"Error 13 =  in function splashScreenTimer1 occurred.\r\nPlease contact Halvard with this error."_s;
        QTest::newRow("negative number in full")
            << u"mnuFileExit"_s << -2147467259 << u"Automation error"_s
            << u"Error -2147467259 = Automation error in function mnuFileExit occurred.\r\n"
               "Please contact Halvard with this error."_s;
        QTest::newRow("no pending error") << u"getHistFile"_s << 0 << QString()
                                          << u"Error 0 =  in function getHistFile occurred.\r\n"
                                             "Please contact Halvard with this error."_s;
        QTest::newRow("name kept with its blanks")
            << u" Trend Setup "_s << 380 << u"Invalid property value"_s
            << u"Error 380 = Invalid property value in function  Trend Setup  occurred.\r\n"
               "Please contact Halvard with this error."_s;
    }

    void text()
    {
        QFETCH(QString, name);
        QFETCH(int, number);
        QFETCH(QString, description);
        QFETCH(QString, text);
        reportError(name, RuntimeError(number, description));
        QCOMPARE(TestEnv::ui().messages.size(), 1);
        const RecordedMessage m = TestEnv::ui().messages.constFirst();
        QCOMPARE(m.text, text);
        QCOMPARE(m.icon, MsgIcon::None);
        QCOMPARE(m.buttons, MsgButtons::Ok);
        QCOMPARE(m.caption, u"Quandel KRN-740 Data Viewer"_s);
    }

    void reportingGivesOneReportPerFailingStepInOrder()
    {
        QStringList ran;
        steps::reporting(u"FrmHistoryTrendSetup"_s, {
            [&] { ran << u"1"_s; throw RuntimeError(380); },
            [&] { ran << u"2"_s; },
            [&] { ran << u"3"_s; throw RuntimeError(13); },
            [&] { ran << u"4"_s; throw std::runtime_error("foreign"); },
            [&] { ran << u"5"_s; },
        });
        QCOMPARE(ran, (QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s}));
        const QStringList texts = TestEnv::ui().texts();
        QCOMPARE(texts.size(), 3);
        QVERIFY(texts.at(0).startsWith(u"Error 380 = Invalid property value in function FrmHistoryTrendSetup"_s));
        QVERIFY(texts.at(1).startsWith(u"Error 13 = Type mismatch in function FrmHistoryTrendSetup"_s));
        QVERIFY(texts.at(2).startsWith(u"Error 51 = foreign in function FrmHistoryTrendSetup"_s));
    }

    void ignoringSkipsSilently()
    {
        int last = 0;
        steps::ignoring({
            [&] { throw RuntimeError(5); },
            [&] { last = 2; },
            [&] { throw std::bad_alloc(); },
            [&] { last = 4; },
        });
        QCOMPARE(last, 4);
        QVERIFY(TestEnv::ui().messages.isEmpty());
    }
};

VIEWER_TEST(ErrorReportTest)
#include "tst_errorreport.moc"
