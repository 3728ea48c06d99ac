#include "platform/sim/sim_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/sim/sim_services.h"

namespace morsello::sim {

namespace {

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
std::int64_t days_from_civil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civil_from_days(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

std::string make_temp_dir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "morsello-sim-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) std::abort();
  return tmpl;
}

}  // namespace

SimPlatform::SimPlatform(LocalTime start)
    : dir_(make_temp_dir()),
      gui_(std::make_unique<SimGui>(*this)),
      keyboard_(std::make_unique<SimKeyboard>(*this)),
      serial_(std::make_unique<SimSerial>(*this)),
      audio_(std::make_unique<SimAudio>(*this)),
      clock_(std::make_unique<SimClock>(*this)),
      beeper_(std::make_unique<SimBeeper>(*this)),
      files_(std::make_unique<SimFiles>(*this, dir_)),
      platform_{*gui_, *keyboard_, *serial_, *audio_, *clock_, *beeper_, *files_} {
  start_epoch_s_ = days_from_civil(start.year, start.month, start.day) * 86400 +
                   start.hour * 3600 + start.minute * 60 + start.second;
}

SimPlatform::~SimPlatform() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

LocalTime SimPlatform::local_time(std::int64_t t) const {
  const std::int64_t s = start_epoch_s_ + t / 1000;
  const std::int64_t days = s / 86400, rest = s % 86400;
  LocalTime lt;
  civil_from_days(days, lt.year, lt.month, lt.day);
  lt.hour = static_cast<int>(rest / 3600);
  lt.minute = static_cast<int>(rest / 60 % 60);
  lt.second = static_cast<int>(rest % 60);
  return lt;
}

// ---------------------------------------------------------------- script

void SimPlatform::click(std::int64_t t, int widget) {
  script_.push_back({t, seq_++, {platform::EventKind::Widget, 0, widget}, std::nullopt});
  std::stable_sort(script_.begin() + static_cast<std::ptrdiff_t>(script_next_), script_.end(),
                   [](const Scripted& a, const Scripted& b) { return a.t < b.t; });
}

void SimPlatform::set_field(std::int64_t t, int widget, std::string text) {
  script_.push_back({t, seq_++, {platform::EventKind::Other, 0, widget}, std::move(text)});
  std::stable_sort(script_.begin() + static_cast<std::ptrdiff_t>(script_next_), script_.end(),
                   [](const Scripted& a, const Scripted& b) { return a.t < b.t; });
}

void SimPlatform::close_box(std::int64_t t, int window) {
  script_.push_back({t, seq_++, {platform::EventKind::Close, window, 0}, std::nullopt});
  std::stable_sort(script_.begin() + static_cast<std::ptrdiff_t>(script_next_), script_.end(),
                   [](const Scripted& a, const Scripted& b) { return a.t < b.t; });
}

void SimPlatform::escape_down(std::int64_t from, std::int64_t to) {
  escape_down_.emplace_back(from, to);
}

void SimPlatform::other_program_in_front(std::int64_t from, std::int64_t to) {
  other_in_front_.emplace_back(from, to);
}

void SimPlatform::add_port(const std::string& name, std::int64_t present_from) {
  ports_[name].present_from = present_from;
}

void SimPlatform::hold_port_elsewhere(const std::string& name, bool held) {
  ports_[name].held_elsewhere = held;
}

// ---------------------------------------------------------------- engine

std::optional<platform::Event> SimPlatform::take_pending() {
  const bool script_due = script_next_ < script_.size() && script_[script_next_].t <= now_;
  const bool tick_due = timer_next_ && *timer_next_ <= now_;
  if (script_due && (!tick_due || script_[script_next_].t <= *timer_next_)) {
    Scripted& s = script_[script_next_++];
    if (s.field_text) {
      if (auto it = widgets_.find(s.event.number); it != widgets_.end())
        it->second.spec.text = *s.field_text;
      log("operator types \"" + *s.field_text + "\" into " + std::to_string(s.event.number));
    } else if (s.event.kind == platform::EventKind::Widget) {
      log("operator presses " + std::to_string(s.event.number));
    } else if (s.event.kind == platform::EventKind::Close) {
      log("operator clicks the close box of " + std::to_string(s.event.window));
    }
    return s.event;
  }
  if (tick_due) {
    // Ticks do not pile up: one is pending however late it is taken.
    *timer_next_ += ((now_ - *timer_next_) / timer_period_ + 1) * timer_period_;
    return platform::Event{platform::EventKind::Timer, timer_window_, timer_id_};
  }
  return std::nullopt;
}

void SimPlatform::advance_to(std::int64_t t) {
  if (t > deadline_) runaway("the story ran past its deadline");
  if (t > now_) now_ = t;
}

bool SimPlatform::escape_is_down(std::int64_t t) const {
  return std::any_of(escape_down_.begin(), escape_down_.end(),
                     [t](auto r) { return t >= r.first && t < r.second; });
}

std::int64_t SimPlatform::next_keyboard_change(std::int64_t after) const {
  std::int64_t next = INT64_MAX;
  for (const auto& ranges : {escape_down_, other_in_front_})
    for (auto [from, to] : ranges) {
      if (from > after) next = std::min(next, from);
      if (to > after) next = std::min(next, to);
    }
  return next;
}

void SimPlatform::runaway(const char* why) const {
  std::fprintf(stderr, "sim: %s at t=%lld\n%s\n", why, static_cast<long long>(now_),
               timeline().c_str());
  std::abort();
}

// ---------------------------------------------------------------- record

void SimPlatform::log(std::string line) {
  if (record_limit_ == 0) return;
  timeline_.push_back("t=" + std::to_string(now_) + " " + line);
  while (timeline_.size() > record_limit_) timeline_.pop_front();
}

void SimPlatform::record_widget(const WidgetSpec& spec) {
  widgets_.erase(spec.number);
  WidgetRecord rec{spec, now_, widget_seq_++};
  widgets_[spec.number] = rec;
  if (record_limit_ == 0) return;
  creations_.push_back(std::move(rec));
  while (creations_.size() > record_limit_) creations_.pop_front();
}

const WidgetRecord* SimPlatform::widget(int number) const {
  const auto& screen = shut_down_ ? final_screen_ : widgets_;
  const auto it = screen.find(number);
  return it == screen.end() ? nullptr : &it->second;
}

std::vector<WidgetRecord> SimPlatform::widgets_of(int window) const {
  std::vector<WidgetRecord> out;
  for (const auto& [n, rec] : shut_down_ ? final_screen_ : widgets_)
    if (rec.spec.window == window) out.push_back(rec);
  std::sort(out.begin(), out.end(), [](auto& a, auto& b) { return a.order < b.order; });
  return out;
}

int SimPlatform::window_opens(int number) const {
  const auto it = window_opens_.find(number);
  return it == window_opens_.end() ? 0 : it->second;
}

std::vector<std::string> SimPlatform::open_ports() const {
  std::vector<std::string> out;
  for (const auto& [name, port] : ports_)
    if (port.open) out.push_back(name);
  return out;
}

int SimPlatform::port_opens(const std::string& name) const {
  const auto it = ports_.find(name);
  return it == ports_.end() ? 0 : it->second.opens;
}

std::optional<std::string> SimPlatform::file(const std::string& name) const {
  std::ifstream in(dir_ + "/" + name, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void SimPlatform::write_file(const std::string& name, const std::string& bytes) const {
  std::ofstream(dir_ + "/" + name, std::ios::binary) << bytes;
}

std::string SimPlatform::timeline() const {
  std::ostringstream out;
  for (const auto& line : timeline_) out << "  " << line << "\n";
  return out.str();
}

}  // namespace morsello::sim
