#pragma once

#include <QByteArrayView>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QStringView>

// Reads the date, time and value texts of a log by the user's regional settings,
// into the trend's time scale (days since 30 December 1899, the time of day as
// the fraction). Widget-free; one parser serves a whole plot run.
//
// Dates: the locale's short and long forms and the common logger forms M/D/YYYY,
// D.M.YYYY and YYYY-MM-DD. The order of a numeric day and month is one for a
// whole column: the caller decides it from the dates themselves (orderShownBy)
// and sets it; until then the locale's order is read, and a month above 12 is
// taken as the day. Two-digit years below 30 are 20xx.
// Times: h:mm, h:mm:ss and h:mm:ss.zzz, with or without AM/PM.
// Numbers: the plain decimal form the logger writes, or the locale's own form.
// Anything else throws RuntimeError 13 (Type mismatch).
class LogValueParser
{
public:
    explicit LogValueParser(const QLocale &locale = QLocale());

    // Which comes first in a date of numbers only, day or month. A date may
    // show it (a first number above 12 can only be a day, a second one too),
    // leave it open (both 12 or below), or not ask it (year first, a month name,
    // not a date).
    enum class DateOrder { NotAsked, Open, MonthFirst, DayFirst };
    DateOrder orderShownBy(QStringView date) const;
    // The order read where no date shows one: MonthFirst or DayFirst.
    DateOrder localeOrder() const;
    // Reads every numeric date in this order from now on, never the other way
    // round for a single date; NotAsked and Open return to the locale's order.
    void setDateOrder(DateOrder order);
    // The order set: MonthFirst or DayFirst; Open while none is.
    DateOrder dateOrder() const;

    // Whole days since 30 December 1899 (years 100 to 9999).
    double date(QStringView text) const;
    // The time of day as a fraction of a day, in [0, 1).
    double time(QStringView text) const;
    // The same for the bytes of a Latin-1 text.
    double time(QByteArrayView latin1) const;
    // Numbers written with a decimal comma (12,5), as a log separated by
    // semicolons or tabs may hold them; the plain form is read too.
    void setDecimalComma(bool on) { m_decimalComma = on; }
    // A finite real.
    double number(QStringView text) const;
    // The same for the bytes of a plain ASCII text.
    double number(QByteArrayView ascii) const;

private:
    enum class Order { MonthDayYear, DayMonthYear, YearMonthDay };

    int monthOfName(QStringView word) const;
    bool isDayName(QStringView word) const;
    int meridiemOf(QStringView word) const; // 0 am, 12 pm, -1 neither

    QLocale m_locale;
    QChar m_decimalPoint;
    Order m_order = Order::MonthDayYear;
    Order m_localeOrder = Order::MonthDayYear;
    bool m_orderFixed = false;
    bool m_decimalComma = false;
    QStringList m_monthNames[12];
    QStringList m_dayNames;
    QStringList m_am;
    QStringList m_pm;
};
