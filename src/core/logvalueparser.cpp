#include "logvalueparser.h"

#include "core/runtimeerror.h"

#include <QDate>

#include <charconv>
#include <cstring>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

[[noreturn]] void mismatch()
{
    throw RuntimeError(RuntimeError::TypeMismatch);
}

struct Token
{
    enum Kind { Number, Word } kind;
    QStringView text;
};

// Splits a text into runs of digits and runs of letters; everything else separates.
template<int N>
int tokenize(QStringView text, Token (&tokens)[N])
{
    int count = 0;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const QChar c = text[i];
        if (c.isDigit() || c.isLetter()) {
            const bool digits = c.isDigit();
            qsizetype j = i + 1;
            while (j < n && (digits ? text[j].isDigit() : text[j].isLetter()))
                ++j;
            if (count == N)
                mismatch();
            tokens[count++] = {digits ? Token::Number : Token::Word, text.mid(i, j - i)};
            i = j;
        } else if (c.isSpace() || c == u'/' || c == u'-' || c == u'.' || c == u',' || c == u':') {
            ++i;
        } else {
            mismatch();
        }
    }
    return count;
}

// The value of a digit, the common ASCII ones without a library call.
inline int digitOf(QChar c)
{
    return c.unicode() < 128 ? c.unicode() - u'0' : c.digitValue();
}

int toInt(QStringView digits)
{
    if (digits.size() > 9)
        mismatch();
    int value = 0;
    for (QChar c : digits)
        value = value * 10 + digitOf(c);
    return value;
}

int fullYear(QStringView digits)
{
    const int y = toInt(digits);
    if (digits.size() <= 2)
        return y < 30 ? 2000 + y : 1900 + y;
    return y;
}

QString folded(QStringView s)
{
    return s.toString().toCaseFolded();
}

// The time of day of hour, minute and second (`meridiem`: 0 AM, 12 PM, -1 a
// 24-hour clock) as a fraction of a day; throws for a part out of range.
double dayFraction(const int (&parts)[3], double fraction, int meridiem)
{
    int hour = parts[0];
    const int minute = parts[1];
    const int second = parts[2];
    if (minute > 59 || second > 59)
        mismatch();
    if (meridiem >= 0) {
        if (hour < 1 || hour > 12)
            mismatch();
        hour = hour % 12 + meridiem;
    } else if (hour > 23) {
        mismatch();
    }
    return (hour * 3600.0 + minute * 60.0 + second + fraction) / 86400.0;
}

} // namespace

LogValueParser::LogValueParser(const QLocale &locale)
    : m_locale(locale)
{
    // Asked of every time with seconds: the locale's answer is looked up once.
    const QString point = locale.decimalPoint();
    m_decimalPoint = point.isEmpty() ? u'.' : point.front();
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    const qsizetype d = format.indexOf(u'd');
    const qsizetype m = format.indexOf(u'M');
    const qsizetype y = format.indexOf(u'y');
    // The C locale (no regional settings at all) writes numeric dates month first,
    // as the logger does.
    if (locale.language() == QLocale::C)
        m_order = Order::MonthDayYear;
    else if (y >= 0 && y < m && y < d)
        m_order = Order::YearMonthDay;
    else if (d >= 0 && d < m)
        m_order = Order::DayMonthYear;
    else
        m_order = Order::MonthDayYear;
    m_localeOrder = m_order;

    const QLocale english(QLocale::English, QLocale::UnitedStates);
    for (const QLocale &l : {locale, english}) {
        for (int month = 1; month <= 12; ++month) {
            m_monthNames[month - 1] << folded(l.monthName(month, QLocale::LongFormat))
                                    << folded(l.monthName(month, QLocale::ShortFormat))
                                    << folded(l.standaloneMonthName(month, QLocale::LongFormat))
                                    << folded(l.standaloneMonthName(month, QLocale::ShortFormat));
        }
        for (int day = 1; day <= 7; ++day)
            m_dayNames << folded(l.dayName(day, QLocale::LongFormat)) << folded(l.dayName(day, QLocale::ShortFormat));
        m_am << folded(l.amText());
        m_pm << folded(l.pmText());
    }
    m_am << u"a"_s;
    m_pm << u"p"_s;
    // Some locales abbreviate with a trailing dot ("Dez."); the tokenizer drops it.
    for (QStringList &names : m_monthNames)
        for (QString &name : names)
            if (name.endsWith(u'.'))
                name.chop(1);
}

