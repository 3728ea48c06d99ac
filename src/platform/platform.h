// The only window onto the outside world that src/core sees. Each backend
// (linux/, windows/, sim/) implements these interfaces; the build picks one.
// Every call is made from the one user-interface thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace morsello::platform {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// ---------------------------------------------------------------- windows

enum class WidgetKind {
  Label,         // static text, no focus
  DisplayLabel,  // static text with a sunken border
  Edit,          // single-line edit field
  UpperEdit,     // edit field that turns typed and pasted letters into capitals
  Button,        // push button; a press sends a widget event with its number
};

using FontId = int;
inline constexpr FontId kDefaultFont = 0;  // the platform's default dialog font

struct WidgetSpec {
  int window = 0;  // number of the window that owns the widget
  int number = 0;  // unique among all widgets of the program
  WidgetKind kind = WidgetKind::Label;
  int x = 0, y = 0, w = 0, h = 0;  // client-area pixels, never scaled for DPI
  std::string text;                // UTF-8
  FontId font = kDefaultFont;
  std::optional<Rgb> text_color;  // unset: the system's standard colour
};

enum class EventKind {
  Widget,  // a widget of ours did something; `number` is its widget number
  Timer,   // a window timer fired; `number` is the timer id
  Close,   // the close box of window `window` was used
  Other,   // any other activity in our windows (mouse, keys, paint)
};

struct Event {
  EventKind kind = EventKind::Other;
  int window = 0;
  int number = 0;
};

class Gui {
 public:
  virtual ~Gui() = default;

  // The drawing-surface service; false when it cannot be initialised.
  virtual bool init_surface_service() = 0;
  // A font by face name, point size (converted with the display's vertical
  // DPI) and weight; a missing face gives the nearest match.
  virtual FontId create_font(const std::string& face, int points, bool bold) = 0;

  // Opens a window with the given client size, centred on the primary screen
  // (outer frame included), with title bar, window menu and close box, not
  // resizable. A window already open under `number` is destroyed first, with
  // its widgets and timers.
  virtual void open_window(int number, int width, int height,
                           const std::string& title, Rgb background) = 0;
  virtual void close_window(int number) = 0;
  virtual void start_timer(int window, int timer_id, int period_ms) = 0;

  // Creates a widget; one already existing under the same number is destroyed
  // first (a re-created focusable widget keeps its place in the Tab order).
  // The change is on screen when this returns (repaint only, no input taken).
  virtual void create_widget(const WidgetSpec& spec) = 0;
  // The current text of an edit field, exactly as shown; empty if none.
  virtual std::string field_text(int number) = 0;

  // Blocks until the next event of any of our windows.
  virtual Event wait_event() = 0;
  // Takes at most one pending event without waiting and lets the window
  // system process it (repaints happen); any widget event it yields is dropped.
  virtual void pump_one() = 0;

  // The double-buffered white area under the widgets of `window`.
  virtual void surface_open(int window) = 0;
  virtual void surface_present() = 0;

  // Modal box with a title, a text, one OK button and no icon.
  virtual void message_box(const std::string& title, const std::string& text) = 0;

  virtual void shutdown() = 0;
};

// ---------------------------------------------------------------- keyboard

class Keyboard {
 public:
  virtual ~Keyboard() = default;
  virtual bool init() = 0;
  // A snapshot of the Escape key: true when down. Empty when no snapshot can be
  // taken (the window `main_window` is not the foreground window).
  virtual std::optional<bool> escape_down(int main_window) = 0;
};

// ---------------------------------------------------------------- serial

enum class Parity { NoParity };  // not "None": X11 defines that as a macro

struct SerialSettings {
  int baud = 9600;
  int data_bits = 8;
  Parity parity = Parity::NoParity;
  int stop_bits = 1;
  bool rts_cts_flow = false;  // output flow control by CTS
  bool rts_on = false;        // RTS asserted; DTR, DSR and XON/XOFF left as found
  int input_queue = 1024;
  int output_queue = 1024;
  int write_timeout_constant_ms = 10;
  int write_timeout_per_byte_ms = 100;
};

class SerialConnection {
 public:
  virtual ~SerialConnection() = default;  // closes the port
  // Writes the bytes; false on failure or time-out. Never reads.
  virtual bool write(std::span<const std::uint8_t> bytes) = 0;
};

class Serial {
 public:
  virtual ~Serial() = default;
  // Opens a port by name ("COM3", or a device path where the platform has
  // them) for exclusive use and applies the settings; null on any failure,
  // including a port this process already holds open.
  virtual std::unique_ptr<SerialConnection> open(const std::string& name,
                                                 const SerialSettings& settings) = 0;
  // Port names the discovery tries after COM1 to COM20, where the platform
  // has other usual places for serial adapters; may be empty.
  virtual std::vector<std::string> extra_port_names() = 0;
};

// ---------------------------------------------------------------- sound

class Sound {
 public:
  virtual ~Sound() = default;  // releases the sound
  virtual void play_looped() = 0;  // from the first sample, full volume
  virtual void stop() = 0;         // at once
};

class Audio {
 public:
  virtual ~Audio() = default;
  // Starts the output on the default device. Harmless when already started;
  // once a start has failed, every later call fails too.
  virtual bool start() = 0;
  // A sound from signed little-endian PCM samples, copied (the caller may free
  // its buffer at once). Null when no playable sound can be made.
  virtual std::unique_ptr<Sound> make_sound(std::span<const std::uint8_t> pcm,
                                            int sample_rate, int channels,
                                            int bits_per_sample) = 0;
  virtual void shutdown() = 0;
};

// ---------------------------------------------------------------- system

struct LocalTime {
  int year = 0, month = 0, day = 0;  // month and day from 1
  int hour = 0, minute = 0, second = 0;  // hour 0 to 23
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime local_now() = 0;
  // Blocks for `ms` milliseconds with 1 ms resolution; 0 or less returns at once.
  virtual void sleep_ms(std::int64_t ms) = 0;
};

class Beeper {
 public:
  virtual ~Beeper() = default;
  // A tone of `hz` for `ms`, returning when it has ended. Silent and immediate
  // where the platform has no beep.
  virtual void beep(int hz, int ms) = 0;
};

// Whole-file operations on names relative to the working directory. Each
// open takes the file exclusively until the call returns.
class Files {
 public:
  virtual ~Files() = default;
  // The file's bytes, or empty when it cannot be opened for reading.
  virtual std::optional<std::string> read(const std::string& name) = 0;
  // Opens for update (creating it if missing) and adds `bytes` at the end;
  // false unless everything was written.
  virtual bool append(const std::string& name, const std::string& bytes) = 0;
  // Replaces the file's content as one step: written to a temporary file beside
  // it, then renamed over it. On failure the old file is untouched and no
  // temporary file is left.
  virtual bool replace(const std::string& name, const std::string& bytes) = 0;
};

// Everything the program uses, handed to it at entry.
struct Platform {
  Gui& gui;
  Keyboard& keyboard;
  Serial& serial;
  Audio& audio;
  Clock& clock;
  Beeper& beeper;
  Files& files;
};

}  // namespace morsello::platform
