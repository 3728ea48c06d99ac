// A deterministic platform for tests. Time is virtual: every wait advances it
// at once, so days of operation replay in milliseconds. Events, key presses,
// serial devices and faults are scripted against that clock, and everything
// the program does is recorded with the virtual time at which it happened.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace morsello::sim {

using platform::LocalTime;
using platform::WidgetSpec;

struct WidgetRecord {
  WidgetSpec spec;
  std::int64_t created_at = 0;
  std::uint64_t order = 0;  // program-wide creation sequence number
};

struct SerialByte {
  std::int64_t t;
  std::string port;
  char byte;
};

struct SoundRecord {
  std::int64_t made_at = 0;
  std::int64_t started_at = -1;
  std::int64_t stopped_at = -1;
  std::size_t samples = 0;
};

struct Beep {
  std::int64_t t;
  int hz, ms;
};

struct Box {
  std::int64_t t;
  std::string title, text;
};

struct FontRecord {
  std::string face;
  int points;
  bool bold;
};

class SimPlatform {
 public:
  // The virtual clock starts at `start` local time, at virtual millisecond 0.
  explicit SimPlatform(LocalTime start = {2025, 11, 27, 15, 20, 0});
  ~SimPlatform();
  SimPlatform(const SimPlatform&) = delete;
  SimPlatform& operator=(const SimPlatform&) = delete;

  platform::Platform& platform() { return platform_; }

  // ---- the operator's script (times are virtual milliseconds)
  void click(std::int64_t t, int widget);             // a button press
  void set_field(std::int64_t t, int widget, std::string text);  // typing into a field
  void close_box(std::int64_t t, int window);
  void escape_down(std::int64_t from, std::int64_t to);  // Escape held in [from, to)
  void other_program_in_front(std::int64_t from, std::int64_t to);
  // Ends a story: after this virtual time, waiting on an empty script aborts
  // the test with the timeline instead of ticking forever.
  void set_deadline(std::int64_t t) { deadline_ = t; }

  // ---- devices and faults
  void add_port(const std::string& name, std::int64_t present_from = 0);
  void hold_port_elsewhere(const std::string& name, bool held);
  void set_extra_port_names(std::vector<std::string> names) { extra_ports_ = std::move(names); }
  void fail_audio_start() { audio_fails_ = true; }
  void fail_make_sound() { sound_fails_ = true; }
  void fail_surface_service() { surface_fails_ = true; }
  void fail_keyboard() { keyboard_fails_ = true; }
  void fail_file_reads(bool on) { reads_fail_ = on; }
  void fail_file_writes(bool on) { writes_fail_ = on; }
  // A machine that oversleeps short polls: a wait of 1 ms lasts until the
  // next whole minute of local time or the next change of the scripted
  // keyboard, whichever comes first. Lets day-long waits replay in a blink;
  // longer waits keep their exact length.
  void stretch_short_waits(bool on) { stretch_ = on; }

  // ---- what happened
  std::int64_t now() const { return now_; }
  LocalTime local_time(std::int64_t t) const;
  // As it stands now; after the end of the program, as it stood at shutdown.
  const WidgetRecord* widget(int number) const;
  std::vector<WidgetRecord> widgets_of(int window) const;  // in creation order
  bool window_open(int number) const { return windows_.count(number) != 0; }
  int window_opens(int number) const;
  const std::deque<WidgetRecord>& creations() const { return creations_; }
  const std::vector<SerialByte>& bytes() const { return bytes_; }
  const std::vector<SoundRecord>& sounds() const { return sounds_; }
  const std::vector<Beep>& beeps() const { return beeps_; }
  const std::vector<Box>& boxes() const { return boxes_; }
  const std::vector<FontRecord>& fonts() const { return fonts_; }
  std::vector<std::string> open_ports() const;
  int port_opens(const std::string& name) const;
  int pumps() const { return pumps_; }
  int examinations() const { return examinations_; }
  bool shut_down() const { return shut_down_; }
  std::uintptr_t last_wait_frame() const { return last_wait_frame_; }
  std::string directory() const { return dir_; }
  std::optional<std::string> file(const std::string& name) const;
  void write_file(const std::string& name, const std::string& bytes) const;
  // Called at every blocking wait for an event, for tests that measure there.
  void on_wait(std::function<void()> f) { on_wait_ = std::move(f); }
  // Called at every keyboard examination.
  void on_examination(std::function<void()> f) { on_exam_ = std::move(f); }
  // Keep at most this many recorded creations and timeline lines (0: none).
  void set_record_limit(std::size_t n) { record_limit_ = n; }
  // Everything recorded, in time order, for a failing test to print.
  std::string timeline() const;