int LogValueParser::monthOfName(QStringView word) const
{
    const QString w = folded(word);
    for (int month = 0; month < 12; ++month)
        if (m_monthNames[month].contains(w))
            return month + 1;
    return 0;
}

bool LogValueParser::isDayName(QStringView word) const
{
    return m_dayNames.contains(folded(word));
}

int LogValueParser::meridiemOf(QStringView word) const
{
    // Called for every logged time: the logger's own AM and PM first, then the
    // locale's texts, compared without building a folded copy.
    if (word.size() == 2 && (word[1] == u'M' || word[1] == u'm')) {
        if (word[0] == u'A' || word[0] == u'a')
            return 0;
        if (word[0] == u'P' || word[0] == u'p')
            return 12;
    }
    for (const QString &am : m_am)
        if (word.compare(am, Qt::CaseInsensitive) == 0)
            return 0;
    for (const QString &pm : m_pm)
        if (word.compare(pm, Qt::CaseInsensitive) == 0)
            return 12;
    return -1;
}

LogValueParser::DateOrder LogValueParser::orderShownBy(QStringView date) const
{
    if (m_localeOrder == Order::YearMonthDay)
        return DateOrder::NotAsked;
    Token tokens[8];
    int count = 0;
    try {
        count = tokenize(date.trimmed(), tokens);
    } catch (const RuntimeError &) {
        return DateOrder::NotAsked;
    }
    QStringView numbers[3];
    int numberCount = 0;
    for (int i = 0; i < count; ++i) {
        if (tokens[i].kind == Token::Word && !isDayName(tokens[i].text))
            return DateOrder::NotAsked; // a month name, or not a date at all
        if (tokens[i].kind == Token::Number) {
            if (numberCount == 3)
                return DateOrder::NotAsked;
            numbers[numberCount++] = tokens[i].text;
        }
    }
    if (numberCount != 3 || numbers[0].size() > 2 || numbers[1].size() > 2)
        return DateOrder::NotAsked;
    const int first = toInt(numbers[0]);
    const int second = toInt(numbers[1]);
    if (first > 12 && second <= 12)
        return DateOrder::DayFirst;
    if (second > 12 && first <= 12)
        return DateOrder::MonthFirst;
    return first > 12 ? DateOrder::NotAsked : DateOrder::Open;
}

LogValueParser::DateOrder LogValueParser::localeOrder() const
{
    return m_localeOrder == Order::DayMonthYear ? DateOrder::DayFirst : DateOrder::MonthFirst;
}

void LogValueParser::setDateOrder(DateOrder order)
{
    m_orderFixed = order == DateOrder::MonthFirst || order == DateOrder::DayFirst;
    switch (order) {
    case DateOrder::NotAsked:
    case DateOrder::Open:
        m_order = m_localeOrder;
        break;
    case DateOrder::MonthFirst:
        m_order = Order::MonthDayYear;
        break;
    case DateOrder::DayFirst:
        m_order = Order::DayMonthYear;
        break;
    }
}

LogValueParser::DateOrder LogValueParser::dateOrder() const
{
    if (!m_orderFixed)
        return DateOrder::Open;
    return m_order == Order::DayMonthYear ? DateOrder::DayFirst : DateOrder::MonthFirst;
}

