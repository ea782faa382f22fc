#pragma once

#include <QByteArray>
#include <QString>

// Logs for the tests: written into the test run's folder and opened through the
// data file window's Open command, as a user would open them.
namespace LogFixture {

// The path of the written log.
QString write(const QByteArray &bytes, const QString &name = QStringLiteral("run.csv"));
// Writes the log and opens it (starting the program first when needed).
QString open(const QByteArray &bytes, const QString &name = QStringLiteral("run.csv"));

// A log of `rows` samples one minute apart from 1/31/2024 11:00 PM, with the value
// columns named A, B, C ... holding row * 10 + column.
QByteArray minutes(int rows, int valueColumns);

} // namespace LogFixture
