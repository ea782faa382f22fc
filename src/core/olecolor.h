#pragma once

#include <QColor>
#include <QtGlobal>

// Colours travel through the program as 24-bit values packed red-low (0x00BBGGRR),
// the form the settings and the setup dialog use.
using OleColor = quint32;

inline QColor toQColor(OleColor c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

inline OleColor fromQColor(const QColor &c)
{
    return OleColor(c.red()) | (OleColor(c.green()) << 8) | (OleColor(c.blue()) << 16);
}
