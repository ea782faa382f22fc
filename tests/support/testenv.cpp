#include "testenv.h"

#include "scripteddialogs.h"
#include "scriptedui.h"

#include "controls/commondialog.h"
#include "shell/settingsstore.h"
#include "shell/openlog.h"
#include "shell/sharedstate.h"
#include "shell/uiservices.h"
#include "shell/windowregistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <signal.h>

using namespace Qt::StringLiterals;

namespace {
QTemporaryDir *g_root = nullptr;
ScriptedUi *g_ui = nullptr;
ScriptedDialogs *g_dialogs = nullptr;

const QString rootPrefix = u"krn740-tests-"_s;

// The folders are named krn740-tests-PID-XXXXXX. One whose process has gone (a
// run killed by a signal leaves its folder) belongs to no one: remove it.
void removeAbandonedRoots()
{
    QDir temp(QDir::tempPath());
    const QStringList names = temp.entryList({rootPrefix + u'*'}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString &name : names) {
        const QString pidText = name.mid(rootPrefix.size()).section(u'-', 0, 0);
        bool ok = false;
        const qint64 pid = pidText.toLongLong(&ok);
        if (!ok || pid <= 0 || pid > INT_MAX)
            continue;
        if (::kill(pid_t(pid), 0) == 0 || errno != ESRCH)
            continue;
        QDir(temp.filePath(name)).removeRecursively();
    }
}

// Runs when the test program ends normally, whatever its tests' outcome.
void removeRoot()
{
    delete g_root;
    g_root = nullptr;
}
} // namespace

namespace TestEnv {

void initProcess()
{
    removeAbandonedRoots();
    g_root = new QTemporaryDir(QDir::tempPath() + u'/' + rootPrefix + QString::number(QCoreApplication::applicationPid()) + u"-XXXXXX"_s);
    std::atexit(removeRoot);
    const QByteArray root = g_root->path().toUtf8();
    QDir(g_root->path()).mkpath(u"config"_s);
    QDir(g_root->path()).mkpath(u"runtime"_s);
    QFile::setPermissions(g_root->path() + u"/runtime"_s, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_RUNTIME_DIR", root + "/runtime");
    qputenv("HOME", root);
}

void initApplication()
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, g_root->path() + u"/config"_s);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, g_root->path() + u"/config"_s);
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, g_root->path() + u"/system"_s);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    reset();
}

void reset()
{
    WindowRegistry::unloadAll();
    resetShared();
    resetLogDocument();
    resetProgramEnded();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    auto scriptedUi = std::make_unique<ScriptedUi>();
    g_ui = scriptedUi.get();
    installUi(std::move(scriptedUi));
    auto scriptedDialogs = std::make_unique<ScriptedDialogs>();
    g_dialogs = scriptedDialogs.get();
    CommonDialog::installBackend(std::move(scriptedDialogs));
    setYieldInterval(15);
    clearSettings();
}

ScriptedUi &ui() { return *g_ui; }
ScriptedDialogs &dialogs() { return *g_dialogs; }

QString settingsFile() { return SettingsStore::fileName(); }

void clearSettings()
{
    QFile::remove(settingsFile());
}

QString tempDir() { return g_root->path(); }

} // namespace TestEnv
