#include "ftp/date_time.h"

#include "ftp/socket/net_exception.h"

#include <chrono>
#include <cstdio>
#include <ctime>

bool TNetDateTime::IsZero() const {
    return *this == TNetDateTime{};
}

std::string TNetDateTime::ToText() const {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", Year, Month, Day, Hour, Minute,
                  Second);
    return buf;
}

bool IsValidDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int max = days[month - 1] + (month == 2 && leap ? 1 : 0);
    return day <= max;
}

bool IsValidTime(int hour, int minute, int second, int millisecond) {
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 &&
           millisecond >= 0 && millisecond < 1000;
}

TNetDateTime EncodeNetDate(int year, int month, int day) {
    if (!IsValidDate(year, month, day)) throw ENetException("Invalid date");
    TNetDateTime d;
    d.Year = year;
    d.Month = month;
    d.Day = day;
    return d;
}

TNetDateTime WithNetTime(TNetDateTime date, int hour, int minute, int second, int millisecond) {
    if (!IsValidTime(hour, minute, second, millisecond)) throw ENetException("Invalid time");
    date.Hour = hour;
    date.Minute = minute;
    date.Second = second;
    date.Millisecond = millisecond;
    return date;
}

TNetDateTime NetNow() {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    gmtime_r(&t, &tm);
    TNetDateTime d;
    d.Year = tm.tm_year + 1900;
    d.Month = tm.tm_mon + 1;
    d.Day = tm.tm_mday;
    d.Hour = tm.tm_hour;
    d.Minute = tm.tm_min;
    d.Second = tm.tm_sec;
    return d;
}
