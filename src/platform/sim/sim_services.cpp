#include "platform/sim/sim_services.h"

#include <algorithm>

namespace morsello::sim {

namespace {

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

const char* kind_name(platform::WidgetKind k) {
  switch (k) {
    case platform::WidgetKind::Label: return "label";
    case platform::WidgetKind::DisplayLabel: return "display";
    case platform::WidgetKind::Edit: return "edit";
    case platform::WidgetKind::UpperEdit: return "upper-edit";
    case platform::WidgetKind::Button: return "button";
  }
  return "?";
}

}  // namespace

// ---------------------------------------------------------------- gui

bool SimPlatform::SimGui::init_surface_service() { return !s_.surface_fails_; }

platform::FontId SimPlatform::SimGui::create_font(const std::string& face, int points, bool bold) {
  s_.fonts_.push_back({face, points, bold});
  return static_cast<platform::FontId>(s_.fonts_.size());  // 0 stays the default font
}

void SimPlatform::SimGui::open_window(int number, int width, int height, const std::string& title,
                                      platform::Rgb) {
  close_window(number);
  s_.windows_.insert(number);
  ++s_.window_opens_[number];
  s_.foreground_ = number;
  s_.log("open window " + std::to_string(number) + " " + std::to_string(width) + "x" +
         std::to_string(height) + " " + quoted(title));
}

void SimPlatform::SimGui::close_window(int number) {
  if (!s_.windows_.erase(number)) return;
  std::erase_if(s_.widgets_, [&](const auto& kv) { return kv.second.spec.window == number; });
  if (s_.timer_window_ == number) s_.timer_next_.reset();
  if (s_.foreground_ == number) s_.foreground_ = s_.windows_.empty() ? 0 : *s_.windows_.begin();
  s_.log("close window " + std::to_string(number));
}

void SimPlatform::SimGui::start_timer(int window, int timer_id, int period_ms) {
  s_.timer_window_ = window;
  s_.timer_id_ = timer_id;
  s_.timer_period_ = period_ms;
  s_.timer_next_ = s_.now_ + period_ms;
}

void SimPlatform::SimGui::create_widget(const WidgetSpec& spec) {
  s_.record_widget(spec);
  s_.log("widget " + std::to_string(spec.number) + " " + kind_name(spec.kind) + " at " +
         std::to_string(spec.x) + "," + std::to_string(spec.y) + " " + quoted(spec.text));
}

std::string SimPlatform::SimGui::field_text(int number) {
  const auto it = s_.widgets_.find(number);
  if (it == s_.widgets_.end()) return {};
  const auto kind = it->second.spec.kind;
  if (kind != platform::WidgetKind::Edit && kind != platform::WidgetKind::UpperEdit) return {};
  return it->second.spec.text;
}

platform::Event SimPlatform::SimGui::wait_event() {
  volatile char probe = 0;  // marks how deep the program's stack is here
  s_.last_wait_frame_ = reinterpret_cast<std::uintptr_t>(&probe);
  if (s_.on_wait_) s_.on_wait_();
  for (;;) {
    if (auto ev = s_.take_pending()) return *ev;
    // Nothing pending: block until the next scripted event or timer tick.
    std::optional<std::int64_t> next;
    if (s_.script_next_ < s_.script_.size()) next = s_.script_[s_.script_next_].t;
    if (s_.timer_next_ && (!next || *s_.timer_next_ < *next)) next = s_.timer_next_;
    if (!next) s_.runaway("waiting for an event that can never come");
    s_.advance_to(*next);
  }
}

void SimPlatform::SimGui::pump_one() {
  ++s_.pumps_;
  if (auto ev = s_.take_pending(); ev && ev->kind == platform::EventKind::Widget)
    s_.log("pump step dropped the press of " + std::to_string(ev->number));
}

void SimPlatform::SimGui::surface_open(int window) {
  s_.log("surface open on window " + std::to_string(window));
}

void SimPlatform::SimGui::message_box(const std::string& title, const std::string& text) {
  s_.boxes_.push_back({s_.now_, title, text});
  s_.log("message box " + quoted(title) + " " + quoted(text));
}

void SimPlatform::SimGui::shutdown() {
  s_.final_screen_ = s_.widgets_;
  while (!s_.windows_.empty()) close_window(*s_.windows_.begin());
  s_.shut_down_ = true;
  s_.log("shut down");
}

// ---------------------------------------------------------------- keyboard

std::optional<bool> SimPlatform::SimKeyboard::escape_down(int main_window) {
  ++s_.examinations_;
  if (s_.on_exam_) s_.on_exam_();
  const bool other = std::any_of(s_.other_in_front_.begin(), s_.other_in_front_.end(),
                                 [&](auto r) { return s_.now_ >= r.first && s_.now_ < r.second; });
  if (other || s_.foreground_ != main_window || !s_.window_open(main_window)) return std::nullopt;
  return s_.escape_is_down(s_.now_);
}

// ---------------------------------------------------------------- serial

namespace {

class SimConnection final : public platform::SerialConnection {
 public:
  SimConnection(std::string port, std::function<void(std::string, char)> write,
                std::function<void(std::string)> close)
      : port_(std::move(port)), write_(std::move(write)), close_(std::move(close)) {}
  ~SimConnection() override { close_(port_); }
  bool write(std::span<const std::uint8_t> bytes) override {
    for (auto b : bytes) write_(port_, static_cast<char>(b));
    return true;
  }