double LogValueParser::date(QStringView text) const
{
    Token tokens[8];
    const int count = tokenize(text.trimmed(), tokens);
    QStringView numbers[3];
    int numberCount = 0;
    int namedMonth = 0;
    for (int i = 0; i < count; ++i) {
        if (tokens[i].kind == Token::Number) {
            if (numberCount == 3)
                mismatch();
            numbers[numberCount++] = tokens[i].text;
        } else if (const int month = monthOfName(tokens[i].text); month && !namedMonth) {
            namedMonth = month;
        } else if (!isDayName(tokens[i].text)) {
            mismatch();
        }
    }

    int year = 0, month = 0, day = 0;
    if (namedMonth) {
        if (numberCount != 2)
            mismatch();
        month = namedMonth;
        // The year is the one with more than two digits, else the later one.
        const bool firstIsYear = numbers[0].size() > 2 || (numbers[1].size() <= 2 && m_order == Order::YearMonthDay);
        year = fullYear(firstIsYear ? numbers[0] : numbers[1]);
        day = toInt(firstIsYear ? numbers[1] : numbers[0]);
    } else {
        if (numberCount != 3)
            mismatch();
        if (numbers[0].size() > 2 || m_order == Order::YearMonthDay) {
            year = fullYear(numbers[0]);
            month = toInt(numbers[1]);
            day = toInt(numbers[2]);
        } else {
            const bool monthFirst = m_order == Order::MonthDayYear;
            month = toInt(numbers[monthFirst ? 0 : 1]);
            day = toInt(numbers[monthFirst ? 1 : 0]);
            year = fullYear(numbers[2]);
            if (month > 12 && day <= 12 && !m_orderFixed)
                std::swap(month, day);
        }
    }
    if (year < 100 || year > 9999)
        mismatch();
    const QDate date(year, month, day);
    if (!date.isValid())
        mismatch();
    static const QDate epoch(1899, 12, 30);
    return double(epoch.daysTo(date));
}

double LogValueParser::time(QStringView text) const
{
    const QStringView t = text.trimmed();
    int parts[3] = {0, 0, 0};
    int partCount = 0;
    double fraction = 0;
    int meridiem = -1;
    qsizetype i = 0;
    const qsizetype n = t.size();
    bool expectPart = true;
    while (i < n) {
        const QChar c = t[i];
        if (c.isDigit()) {
            if (!expectPart || partCount == 3)
                mismatch();
            qsizetype j = i;
            while (j < n && t[j].isDigit())
                ++j;
            if (j - i > 2)
                mismatch();
            parts[partCount++] = toInt(t.mid(i, j - i));
            i = j;
            expectPart = false;
            if (i < n && t[i] == u':') {
                expectPart = true;
                ++i;
            } else if (partCount == 3 && i < n && (t[i] == u'.' || t[i] == m_decimalPoint)) {
                qsizetype k = i + 1;
                double scale = 0.1;
                while (k < n && t[k].isDigit()) {
                    fraction += digitOf(t[k]) * scale;
                    scale /= 10;
                    ++k;
                }
                if (k == i + 1)
                    mismatch();
                i = k;
            }
        } else if (c.isSpace()) {
            ++i;
        } else if (c.isLetter()) {
            qsizetype j = i;
            while (j < n && (t[j].isLetter() || t[j] == u'.'))
                ++j;
            const QStringView run = t.mid(i, j - i);
            const int found = run.contains(u'.') ? meridiemOf(run.toString().remove(u'.')) : meridiemOf(run);
            if (meridiem >= 0 || found < 0)
                mismatch();
            meridiem = found;
            i = j;
        } else {
            mismatch();
        }
    }
    // No number at all, or a separator with nothing after it.
    if (expectPart)
        mismatch();
    // A bare number is no time unless it carries AM or PM.
    if (partCount == 1 && meridiem < 0)
        mismatch();
    return dayFraction(parts, fraction, meridiem);
}

