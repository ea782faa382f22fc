#include "widgetdriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPrintDialog>
#include <QTimer>

#include <memory>

namespace WidgetDriver {

void whenModal(std::function<bool(QWidget *)> act, int timeoutMs)
{
    auto timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, act = std::move(act), timeoutMs] {
        QWidget *modal = QApplication::activeModalWidget();
        if ((modal && act(modal)) || clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

void answerMessageBox(QMessageBox::StandardButton button, std::function<void(QMessageBox *)> inspect, int timeoutMs)
{
    whenModal(
        [button, inspect = std::move(inspect)](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            if (!box || !box->isVisible())
                return false;
            if (inspect)
                inspect(box);
            if (QAbstractButton *b = box->button(button))
                b->click();
            else
                box->reject();
            return true;
        },
        timeoutMs);
}

void printToFile(const QString &file, bool *answered, int timeoutMs)
{
    whenModal(
        [file, answered](QWidget *w) {
            auto *dialog = qobject_cast<QPrintDialog *>(w);
            auto *printers = dialog ? dialog->findChild<QComboBox *>(QStringLiteral("printers")) : nullptr;
            auto *name = dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("filename")) : nullptr;
            if (!printers || !name || !dialog->isVisible())
                return false;
            printers->setCurrentIndex(printers->count() - 1); // the file entry comes last
            name->setText(file);
            if (answered)
                *answered = true;
            dialog->accept();
            return true;
        },
        timeoutMs);
}

} // namespace WidgetDriver
