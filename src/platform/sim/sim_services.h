// The simulated services behind the platform interfaces. Each is a thin face
// over SimPlatform, which holds all state and the record.
#pragma once

#include "platform/posix/files.h"
#include "platform/sim/sim_platform.h"

namespace morsello::sim {

class SimPlatform::SimGui final : public platform::Gui {
 public:
  explicit SimGui(SimPlatform& s) : s_(s) {}
  bool init_surface_service() override;
  platform::FontId create_font(const std::string& face, int points, bool bold) override;
  void open_window(int number, int width, int height, const std::string& title,
                   platform::Rgb background) override;
  void close_window(int number) override;
  void start_timer(int window, int timer_id, int period_ms) override;
  void create_widget(const WidgetSpec& spec) override;
  std::string field_text(int number) override;
  platform::Event wait_event() override;
  void pump_one() override;
  void surface_open(int window) override;
  void surface_present() override {}
  void message_box(const std::string& title, const std::string& text) override;
  void shutdown() override;

 private:
  SimPlatform& s_;
};

class SimPlatform::SimKeyboard final : public platform::Keyboard {
 public:
  explicit SimKeyboard(SimPlatform& s) : s_(s) {}
  bool init() override { return !s_.keyboard_fails_; }
  std::optional<bool> escape_down(int main_window) override;

 private:
  SimPlatform& s_;
};

class SimPlatform::SimSerial final : public platform::Serial {
 public:
  explicit SimSerial(SimPlatform& s) : s_(s) {}
  std::unique_ptr<platform::SerialConnection> open(const std::string& name,
                                                   const platform::SerialSettings& settings) override;
  std::vector<std::string> extra_port_names() override { return s_.extra_ports_; }

 private:
  SimPlatform& s_;
};

class SimPlatform::SimAudio final : public platform::Audio {
 public:
  explicit SimAudio(SimPlatform& s) : s_(s) {}
  bool start() override;
  std::unique_ptr<platform::Sound> make_sound(std::span<const std::uint8_t> pcm, int sample_rate,
                                              int channels, int bits_per_sample) override;
  void shutdown() override;

 private:
  SimPlatform& s_;
};

class SimPlatform::SimClock final : public platform::Clock {
 public:
  explicit SimClock(SimPlatform& s) : s_(s) {}
  LocalTime local_now() override { return s_.local_time(s_.now_); }
  void sleep_ms(std::int64_t ms) override;

 private:
  SimPlatform& s_;
};

class SimPlatform::SimBeeper final : public platform::Beeper {
 public:
  explicit SimBeeper(SimPlatform& s) : s_(s) {}
  void beep(int hz, int ms) override;

 private:
  SimPlatform& s_;
};

// Real files in a temporary directory, with faults on request.
class SimPlatform::SimFiles final : public platform::Files {
 public:
  SimFiles(SimPlatform& s, const std::string& dir) : s_(s), real_(dir) {}
  std::optional<std::string> read(const std::string& name) override;
  bool append(const std::string& name, const std::string& bytes) override;
  bool replace(const std::string& name, const std::string& bytes) override;

 private:
  SimPlatform& s_;
  platform::posix::PosixFiles real_;
};

}  // namespace morsello::sim