namespace {

// The logger's plain decimals ("-12.375") read as from_chars reads them, a few
// times faster: up to 15 digits make an exact integer, and one division by an
// exact power of ten rounds once, correctly. Anything else is left to from_chars.
// `mark` is the decimal mark: '.', or ',' in a log written with decimal commas.
bool plainDecimal(QByteArrayView text, double &value, char mark = '.')
{
    static constexpr double Powers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char *p = text.data();
    const char *end = p + text.size();
    const bool negative = p < end && *p == '-';
    p += negative;
    quint64 mantissa = 0;
    int digits = 0;
    int decimals = 0;
    bool point = false;
    for (; p < end; ++p) {
        const unsigned digit = unsigned(*p) - '0';
        if (digit < 10) {
            if (++digits > 15)
                return false;
            mantissa = mantissa * 10 + digit;
            decimals += point;
        } else if (*p == mark && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (digits == 0)
        return false;
    const double magnitude = double(mantissa) / Powers[decimals];
    value = negative ? -magnitude : magnitude;
    return true;
}

} // namespace

double LogValueParser::number(QByteArrayView ascii) const
{
    double plain = 0;
    // A plain decimal with its comma, read in one pass; the other forms below.
    if (m_decimalComma && plainDecimal(ascii, plain, ','))
        return plain;
    if (m_decimalComma && ascii.size() < 64) {
        // The comma becomes a point; a text with both is no number of this form.
        if (const char *comma = static_cast<const char *>(std::memchr(ascii.data(), ',', size_t(ascii.size())))) {
            char pointed[64];
            std::memcpy(pointed, ascii.data(), size_t(ascii.size()));
            pointed[comma - ascii.data()] = '.';
            if (ascii.indexOf('.') >= 0 || ascii.indexOf(',', comma - ascii.data() + 1) >= 0)
                mismatch();
            return number(QByteArrayView(pointed, ascii.size()));
        }
    }
    if (plainDecimal(ascii, plain))
        return plain;
    const bool padded = !ascii.isEmpty() && (ascii.front() == ' ' || ascii.back() == ' ' || ascii.front() == '\t' || ascii.back() == '\t');
    const QByteArrayView t = padded ? ascii.trimmed() : ascii;
    double value = 0;
    const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value, std::chars_format::general);
    if (!t.isEmpty() && error == std::errc() && end == t.data() + t.size()) {
        if (!std::isfinite(value))
            mismatch();
        return value;
    }
    return number(QString::fromLatin1(ascii));
}

double LogValueParser::time(QByteArrayView ascii) const
{
    // The logger's own "h:mm:ss AM" and "H:mm" forms, read from the cell's bytes;
    // every other form goes the general way.
    const char *p = ascii.data();
    const char *end = p + ascii.size();
    int parts[3] = {0, 0, 0};
    int partCount = 0;
    for (;;) {
        const char *from = p;
        int value = 0;
        while (p < end && p - from < 3 && unsigned(*p) - '0' < 10)
            value = value * 10 + (*p++ - '0');
        if (p == from || p - from > 2)
            return time(QString::fromLatin1(ascii));
        parts[partCount++] = value;
        if (partCount == 3 || p == end || *p != ':')
            break;
        ++p;
    }
    int meridiem = -1;
    if (p + 3 == end && p[0] == ' ' && (p[2] == 'M' || p[2] == 'm')) {
        if (p[1] == 'A' || p[1] == 'a')
            meridiem = 0;
        else if (p[1] == 'P' || p[1] == 'p')
            meridiem = 12;
        p += meridiem >= 0 ? 3 : 0;
    }
    if (p != end || partCount < 2)
        return time(QString::fromLatin1(ascii));
    return dayFraction(parts, 0, meridiem);
}

double LogValueParser::number(QStringView text) const
{
    const QStringView t = text.trimmed();
    if (m_decimalComma && t.contains(u',')) {
        if (t.contains(u'.') || t.count(u',') > 1)
            mismatch();
        QString pointed = t.toString();
        pointed.replace(u',', u'.');
        return number(QStringView(pointed));
    }
    // The logger's own form, read without allocating unless it is long; read as
    // the plot run reads a cell's bytes, whatever its length.
    char buffer[64];
    QByteArray longText;
    char *chars = buffer;
    if (t.size() >= qsizetype(sizeof buffer)) {
        longText.resize(t.size());
        chars = longText.data();
    }
    if (t.size() > 0) {
        bool ascii = true;
        for (qsizetype i = 0; i < t.size(); ++i) {
            const char16_t c = t[i].unicode();
            ascii = ascii && c < 128;
            chars[i] = char(c);
        }
        double value = 0;
        const auto [end, error] = std::from_chars(chars, chars + t.size(), value, std::chars_format::general);
        if (ascii && error == std::errc() && end == chars + t.size()) {
            if (!std::isfinite(value))
                mismatch();
            return value;
        }
    }
    bool ok = false;
    const double value = m_locale.toDouble(t, &ok);
    if (!ok || !std::isfinite(value))
        mismatch();
    return value;
}
