#include "support/logfixture.h"
#include "support/ordinaryuser.h"
#include "support/scriptedui.h"
#include "support/startup.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/gridcontrol.h"
#include "logview/datafilewindow.h"
#include "shell/mainframe.h"
#include "core/logdocument.h"
#include "shell/openlog.h"
#include "shell/settingsstore.h"
#include "shell/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using State = SingleInstance::State;

namespace {

// A later start's hand-over, on a thread of its own while this one's event loop
// lets the viewer answer.
QString handOverWhileRunning(const QString &lock, const QString &log, const QString &choice = {})
{
    std::atomic<bool> done = false;
    QString answer;
    std::thread later([&] {
        answer = SingleInstance::handOver(lock, log, choice);
        done = true;
    });
    (void)QTest::qWaitFor([&] { return done.load(); }, 60000); // the answer says if it ran out
    later.join();
    return answer;
}

// A client's end connected to `socket` by hand, as a program that is not the
// viewer could connect.
int connectTo(const QString &socket)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(socket);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The server closed the connection (end of file or reset) before the wait ran out.
bool closedByServer(int fd)
{
    return QTest::qWaitFor([fd] {
        char byte;
        const ssize_t got = ::recv(fd, &byte, 1, MSG_DONTWAIT);
        return got == 0 || (got < 0 && errno != EAGAIN);
    }, 10000);
}

QString socketOf(const QString &lock) { return lock.chopped(5) + u".socket"_s; }

} // namespace

