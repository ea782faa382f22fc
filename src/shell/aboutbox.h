#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The about box `frmAbout`: title, version, a warning text and a button that starts
// the system-information program. Modal; every opening is a fresh dialog.
class AboutBox : public QDialog
{
    Q_OBJECT

public:
    static constexpr int AppMajor = 1;
    static constexpr int AppMinor = 0;
    static constexpr int AppRevision = 0;

    // Registry roots that the look-up understands; only the machine-wide one is kept.
    static constexpr quint32 HKeyLocalMachine = 0x80000002;

    AboutBox();

    // Finds the system-information program and starts it, or says that it can't.
    static void StartSysInfo();

    // Reads value `SubKeyRef` of key `KeyName` under `KeyRoot` from the machine-wide
    // settings file that stands in for the registry. False (and `KeyVal` empty) when
    // the key or value is missing or the value does not fit the 1024-byte buffer.
    static bool GetKeyValue(quint32 KeyRoot, const QString &KeyName, const QString &SubKeyRef, QString &KeyVal);

    // The machine-wide settings file (system scope) holding the registry keys.
    static QString systemRegistryFile();
    // Programs searched on PATH when neither key names the tool.
    static QStringList knownSystemInfoPrograms();

    void cmdOKClick();
    void cmdSysInfoClick();

private:
    QLabel *m_title = nullptr;
    QLabel *m_version = nullptr;
};

// The about box, created on first touch.
AboutBox &frmAbout();
AboutBox *loadedAbout();
// Help, About: shows the about box modally over `parent`.
void showAboutBox(QWidget *parent);
