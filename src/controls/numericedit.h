#pragma once

#include <QDoubleSpinBox>

// The analog numeric edit: a real value within fixed bounds, typed or stepped with
// the arrow keys. A value outside the bounds, set by the program or typed by the
// user, is clamped to the nearer bound. Reals show their decimals without trailing
// zeros but keep at least one (12.5, 30.0); whole-number edits show none. A value
// set by the program is given back exactly, more precise than it is shown, until
// the user changes it: filling an edit and reading it back moves nothing.
class NumericEdit : public QDoubleSpinBox
{
    Q_OBJECT

public:
    NumericEdit(double minimum, double maximum, int decimals, double step, QWidget *parent = nullptr);

    // The value, with text the user is still typing taken in first.
    double Value();
    // Clamps to the bounds; throws RuntimeError 380 for a value that is not a finite number.
    void setValue(double value);

    QString textFromValue(double value) const override;

private:
    double m_exact = 0;      // the value last set by the program
    double m_shown = 0;      // the same, as the edit rounds it
    bool m_hasExact = false;
};
