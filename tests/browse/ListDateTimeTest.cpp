#include "browse/ListDateTime.h"

#include "format/CallRecord.h"

#include <gtest/gtest.h>
#include <QDate>
#include <random>

using namespace tessa;

namespace {

ListDateTime britishDates() {
    return ListDateTime(QLocale(QLocale::English, QLocale::UnitedKingdom));
}

int64_t momentOf(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return QDate(y, mo, d).toJulianDay() * 86'400'000 + ((h * 60 + mi) * 60 + s) * 1000;
}

RecordTime recordTime(int y, int mo, int d, int h, int mi, int s) {
    RecordTime t{};
    t.year = uint16_t(y);
    t.month = uint16_t(mo);
    t.day = uint16_t(d);
    t.hour = uint16_t(h);
    t.minute = uint16_t(mi);
    t.second = uint16_t(s);
    return t;
}

} // namespace

TEST(ListDateTimeTest, ReadsMomentsInTheLocaleFormats) {
    const ListDateTime us(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(us.dateFormat(), QStringLiteral("M/d/yy"));
    EXPECT_FALSE(us.timeFormat().contains(QLatin1Char('t'))); // the zone field is gone
    EXPECT_EQ(us.readMoment(u"1/15/18 9:30:12 PM"), momentOf(2018, 1, 15, 21, 30, 12));
    EXPECT_EQ(us.readMoment(u"  1/15/18   12:00:00 am "), momentOf(2018, 1, 15, 0, 0, 0));
    EXPECT_EQ(us.readMoment(u"1/15/45"), momentOf(1945, 1, 15)); // two-digit years: 1930-2029
    EXPECT_EQ(us.readMoment(u"13:00:00"), momentOf(1899, 12, 30, 13, 0, 0));
    EXPECT_FALSE(us.readMoment(u"2/30/18").has_value());
    EXPECT_FALSE(us.readMoment(u"1/15/18 13:00:00 PM").has_value());
    EXPECT_FALSE(us.readMoment(u"24:00:00").has_value());
    EXPECT_FALSE(us.readMoment(u"5551234 Bob").has_value());
    EXPECT_FALSE(us.readMoment(u"1/15/18x").has_value());

    const ListDateTime c(QLocale::c());
    EXPECT_EQ(c.readMoment(u"5 jan 2018 09:03:07"), momentOf(2018, 1, 5, 9, 3, 7));
    EXPECT_EQ(c.readMoment(u"5 January 2018"), momentOf(2018, 1, 5));
    EXPECT_FALSE(c.readMoment(u"5 Jax 2018").has_value());
}

// Every locale's own column text must read back as the moment it shows, or the date column would not sort
// by time.
TEST(ListDateTimeTest, FormattedTimesReadBackInManyLocales) {
    std::mt19937 random(7);
    for (const char* name : {"C", "en_US", "en_GB", "de_DE", "fr_FR", "sv_SE", "ja_JP", "zh_CN", "ko_KR",
                             "ar_EG", "fa_IR", "ru_RU", "hi_IN", "nl_NL", "pl_PL", "th_TH"}) {
        const ListDateTime dates{QLocale(QString::fromLatin1(name))};
        for (int i = 0; i < 40; ++i) {
            const int y = 2000 + int(random() % 30), mo = 1 + int(random() % 12), d = 1 + int(random() % 28);
            const int h = int(random() % 24), mi = int(random() % 60), s = int(random() % 60);
            const QString text = dates.format(recordTime(y, mo, d, h, mi, s));
            const auto moment = dates.readMoment(text);
            ASSERT_TRUE(moment.has_value()) << name << " " << text.toStdString();
            const bool seconds = dates.timeFormat().contains(QLatin1Char('s'));
            EXPECT_EQ(*moment, momentOf(y, mo, d, h, mi, seconds ? s : 0))
                << name << " " << text.toStdString();
        }
    }
}

TEST(ListDateTimeTest, FormatsInvalidPartsAsEmpty) {
    const ListDateTime dates = britishDates();
    EXPECT_EQ(dates.format(recordTime(2018, 1, 15, 9, 30, 12)), QStringLiteral("15/01/2018 09:30:12"));
    EXPECT_EQ(dates.format(recordTime(2018, 13, 15, 9, 30, 12)), QStringLiteral(" 09:30:12"));
    EXPECT_EQ(dates.format(recordTime(2018, 1, 15, 24, 0, 0)), QStringLiteral("15/01/2018 "));
}
