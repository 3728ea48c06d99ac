#include "core/morse/sender.h"

#include <utility>

#include "core/morse/keying.h"
#include "core/settings/settings.h"
#include "core/shell/form.h"
#include "core/shell/shell.h"
#include "core/text.h"

namespace morsello::morse {

namespace {

struct Code {
  char32_t c;
  const char* elements;
};

// In the order the characters are tested.
constexpr Code kTable[] = {
    {U'A', ".-"},     {U'B', "-..."},   {U'C', "-.-."},   {U'D', "-.."},    {U'E', "."},
    {U'F', "..-."},   {U'G', "--."},    {U'H', "...."},   {U'I', ".."},     {U'J', ".---"},
    {U'K', "-.-"},    {U'L', ".-.."},   {U'M', "--"},     {U'N', "-."},     {U'O', "---"},
    {U'P', ".--."},   {U'Q', "--.-"},   {U'R', ".-."},    {U'S', "..."},    {U'T', "-"},
    {U'U', "..-"},    {U'V', "...-"},   {U'W', ".--"},    {U'X', "-..-"},   {U'Y', "-.--"},
    {U'Z', "--.."},   {U'Å', ".--.-"},  {U'Ä', ".-.-"},   {U'Ö', "---."},   {U'1', ".----"},
    {U'2', "..---"},  {U'3', "...--"},  {U'4', "....-"},  {U'5', "....."},  {U'6', "-...."},
    {U'7', "--..."},  {U'8', "---.."},  {U'9', "----."},  {U'0', "-----"},  {U'+', ".-.-."},
    {U'*', "...-.-"}, {U'.', ".-.-.-"}, {U',', "--..--"}, {U'-', "-....-"}, {U'=', "-...-"},
    {U'/', "-..-."},  {U'?', "..--.."}, {U'@', ".--.-."},
};

void carrier_lead_in(App& app) {
  const std::int64_t length = app.params.carrier_ms;
  place_label(app, wid::kCarrierStatus, 390, 400, 200, 20,
              "Bärvåg i " + decimal(length) + " millisekunder");
  if (keyed_tone(app, length) == ToneOutcome::NotStarted) return;
  place_label(app, wid::kCarrierStatus, 390, 400, 200, 20, "");
  place_label(app, wid::kCarrierStatus, 390, 430, 200, 20, "Paus mellan bärvåg och text");
  wait(app, app.params.carrier_pause_ms);
  place_label(app, wid::kCarrierStatus, 390, 430, 200, 20, "");
}

Flow send_character(App& app, char32_t c) {
  if (c == U' ') {
    wait(app, app.timing.word_gap);
    return Flow::Go;
  }
  const std::string_view code = morse_code(c);
  if (code.empty()) return Flow::Go;  // shown, but nothing to send
  for (const char element : code) {
    if (element == '.') {
      if (dot_element(app) == Flow::Rebuild) return Flow::Rebuild;
    } else {
      dash_element(app);
    }
  }
  wait(app, app.timing.char_gap);
  return Flow::Go;
}

}  // namespace

std::string_view morse_code(char32_t c) {
  for (const Code& entry : kTable)
    if (entry.c == c) return entry.elements;
  return {};
}

Flow send_message(App& app) {
  app.timing = timing_for(app.params.element_ms);
  std::string sent = " ";
  if (app.params.carrier_ms > 0) carrier_lead_in(app);

  const std::string text = app.model[settings::kText];
  const std::string number = "Meddelande nr " + decimal(app.counter) + " sänds ut";
  for (std::size_t pos = 0; pos < text.size();) {
    // Whole code points: a character outside the BMP is never split.
    const Char c = char_at(text, pos);
    pos += c.bytes.size();
    place_label(app, wid::kStatus, 390, 490, 200, 20, number);
    clock_refresh(app);
    sent += c.bytes;
    place_label(app, wid::kCurrentText, 320, 370, 800, 20, sent, true);
    if (send_character(app, c.valid ? c.code : U'\uFFFD') == Flow::Rebuild) return Flow::Rebuild;
  }
  place_label(app, wid::kStatus, 390, 490, 200, 20, "");
  place_label(app, wid::kStatus, 390, 460, 200, 20, "Pause mellan utsändningarna");
  wait(app, app.params.repeat_pause_ms);
  place_label(app, wid::kStatus, 390, 460, 200, 20, "");
  event_pump(app);
  return Flow::Go;
}

}  // namespace morsello::morse
