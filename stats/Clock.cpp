#include "stats/Clock.h"

#include <date/date.h>
#include <date/tz.h>

#include <chrono>
#include <cstdio>

#include "log/LineFormat.h"

namespace barvik {

using Seconds = std::chrono::seconds;

std::string_view TimeQualityName(TimeQuality quality) {
  switch (quality) {
    case TimeQuality::Exact:
      return "exact";
    case TimeQuality::Observed:
      return "observed";
    case TimeQuality::Estimated:
      return "estimated";
    case TimeQuality::Unknown:
      break;
  }
  return "unknown";
}

Zone Zone::Of(const ClockSettings& settings) {
  if (settings.timezone.empty()) {
    try {
      return Zone(date::current_zone());
    } catch (const std::exception&) {
      return Utc();  // no /etc/localtime: the machine names no zone
    }
  }
  if (settings.timezone == "UTC") return Utc();
  try {
    return Zone(date::locate_zone(settings.timezone));
  } catch (const std::exception&) {
    throw ClockError("unknown time zone '" + settings.timezone + "'");
  }
}

Zone Zone::Utc() { return Zone(nullptr); }

int64_t Zone::ToUtc(int64_t local_seconds) const {
  if (zone_ == nullptr) return local_seconds;
  const date::local_seconds local{Seconds(local_seconds)};
  const date::local_info info = zone_->get_info(local);
  // A skipped time (nonexistent) reads with the offset before the gap; a repeated one
  // (ambiguous) as its first instant, which the first offset gives in both cases.
  return local_seconds - info.first.offset.count();
}

int64_t Zone::ToLocal(int64_t utc_seconds) const {
  if (zone_ == nullptr) return utc_seconds;
  const date::sys_seconds utc{Seconds(utc_seconds)};
  return utc_seconds + zone_->get_info(utc).offset.count();
}

std::string_view Zone::name() const {
  // Apart, not in one ?: expression: that would make a temporary string of the zone's name.
  if (zone_ == nullptr) return "UTC";
  return zone_->name();
}

CivilTime CivilOf(int64_t wall) {
  const date::sys_seconds t{Seconds(wall)};
  const auto day = date::floor<date::days>(t);
  const date::year_month_day ymd(day);
  const date::hh_mm_ss<Seconds> hms(t - day);
  return {static_cast<int>(ymd.year()),
          static_cast<unsigned>(ymd.month()),
          static_cast<unsigned>(ymd.day()),
          static_cast<unsigned>(hms.hours().count()),
          static_cast<unsigned>(hms.minutes().count()),
          static_cast<unsigned>(hms.seconds().count()),
          date::weekday(day).c_encoding()};
}

std::string IsoUtc(int64_t utc_seconds) {
  const CivilTime c = CivilOf(utc_seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02u:%02u:%02uZ", c.year, c.month, c.day, c.hour,
                c.minute, c.second);
  return text;
}

std::string LocalText(int64_t utc_seconds, const Zone& zone, bool with_time) {
  const CivilTime c = CivilOf(zone.ToLocal(utc_seconds));
  char text[32];
  if (with_time) {
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u", c.year, c.month, c.day, c.hour,
                  c.minute);
  } else {
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", c.year, c.month, c.day);
  }
  return text;
}

int64_t ParseDateBound(std::string_view text, const Zone& zone, bool until) {
  const auto bad = [&] {
    return ClockError("bad date '" + std::string(text) +
                      "' (YYYY-MM-DD or YYYY-MM-DD HH:MM, in the server's zone, or ending in Z "
                      "for UTC)");
  };
  std::string_view t = text;
  const bool utc = !t.empty() && (t.back() == 'Z' || t.back() == 'z');
  if (utc) t.remove_suffix(1);
  std::string full(t);
  bool whole_day = false;
  if (full.size() == 10) {
    full += " 00:00:00";
    whole_day = true;
  } else if (full.size() == 16) {
    full += ":00";
  }
  if (full.size() != 19 || full[4] != '-') throw bad();
  const std::optional<ClockReading> reading = ClockValue(full);
  if (!reading) throw bad();
  int64_t at = utc ? reading->seconds : zone.ToUtc(reading->seconds);
  if (until) {
    at = whole_day ? (utc ? at + 86400 : zone.ToUtc(reading->seconds + 86400)) : at + 1;
  }
  return at;
}

}  // namespace barvik
