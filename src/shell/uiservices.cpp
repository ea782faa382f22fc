#include "uiservices.h"

#include "sharedstate.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPrinterInfo>
#include <QProcess>

#include <ctime>

namespace {

bool g_ended = false;
int g_exitCode = 0;

class QtUiServices final : public UiServices
{
public:
    MsgResult message(const QString &text, const QString &caption, MsgIcon icon, MsgButtons buttons) override
    {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(caption);
        box.setText(text);
        box.setIcon(toQtIcon(icon));
        box.setStandardButtons(toQtButtons(buttons));
        // A busy pointer must not hide the question the user has to answer.
        const bool busy = QApplication::overrideCursor() != nullptr;
        if (busy)
            QApplication::setOverrideCursor(Qt::ArrowCursor);
        const int pressed = box.exec();
        if (busy)
            QApplication::restoreOverrideCursor();
        switch (pressed) {
        case QMessageBox::Yes: return MsgResult::Yes;
        case QMessageBox::No: return MsgResult::No;
        case QMessageBox::Cancel: return MsgResult::Cancel;
        default: return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
        }
    }

    void setPointer(Pointer p) override
    {
        if (p == m_pointer)
            return;
        m_pointer = p;
        if (p == Pointer::Hourglass)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            while (QApplication::overrideCursor())
                QApplication::restoreOverrideCursor();
    }

    Pointer pointer() const override { return m_pointer; }

    void processEvents() override { QCoreApplication::processEvents(); }

    bool startProgram(const QString &path) override { return QProcess::startDetached(path, {}); }

    QStringList printerNames() override { return QPrinterInfo::availablePrinterNames(); }

    void endProgram(int exitCode) override
    {
        markProgramEnded(exitCode);
        QCoreApplication::exit(exitCode);
    }

private:
    static QMessageBox::Icon toQtIcon(MsgIcon icon)
    {
        switch (icon) {
        case MsgIcon::Critical: return QMessageBox::Critical;
        case MsgIcon::Question: return QMessageBox::Question;
        case MsgIcon::Exclamation: return QMessageBox::Warning;
        case MsgIcon::Information: return QMessageBox::Information;
        case MsgIcon::None: break;
        }
        return QMessageBox::NoIcon;
    }

    static QMessageBox::StandardButtons toQtButtons(MsgButtons buttons)
    {
        switch (buttons) {
        case MsgButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
        case MsgButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
        case MsgButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MsgButtons::Ok: break;
        }
        return QMessageBox::Ok;
    }

    Pointer m_pointer = Pointer::Default;
};

std::unique_ptr<UiServices> &uiSlot()
{
    static std::unique_ptr<UiServices> slot;
    return slot;
}

int g_yieldInterval = 15;
qint64 g_lastYieldMs = 0;

// A coarse clock: a few milliseconds of resolution for a few nanoseconds a call,
// cheap enough to ask once per plotted point.
qint64 coarseMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace

std::unique_ptr<UiServices> makeQtUiServices()
{
    return std::make_unique<QtUiServices>();
}

UiServices &ui()
{
    auto &slot = uiSlot();
    if (!slot)
        slot = makeQtUiServices();
    return *slot;
}

void installUi(std::unique_ptr<UiServices> services)
{
    uiSlot() = std::move(services);
}

bool programEnded() { return g_ended; }
int programExitCode() { return g_exitCode; }
void markProgramEnded(int exitCode)
{
    g_ended = true;
    g_exitCode = exitCode;
}
void resetProgramEnded()
{
    g_ended = false;
    g_exitCode = 0;
}

MsgResult msgBox(const QString &text, MsgIcon icon, MsgButtons buttons)
{
    return ui().message(text, appTitle(), icon, buttons);
}

void yieldNow()
{
    if (coarseMilliseconds() - g_lastYieldMs < g_yieldInterval)
        return;
    yieldAlways();
}

void yieldAlways()
{
    ui().processEvents();
    g_lastYieldMs = coarseMilliseconds();
}

void setYieldInterval(int milliseconds)
{
    g_yieldInterval = milliseconds;
}
