#include "aboutbox.h"

#include "sharedstate.h"
#include "steps.h"
#include "uiservices.h"
#include "windowregistry.h"

#include "controls/icons.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

WindowSlot<AboutBox> &slot()
{
    static WindowSlot<AboutBox> s;
    return s;
}

constexpr int KeyBufferBytes = 1024;

QFrame *separatorLine(const QString &name, const QColor &colour)
{
    auto *line = new QFrame;
    line->setObjectName(name);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette p = line->palette();
    p.setColor(QPalette::Window, colour);
    line->setPalette(p);
    return line;
}

} // namespace

AboutBox &frmAbout() { return slot().touch(); }
AboutBox *loadedAbout() { return slot().loaded(); }

void showAboutBox(QWidget *parent)
{
    steps::reporting(u"mnuHelpAbout"_s, {[parent] {
        AboutBox &box = frmAbout();
        box.setParent(parent, box.windowFlags());
        box.exec();
    }});
}

AboutBox::AboutBox()
{
    setObjectName(u"frmAbout"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"About KRN-740 Data Viewer"_s);
    setModal(true);

    auto *picture = new QLabel;
    picture->setObjectName(u"Picture1"_s);
    picture->setPixmap(drawnIcon(IconKind::App).pixmap(48, 48));
    picture->setAlignment(Qt::AlignTop);

    m_title = new QLabel;
    m_title->setObjectName(u"lblTitle"_s);
    QFont titleFont = m_title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    m_version = new QLabel;
    m_version->setObjectName(u"lblVersion"_s);
    auto *description = new QLabel(u"Views and plots the log files of the KRN-740 data logger."_s);
    description->setObjectName(u"lblDescription"_s);
    description->setWordWrap(true);

    auto *warning = new QLabel(u"Warning: this program and its documentation are protected by copyright. "
                               "Copying or distributing them, in whole or in part, without permission "
                               "is not allowed."_s);
    warning->setObjectName(u"lblDisclaimer"_s);
    warning->setWordWrap(true);

    auto *ok = new QPushButton(u"OK"_s);
    ok->setObjectName(u"cmdOK"_s);
    ok->setDefault(true);
    auto *sysInfo = new QPushButton(u"&System Info..."_s);
    sysInfo->setObjectName(u"cmdSysInfo"_s);
    connect(ok, &QPushButton::clicked, this, &AboutBox::cmdOKClick);
    connect(sysInfo, &QPushButton::clicked, this, &AboutBox::cmdSysInfoClick);

    auto *top = new QGridLayout;
    top->addWidget(picture, 0, 0, 3, 1);
    top->addWidget(m_title, 0, 1);
    top->addWidget(m_version, 1, 1);
    top->addWidget(description, 2, 1);
    top->setColumnStretch(1, 1);
    top->setHorizontalSpacing(16);

    auto *lines = new QVBoxLayout;
    lines->setSpacing(0);
    lines->addWidget(separatorLine(u"Line1"_s, QColor(128, 128, 128)));
    lines->addWidget(separatorLine(u"Line1_1"_s, Qt::white));

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(sysInfo);
    buttons->addStretch();
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(warning, 1);
    bottom->addSpacing(12);
    bottom->addLayout(buttons);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(lines);
    layout->addSpacing(4);
    layout->addLayout(bottom);
    setFixedWidth(440);

    // Load handler: no trap of its own; a failure reaches Help, About's report.
    m_version->setText(u"Version "_s + QString::number(AppMajor) + u'.' + QString::number(AppMinor) + u'.'
                       + QString::number(AppRevision));
    m_title->setText(appTitle());
}

void AboutBox::cmdOKClick()
{
    steps::ignoring({[&] { close(); }});
}

void AboutBox::cmdSysInfoClick()
{
    steps::ignore([] { StartSysInfo(); });
}

QString AboutBox::systemRegistryFile()
{
    return QSettings(QSettings::IniFormat, QSettings::SystemScope, appTitle()).fileName();
}

QStringList AboutBox::knownSystemInfoPrograms()
{
    return {u"hardinfo2"_s, u"hardinfo"_s, u"kinfocenter"_s, u"lshw-gtk"_s, u"gnome-system-monitor"_s};
}

bool AboutBox::GetKeyValue(quint32 KeyRoot, const QString &KeyName, const QString &SubKeyRef, QString &KeyVal)
{
    if (KeyRoot != HKeyLocalMachine) {
        KeyVal.clear();
        return false;
    }
    QSettings registry(QSettings::IniFormat, QSettings::SystemScope, appTitle());
    registry.beginGroup(QString(KeyName).replace(u'\\', u'/'));
    const QVariant value = registry.value(SubKeyRef);
    if (!value.isValid()) {
        KeyVal.clear();
        return false;
    }
    QByteArray data = value.toString().toLocal8Bit();
    // The value and its terminating zero must fit the buffer.
    if (data.size() + 1 > KeyBufferBytes) {
        KeyVal.clear();
        return false;
    }
    const qsizetype zero = data.indexOf('\0');
    if (zero >= 0)
        data.truncate(zero);
    KeyVal = QString::fromLocal8Bit(data);
    return true;
}

void AboutBox::StartSysInfo()
{
    const auto unavailable = [] { msgBox(u"System Information Is Unavailable At This Time"_s); };
    try {
        QString path;
        QString folder;
        if (GetKeyValue(HKeyLocalMachine, u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"_s, u"PATH"_s, path)) {
            // Started as named, without a check that it exists.
        } else if (GetKeyValue(HKeyLocalMachine, u"SOFTWARE\\Microsoft\\Shared Tools Location"_s, u"MSINFO"_s, folder)
                   && QFileInfo::exists(folder + QDir::separator() + u"MSINFO32.EXE"_s)) {
            path = folder + QDir::separator() + u"MSINFO32.EXE"_s;
        } else {
            for (const QString &program : knownSystemInfoPrograms()) {
                path = QStandardPaths::findExecutable(program);
                if (!path.isEmpty())
                    break;
            }
            if (path.isEmpty())
                return unavailable();
        }
        if (!ui().startProgram(path))
            unavailable();
    } catch (...) {
        unavailable();
    }
}
