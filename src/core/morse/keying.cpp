#include "core/morse/keying.h"

#include "core/morse/tone_image.h"
#include "core/settings/settings.h"
#include "core/shell/shell.h"
#include "core/text.h"

namespace morsello::morse {

namespace {

void write_keying_byte(App& app, char byte) {
  if (!app.keying_slot) return;
  const auto b = static_cast<std::uint8_t>(byte);
  (void)app.keying_slot->write(std::span<const std::uint8_t>(&b, 1));  // failures are ignored
}

void key(App& app, char byte) {
  if (!keying_enabled(app)) return;
  request_keying_connection(app);
  write_keying_byte(app, byte);
}

}  // namespace

platform::SerialSettings keying_line_settings() { return platform::SerialSettings{}; }

Timing timing_for(std::int64_t u) { return Timing{u, 3 * u, u, 3 * u, 7 * u}; }

bool keying_enabled(const App& app) { return text_greater(app.model[settings::kPort], " "); }

void wait(App& app, std::int64_t ms) {
  if (ms > 0) app.platform.clock.sleep_ms(ms);
}

void request_keying_connection(App& app) {
  auto connection =
      app.platform.serial.open(app.model[settings::kPort], keying_line_settings());
  // An open of the port the slot already holds fails, so the line stays on
  // one connection from the first element on.
  if (connection) app.keying_slot = std::move(connection);
}

ToneOutcome keyed_tone(App& app, std::int64_t key_down_ms) {
  auto& audio = app.platform.audio;
  if (!audio.start()) return ToneOutcome::NotStarted;
  const auto image = build_tone_image(kSampleRate, app.params.tone_hz);
  if (!image) return ToneOutcome::NotStarted;
  auto sound = audio.make_sound(pcm_of(*image), static_cast<int>(kSampleRate), 1, 24);
  if (!sound) return ToneOutcome::NoSound;
  sound->play_looped();
  key(app, '1');
  wait(app, key_down_ms);
  sound->stop();
  sound.reset();
  key(app, '0');
  return ToneOutcome::Done;
}

Flow dot_element(App& app) {
  if (escape_released(app)) return Flow::Rebuild;
  if (keyed_tone(app, app.timing.dot) != ToneOutcome::NotStarted) wait(app, app.timing.element_gap);
  return Flow::Go;
}

void dash_element(App& app) {
  if (keyed_tone(app, app.timing.dash) != ToneOutcome::NotStarted) wait(app, app.timing.element_gap);
}

}  // namespace morsello::morse