 private:
  std::string port_;
  std::function<void(std::string, char)> write_;
  std::function<void(std::string)> close_;
};

}  // namespace

std::unique_ptr<platform::SerialConnection> SimPlatform::SimSerial::open(
    const std::string& name, const platform::SerialSettings& settings) {
  const auto it = s_.ports_.find(name);
  if (it == s_.ports_.end() || it->second.present_from > s_.now_ || it->second.held_elsewhere ||
      it->second.open)
    return nullptr;
  // The keying device accepts nothing but its own line settings.
  if (settings.baud != 9600 || settings.data_bits != 8 || settings.stop_bits != 1 ||
      settings.rts_cts_flow || settings.rts_on)
    return nullptr;
  it->second.open = true;
  ++it->second.opens;
  s_.log("port " + name + " opened");
  SimPlatform& s = s_;
  return std::make_unique<SimConnection>(
      name,
      [&s](std::string port, char b) {
        s.bytes_.push_back({s.now_, port, b});
        s.log("byte " + std::string(1, b) + " on " + port);
      },
      [&s](std::string port) {
        s.ports_[port].open = false;
        s.log("port " + port + " closed");
      });
}

// ---------------------------------------------------------------- sound

namespace {

class SimSound final : public platform::Sound {
 public:
  SimSound(std::function<SoundRecord&()> record, std::function<std::int64_t()> now,
           std::function<void(std::string)> log)
      : record_(std::move(record)), now_(std::move(now)), log_(std::move(log)) {}
  void play_looped() override {
    record_().started_at = now_();
    log_("tone on");
  }
  void stop() override {
    record_().stopped_at = now_();
    log_("tone off");
  }

 private:
  std::function<SoundRecord&()> record_;
  std::function<std::int64_t()> now_;
  std::function<void(std::string)> log_;
};

}  // namespace

bool SimPlatform::SimAudio::start() {
  if (s_.audio_fails_) return false;
  if (!s_.audio_started_) s_.log("audio started");
  s_.audio_started_ = true;
  return true;
}

std::unique_ptr<platform::Sound> SimPlatform::SimAudio::make_sound(
    std::span<const std::uint8_t> pcm, int sample_rate, int channels, int bits_per_sample) {
  if (s_.sound_fails_ || pcm.empty() || sample_rate != 48000 || channels != 1 ||
      bits_per_sample != 24 || pcm.size() % 3 != 0)
    return nullptr;
  s_.sounds_.push_back({s_.now_, -1, -1, pcm.size() / 3});
  const std::size_t index = s_.sounds_.size() - 1;
  SimPlatform& s = s_;
  return std::make_unique<SimSound>([&s, index]() -> SoundRecord& { return s.sounds_[index]; },
                                    [&s] { return s.now_; }, [&s](std::string l) { s.log(l); });
}

void SimPlatform::SimAudio::shutdown() { s_.log("audio shut down"); }

// ---------------------------------------------------------------- clock, beep

void SimPlatform::SimClock::sleep_ms(std::int64_t ms) {
  if (ms <= 0) return;
  std::int64_t until = s_.now_ + ms;
  if (s_.stretch_ && ms == 1) {
    const std::int64_t minute = 60000;
    const std::int64_t local_ms = s_.start_epoch_s_ * 1000 + s_.now_;
    const std::int64_t next_minute = s_.now_ + (minute - local_ms % minute);
    until = std::max(until, std::min(next_minute, s_.next_keyboard_change(s_.now_)));
  }
  s_.advance_to(until);
}

void SimPlatform::SimBeeper::beep(int hz, int ms) {
  s_.beeps_.push_back({s_.now_, hz, ms});
  s_.log("beep " + std::to_string(hz) + " Hz " + std::to_string(ms) + " ms");
  s_.advance_to(s_.now_ + std::max(ms, 0));  // returns when the tone has ended
}

// ---------------------------------------------------------------- files

std::optional<std::string> SimPlatform::SimFiles::read(const std::string& name) {
  if (s_.reads_fail_) return std::nullopt;
  return real_.read(name);
}

bool SimPlatform::SimFiles::append(const std::string& name, const std::string& bytes) {
  if (s_.writes_fail_) return false;
  return real_.append(name, bytes);
}

bool SimPlatform::SimFiles::replace(const std::string& name, const std::string& bytes) {
  if (s_.writes_fail_) return false;
  const bool ok = real_.replace(name, bytes);
  s_.log(std::string("file ") + name + (ok ? " replaced" : " not replaced"));
  return ok;
}

}  // namespace morsello::sim
