#pragma once

#include <QMessageBox>

#include <functional>

class QDialog;
class QString;

// Answers real modal dialogs through their widgets, the way a user would: the
// first modal dialog of the given type that appears is handed to `act`.
namespace WidgetDriver {

void whenModal(std::function<bool(QWidget *)> act, int timeoutMs = 10000);

// Presses `button` on the next message box, after handing it to `inspect`.
void answerMessageBox(QMessageBox::StandardButton button,
                      std::function<void(QMessageBox *)> inspect = {}, int timeoutMs = 10000);

// Answers the next print dialog (Qt's own) with its "Print to File (PDF)"
// entry and `file` as the file's name; `answered` is set once it was.
void printToFile(const QString &file, bool *answered = nullptr, int timeoutMs = 10000);

} // namespace WidgetDriver
