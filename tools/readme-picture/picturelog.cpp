#include "picturelog.h"

#include <QDate>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>

using namespace Qt::StringLiterals;

namespace {

constexpr int Days = 4;
constexpr int IntervalMinutes = 5;
const QDate FirstDay(2024, 3, 18); // day 18 decides the date order: month first

// Uniform in [0, 1) from the engine's bits alone: the standard distributions may
// differ between libraries, and the picture should not.
class Noise
{
public:
    double unit() { return double(m_engine() >> 8) / 16777216.0; }
    // About normal, mean 0 and the given spread.
    double gauss(double spread)
    {
        double sum = 0;
        for (int i = 0; i < 6; ++i)
            sum += unit();
        return (sum - 3.0) * spread / std::sqrt(0.5);
    }

private:
    std::mt19937 m_engine{740};
};

// The plant's state, stepped every five minutes.
struct Plant
{
    double weather = 0; // slow drift of the day's mean outdoor temperature
    double room = 20.5;
    double pressure = 1012.0;
};

// Rooms heated from 6 AM to 10 PM, set back at night.
bool dayMode(double hour) { return hour >= 6.0 && hour < 22.0; }

std::string number(double value, int decimals)
{
    char buffer[32];
    const int n = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return std::string(buffer, size_t(n));
}

std::string timeOfDay(int minuteOfDay)
{
    const int hour = minuteOfDay / 60;
    const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    char buffer[16];
    const int n = std::snprintf(buffer, sizeof buffer, "%d:%02d:00 %s", hour12, minuteOfDay % 60, hour < 12 ? "AM" : "PM");
    return std::string(buffer, size_t(n));
}

} // namespace

namespace picturelog {

QStringList headings()
{
    return {u"Outdoor Temp"_s, u"Supply Temp"_s, u"Return Temp"_s, u"Room Temp"_s,
            u"Humidity"_s,     u"Pressure"_s,    u"Flow"_s};
}

bool write(const QString &path, QString *error)
{
    Noise noise;
    Plant plant;
    std::string out = "Date,Time";
    for (const QString &name : headings())
        out += ',' + name.toStdString();
    out += "\r\n";

    const int rows = Days * 24 * 60 / IntervalMinutes;
    // One afternoon the humidity sensor is out for three hours.
    const int outageStart = (24 + 13) * 60 / IntervalMinutes;
    const int outageEnd = outageStart + 180 / IntervalMinutes;
    for (int row = 0; row < rows; ++row) {
        const int minute = row * IntervalMinutes;
        const QDate date = FirstDay.addDays(minute / (24 * 60));
        const double hour = (minute % (24 * 60)) / 60.0;

        // Coldest before dawn, warmest mid-afternoon; the days get milder.
        plant.weather += noise.gauss(0.04);
        const double outdoor = 2.0 + 0.9 * minute / (24.0 * 60.0) + plant.weather
                               + 4.5 * std::sin(2 * std::numbers::pi * (hour - 9.0) / 24.0) + noise.gauss(0.15);
        // The heating curve, lowered at night.
        const double supply = 58.0 - 1.2 * outdoor - (dayMode(hour) ? 0.0 : 8.0) + noise.gauss(0.2);
        const double returned = supply - 9.5 - 0.15 * (20.0 - outdoor) + noise.gauss(0.2);
        const double target = dayMode(hour) ? 21.0 : 18.0;
        plant.room += (target - plant.room) * 0.06 + noise.gauss(0.03);
        const double humidity = std::clamp(74.0 - 2.6 * (outdoor - 2.0) + noise.gauss(0.5), 20.0, 99.0);
        plant.pressure += noise.gauss(0.12) - (plant.pressure - 1012.0) * 0.002;
        const double flow = (dayMode(hour) ? 3.4 : 2.1) + noise.gauss(0.05);

        const std::string values[] = {number(outdoor, 1), number(supply, 1),  number(returned, 1),
                                      number(plant.room, 2), number(humidity, 1), number(plant.pressure, 1),
                                      number(flow, 2)};
        out += std::to_string(date.month()) + '/' + std::to_string(date.day()) + '/' + std::to_string(date.year());
        out += ',' + timeOfDay(minute % (24 * 60));
        for (size_t c = 0; c < std::size(values); ++c) {
            out += ',';
            // A reading now and then goes missing; the logger leaves its cell empty.
            const bool missing = noise.unit() < 1.0 / 400.0 || (c == 4 && row >= outageStart && row < outageEnd);
            if (!missing)
                out += values[c];
        }
        out += "\r\n";
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(out.data(), qint64(out.size())) != qint64(out.size())
        || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace picturelog