 private:
  class SimGui;
  class SimKeyboard;
  class SimSerial;
  class SimAudio;
  class SimClock;
  class SimBeeper;
  class SimFiles;
  friend class SimGui;
  friend class SimKeyboard;
  friend class SimSerial;
  friend class SimAudio;
  friend class SimClock;
  friend class SimBeeper;
  friend class SimFiles;

  struct Scripted {
    std::int64_t t;
    std::uint64_t seq;
    platform::Event event;
    std::optional<std::string> field_text;  // a typing action
  };
  struct Port {
    std::int64_t present_from = 0;
    bool held_elsewhere = false;
    bool open = false;
    int opens = 0;
  };

  void log(std::string line);
  void record_widget(const WidgetSpec& spec);
  std::optional<platform::Event> take_pending();
  void advance_to(std::int64_t t);
  std::int64_t next_keyboard_change(std::int64_t after) const;
  bool escape_is_down(std::int64_t t) const;
  [[noreturn]] void runaway(const char* why) const;

  std::int64_t now_ = 0;
  std::int64_t start_epoch_s_ = 0;  // local time of virtual 0, as seconds of a proleptic calendar
  std::int64_t deadline_ = 2LL * 3600 * 1000;  // a forgotten Escape fails fast
  bool stretch_ = false;
  std::size_t record_limit_ = 200000;

  std::vector<Scripted> script_;  // kept sorted by (t, seq)
  std::size_t script_next_ = 0;
  std::uint64_t seq_ = 0;
  std::vector<std::pair<std::int64_t, std::int64_t>> escape_down_;
  std::vector<std::pair<std::int64_t, std::int64_t>> other_in_front_;

  std::set<int> windows_;
  std::map<int, int> window_opens_;
  int foreground_ = 0;
  std::map<int, WidgetRecord> widgets_;
  std::map<int, WidgetRecord> final_screen_;
  std::uint64_t widget_seq_ = 0;
  std::deque<WidgetRecord> creations_;
  std::optional<std::int64_t> timer_next_;
  std::int64_t timer_period_ = 0;
  int timer_window_ = 0, timer_id_ = 0;
  int pumps_ = 0;
  int examinations_ = 0;
  std::uintptr_t last_wait_frame_ = 0;
  std::function<void()> on_wait_;
  std::function<void()> on_exam_;

  std::map<std::string, Port> ports_;
  std::vector<std::string> extra_ports_;
  std::vector<SerialByte> bytes_;
  std::vector<SoundRecord> sounds_;
  std::vector<Beep> beeps_;
  std::vector<Box> boxes_;
  std::vector<FontRecord> fonts_;
  bool audio_fails_ = false, audio_started_ = false, sound_fails_ = false;
  bool surface_fails_ = false, keyboard_fails_ = false;
  bool reads_fail_ = false, writes_fail_ = false;
  bool shut_down_ = false;

  std::string dir_;
  std::deque<std::string> timeline_;

  std::unique_ptr<SimGui> gui_;
  std::unique_ptr<SimKeyboard> keyboard_;
  std::unique_ptr<SimSerial> serial_;
  std::unique_ptr<SimAudio> audio_;
  std::unique_ptr<SimClock> clock_;
  std::unique_ptr<SimBeeper> beeper_;
  std::unique_ptr<SimFiles> files_;
  platform::Platform platform_;
};

}  // namespace morsello::sim