class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    // Only a viewer that runs keeps a second one out. Whatever else stands in the
    // lock's place is no lock: it is replaced at once, and nothing waits on it.
    void lockTellsTheTruth_data()
    {
        QTest::addColumn<QString>("holder");
        QTest::addColumn<int>("expected");
        QTest::newRow("held by this viewer") << u"this viewer"_s << int(State::HeldByLiveCopy);
        QTest::newRow("held by another process") << u"other process"_s << int(State::HeldByLiveCopy);
        QTest::newRow("left by a crashed viewer") << u"crashed"_s << int(State::Acquired);
        QTest::newRow("free after the viewer ended") << u"ended"_s << int(State::Acquired);
        QTest::newRow("a FIFO") << u"fifo"_s << int(State::Acquired);
        QTest::newRow("a link to /dev/zero") << u"zero"_s << int(State::Acquired);
        QTest::newRow("a link to a file of this user's") << u"link"_s << int(State::Acquired);
        QTest::newRow("another user's file") << u"other user"_s << int(State::Acquired);
        QTest::newRow("a folder") << u"folder"_s << int(State::Unusable);
        QTest::newRow("its folder missing") << u"no folder"_s << int(State::Unusable);
    }

    void lockTellsTheTruth()
    {
        QFETCH(QString, holder);
        QFETCH(int, expected);
        QTemporaryDir dir(TestEnv::tempDir() + u"/lock-XXXXXX"_s);
        QString path = dir.path() + u"/viewer.lock"_s;
        const QByteArray name = QFile::encodeName(path);
        std::optional<SingleInstance> first;
        QProcess other;
        if (holder == u"this viewer"_s || holder == u"ended"_s) {
            first.emplace(path);
            QCOMPARE(first->acquire(), State::Acquired);
            if (holder == u"ended"_s)
                first.reset();
        } else if (holder == u"other process"_s) {
            other.start(u"flock"_s, {path, u"sleep"_s, u"30"_s});
            QVERIFY(other.waitForStarted());
            QVERIFY(QTest::qWaitFor([&] {
                const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
                const bool held = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
                ::close(fd); // a lock taken by this look ends with it
                return held;
            }, 10000));
        } else if (holder == u"crashed"_s) {
            QFile lock(path);
            QVERIFY(lock.open(QIODevice::WriteOnly));
            lock.write("12345\nkrn740-viewer\n");
        } else if (holder == u"fifo"_s) {
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        } else if (holder == u"zero"_s) {
            QVERIFY(QFile::link(u"/dev/zero"_s, path));
        } else if (holder == u"link"_s) {
            QVERIFY(QFile::link(LogFixture::write("Date,Time,A\r\n", u"linked.csv"_s), path));
        } else if (holder == u"other user"_s) {
            if (::geteuid() != 0)
                QSKIP("only root can leave a file of another user here");
            QFile lock(path);
            QVERIFY(lock.open(QIODevice::WriteOnly));
            QCOMPARE(::chown(name.constData(), 65534, 65534), 0);
        } else if (holder == u"folder"_s) {
            QVERIFY(QDir().mkdir(path));
        } else if (holder == u"no folder"_s) {
            path = dir.path() + u"/missing/viewer.lock"_s;
        }

        // On a thread, so that a lock that hangs fails the row instead of the run.
        auto next = std::make_shared<SingleInstance>(path);
        auto state = std::make_shared<std::atomic<int>>(-1);
        std::thread([next, state] { *state = int(next->acquire()); }).detach();
        const bool answered = QTest::qWaitFor([&] { return *state != -1; }, 10000);
        other.kill();
        other.waitForFinished();
        QVERIFY2(answered, "the start waits on the lock");
        QCOMPARE(state->load(), expected);
        if (expected == int(State::Unusable)) {
            QVERIFY(next->problem().contains(QDir::toNativeSeparators(path)));
        } else if (expected == int(State::Acquired)) {
            struct stat st = {};
            QCOMPARE(::lstat(name.constData(), &st), 0);
            QVERIFY(S_ISREG(st.st_mode));
            QCOMPARE(st.st_uid, ::geteuid());
        }
    }

    // The lock is never put where another user could write: the runtime folder
    // only when it is the user's own and closed to others, else a 0700 folder in
    // the user's cache folder.
    void lockFolderIsTheUsersOwn_data()
    {
        QTest::addColumn<QString>("runtime");
        QTest::addColumn<bool>("inRuntime");
        QTest::newRow("a private runtime folder") << u"private"_s << true;
        QTest::newRow("no runtime folder") << u"unset"_s << false;
        QTest::newRow("a runtime folder all can write to") << u"open"_s << false;
        QTest::newRow("a runtime folder that is a link") << u"link"_s << false;
        QTest::newRow("the cache folder made open before") << u"open cache"_s << false;
    }

    void lockFolderIsTheUsersOwn()
    {
        QFETCH(QString, runtime);
        QFETCH(bool, inRuntime);
        QTemporaryDir dir(TestEnv::tempDir() + u"/home-XXXXXX"_s);
        const QString run = dir.path() + u"/run"_s;
        const QString cache = dir.path() + u"/cache"_s;
        QVERIFY(QDir().mkpath(run));
        QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QString named = run;
        if (runtime == u"open"_s) {
            QCOMPARE(::chmod(QFile::encodeName(run).constData(), 0777), 0);
        } else if (runtime == u"link"_s) {
            named = dir.path() + u"/run-link"_s;
            QVERIFY(QFile::link(run, named));
        } else if (runtime == u"open cache"_s) {
            named.clear();
            QVERIFY(QDir().mkpath(cache + u"/krn740-viewer"_s));
            QCOMPARE(::chmod(QFile::encodeName(cache + u"/krn740-viewer"_s).constData(), 0777), 0);
        } else if (runtime == u"unset"_s) {
            named.clear();
        }
        const QByteArray before = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(named));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
        const QString lock = SingleInstance::defaultLockPath();
        qputenv("XDG_RUNTIME_DIR", before);
        qunsetenv("XDG_CACHE_HOME");

        const QString folder = inRuntime ? run : cache + u"/krn740-viewer"_s;
        QCOMPARE(lock, folder + u"/krn740-data-viewer.lock"_s);
        struct stat st = {};
        QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &st), 0);
        QVERIFY(S_ISDIR(st.st_mode));
        QCOMPARE(st.st_uid, ::geteuid());
        QCOMPARE(st.st_mode & 077, 0u);
    }

    // A later start learns whether the viewer opened its log, and why not; a log
    // that it cannot open leaves the viewer's log as it was.
    void handOverAnswers_data()
    {
        QTest::addColumn<QString>("named");
        QTest::addColumn<QString>("why");
        QTest::addColumn<QString>("choice"); // the shape the later start chose
        QTest::newRow("a log") << u"later.csv"_s << QString() << QString();
        QTest::newRow("a log with the shape chosen for it")
            << u"later.csv"_s << QString() << u"separator=semicolon decimal=comma heading=0 time=none order=dayfirst"_s;
        QTest::newRow("a missing path") << u"missing.csv"_s << u"it does not exist"_s << QString();
        QTest::newRow("a folder") << u"folder.csv"_s << u"it is not a regular file"_s << QString();
        QTest::newRow("a FIFO") << u"fifo.csv"_s << u"it is not a regular file"_s << QString();
        QTest::newRow("an empty file") << u"empty.csv"_s << u"it could not be loaded: the file is empty"_s << QString();
        QTest::newRow("a path relative to the later start's folder") << u"./later.csv"_s << QString() << QString();
        QTest::newRow("a heading line past the end") << u"later.csv"_s
                                                     << u"the reading options do not fit it: heading line 41 is past its last line (8)"_s
                                                     << u"separator=comma decimal=point heading=40 time=none order=notasked"_s;
        QTest::newRow("a time column past the last field")
            << u"later.csv"_s << u"the reading options do not fit it: time column 9 is past its last field (5)"_s
            << u"separator=comma decimal=point heading=0 time=datetime:8 order=notasked"_s;
        QTest::newRow("a choice that cannot be read")
            << u"later.csv"_s << u"the reading options handed over cannot be read: \"separator=pipe\""_s << u"separator=pipe"_s;
    }

    void handOverAnswers()
    {
        QFETCH(QString, named);
        QFETCH(QString, why);
        QFETCH(QString, choice);
        const QString earlier = LogFixture::open(LogFixture::minutes(5, 2), u"earlier.csv"_s);
        QCOMPARE(logDocument().path(), earlier);
        const bool relative = named.startsWith(u"./"_s);
        if (relative)
            named = named.mid(2);
        const QString full = TestEnv::tempDir() + u'/' + named;
        const QString path = relative ? QDir::current().relativeFilePath(full) : full;
        QFile::remove(full);
        QDir(full).removeRecursively();
        if (named == u"later.csv"_s)
            LogFixture::write(LogFixture::minutes(7, 3), named);
        else if (named == u"folder.csv"_s)
            QVERIFY(QDir().mkdir(path));
        else if (named == u"fifo.csv"_s)
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (named == u"empty.csv"_s)
            LogFixture::write({}, named);

        const QString lock = TestEnv::tempDir() + u"/handover.lock"_s;
        SingleInstance first(lock);
        QCOMPARE(first.acquire(), State::Acquired);
        QVERIFY(first.listen([](const QString &log, const QString &choice, SingleInstance::Reply reply) {
            mainFrame().receiveLog(log, std::move(reply), choice);
        }));
        const QString answer = handOverWhileRunning(lock, path, choice);
        QCOMPARE(OpenAsChoices::find(full).has_value(), why.isEmpty() && !choice.isEmpty());
        if (why.isEmpty()) {
            QCOMPARE(answer, QString());
            QCOMPARE(logDocument().path(), full);
            // Read as chosen: with semicolons the logger's lines are one field each.
            QCOMPARE(logDocument().shape().separator, choice.isEmpty() ? ',' : ';');
            QCOMPARE(OpenAsChoices::find(path).has_value(), !choice.isEmpty());
            return;
        }
        QCOMPARE(answer, u"the viewer that runs did not open %1: %2"_s.arg(path, why));
        QCOMPARE(logDocument().path(), earlier);
        QCOMPARE(frmHistory().dataGrid()->rowCount(), 5);
        QCOMPARE(frmHistory().statusPanelText(), u"Current File is "_s + earlier);
        QVERIFY(TestEnv::ui().messages.isEmpty());
    }

    // A path that is not absolute could be read from any folder: refused.
    void aRelativePathIsRefused()
    {
        QString answer = u"(none)"_s;
        mainFrame().receiveLog(u"later.csv"_s, [&answer](const QString &why) { answer = why; });
        QCOMPARE(answer, u"its path is not absolute"_s);
    }

    // The path of a log passes only between two programs of the same user: the
    // viewer hears no one else, and a later start tells no one else.
    void handOverOnlyWithinTheUser_data()
    {
        QTest::addColumn<bool>("otherViewer");
        QTest::newRow("a start of another user") << false;
        QTest::newRow("a viewer of another user") << true;
    }

    void handOverOnlyWithinTheUser()
    {
        QFETCH(bool, otherViewer);
        if (::geteuid() != 0)
            QSKIP("acting as another user needs root");
        QTemporaryDir dir; // reachable by the other user
        QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
        const QString lock = dir.path() + u"/viewer.lock"_s;
        SingleInstance first(lock);
        QCOMPARE(first.acquire(), State::Acquired);
        QStringList heard;
        auto receive = [&heard](const QString &log, const QString &, SingleInstance::Reply reply) {
            heard << log;
            reply({});
        };
        const QString log = TestEnv::tempDir() + u"/private.csv"_s;
        if (otherViewer) {
            {
                AsOrdinaryUser other;
                QVERIFY(first.listen(receive));
            }
            QVERIFY(handOverWhileRunning(lock, log).contains(u"belongs to another user"_s));
        } else {
            QVERIFY(first.listen(receive));
            // The folder and the socket's mode are the first defence; this is the second.
            QCOMPARE(::chmod(QFile::encodeName(socketOf(lock)).constData(), 0666), 0);
            int fd = -1;
            {
                AsOrdinaryUser other;
                fd = connectTo(socketOf(lock));
            }
            QVERIFY(fd >= 0);
            const QByteArray request = QFile::encodeName(log) + '\n';
            QCOMPARE(::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL), ssize_t(request.size()));
            QVERIFY(closedByServer(fd));
            ::close(fd);
        }
        QVERIFY(heard.isEmpty());
    }

    // A request too long, or one that never comes, costs the viewer a connection
    // for a while, never more.
    void endlessRequestsAreDropped_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::newRow("64 KB without a line end") << 64 * 1024 + 1;
        QTest::newRow("nothing said") << 0;
    }

    void endlessRequestsAreDropped()
    {
        QFETCH(int, bytes);
        const QString lock = TestEnv::tempDir() + u"/endless.lock"_s;
        SingleInstance first(lock);
        QCOMPARE(first.acquire(), State::Acquired);
        bool heard = false;
        QVERIFY(first.listen([&heard](const QString &, const QString &, SingleInstance::Reply) { heard = true; }));
        const int fd = connectTo(socketOf(lock));
        QVERIFY(fd >= 0);
        const QByteArray junk(bytes, 'a');
        QCOMPARE(::send(fd, junk.constData(), size_t(junk.size()), MSG_NOSIGNAL), ssize_t(junk.size()));
        QVERIFY(closedByServer(fd));
        ::close(fd);
        QVERIFY(!heard);
    }

    // accept() failing once (out of descriptors) must not end the hand-over for
    // the rest of the run.
    void serverListensAgainAfterAcceptFails()
    {
        const QString lock = TestEnv::tempDir() + u"/again.lock"_s;
        SingleInstance first(lock);
        QCOMPARE(first.acquire(), State::Acquired);
        QVERIFY(first.listen([](const QString &, const QString &, SingleInstance::Reply reply) { reply({}); }));
        const int waiting = connectTo(socketOf(lock));
        QVERIFY(waiting >= 0);
        rlimit limit = {};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &limit), 0);
        const int lowestFree = ::dup(0);
        ::close(lowestFree);
        rlimit none = limit;
        none.rlim_cur = rlim_t(lowestFree);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &none), 0);
        QTest::qWait(100); // the server tries to accept and cannot
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &limit), 0);
        ::close(waiting);
        QCOMPARE(handOverWhileRunning(lock, TestEnv::tempDir() + u"/any.csv"_s), QString());
    }
};

VIEWER_TEST(SingleInstanceTest)
#include "tst_singleinstance.moc"
