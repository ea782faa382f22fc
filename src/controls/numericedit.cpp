#include "numericedit.h"

#include "core/runtimeerror.h"

#include <QLineEdit>

#include <algorithm>
#include <cmath>

NumericEdit::NumericEdit(double minimum, double maximum, int decimals, double step, QWidget *parent)
    : QDoubleSpinBox(parent)
{
    setDecimals(decimals);
    setRange(minimum, maximum);
    setSingleStep(step);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setAccelerated(true);
}

double NumericEdit::Value()
{
    // A value typed but not yet confirmed (the edit still has focus) counts.
    interpretText();
    const double now = value();
    return m_hasExact && now == m_shown ? m_exact : now;
}

void NumericEdit::setValue(double value)
{
    if (!std::isfinite(value))
        throw RuntimeError(RuntimeError::InvalidPropertyValue);
    const double clamped = std::clamp(value, minimum(), maximum());
    QDoubleSpinBox::setValue(clamped);
    m_exact = clamped;
    m_shown = QDoubleSpinBox::value();
    m_hasExact = true;
}

QString NumericEdit::textFromValue(double value) const
{
    QLocale numbers = locale();
    numbers.setNumberOptions(numbers.numberOptions() | QLocale::OmitGroupSeparator);
    QString text = numbers.toString(value, 'f', decimals());
    if (decimals() <= 1)
        return text;
    const QString point = numbers.decimalPoint();
    const qsizetype dot = text.indexOf(point);
    qsizetype keep = text.size();
    while (keep > dot + point.size() + 1 && text.at(keep - 1) == numbers.zeroDigit().at(0))
        --keep;
    text.truncate(keep);
    return text;
}
