#include "core/settings/settings.h"

#include <array>

#include "core/shell/form.h"
#include "core/text.h"

namespace morsello::settings {

namespace {

constexpr std::array<const char*, kSettingsCount> kDefaults{
    "800", "50", "TEST DE N0CALL =", "4000", "2000", "73", "1000", "COM1", "2025-11-27 15:21",
    "2025-11-30 09:30"};

constexpr std::size_t kKeyFieldWidth = 9;  // in UTF-16 code units

// The form field that feeds each key, in the order the save copies them.
struct FieldToKey {
  int field;
  int key;
};
constexpr std::array<FieldToKey, kSettingsCount> kSaveOrder{{
    {wid::kToneField, kTone},
    {wid::kDotField, kDot},
    {wid::kTextField, kText},
    {wid::kCarrierField, kCarrier},
    {wid::kCarrierPauseField, kCarrierPause},
    {wid::kRepeatPauseField, kRepeatPause},
    {wid::kCountField, kCount},
    {wid::kPortField, kPort},
    {wid::kStartField, kStart},
    {wid::kStopField, kStop},
}};

void empty_table(SettingsTable& table) {
  for (auto& row : table) row = {};
}

// One line of the file: its first nine characters, trailing spaces removed,
// are the key field; the rest is the value, untouched.
void scan_line(std::string_view line, std::string_view key, std::string& result) {
  std::size_t units = 0, pos = 0;
  while (pos < line.size() && units < kKeyFieldWidth) {
    const Char c = char_at(line, pos);
    units += c.utf16_units;
    pos += c.bytes.size();
  }
  std::string_view field = line.substr(0, pos);
  while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
  if (field == key) result = std::string(line.substr(pos));
}

std::string lookup(App& app, const std::string& key) {
  const auto file = app.platform.files.read(kFileName);
  if (!file) {
    app.platform.gui.message_box("Information", "Couldn't open the file");
    return {};
  }
  return value_in(*file, key);
}

void lookup_all(App& app) {
  for (int i = 0; i < kSettingsCount; ++i) app.model[i] = lookup(app, key_of(i));
}

}  // namespace

std::string key_of(int index) {
  const int n = index + 1;
  return "TK0" + std::string(1, static_cast<char>('0' + n / 10)) +
         std::string(1, static_cast<char>('0' + n % 10));
}

std::string write_step(const SettingsTable& table) {
  std::string out;
  for (const auto& row : table) {
    out += row.key;
    const std::size_t len = utf16_length(row.key);
    if (len < kKeyFieldWidth) out.append(kKeyFieldWidth - len, ' ');
    out += row.value;
    out += "\r\n";
  }
  return out;
}

std::string value_in(std::string_view file, std::string_view key) {
  std::string result;
  std::size_t start = 0;
  while (start < file.size()) {
    const std::size_t end = file.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      scan_line(file.substr(start), key, result);
      break;
    }
    scan_line(file.substr(start, end - start), key, result);
    start = end + 1;
    if (file[end] == '\r' && start < file.size() && file[start] == '\n') ++start;
  }
  return result;
}

void load(App& app) {
  if (app.platform.files.read(kFileName)) {
    lookup_all(app);
    return;
  }
  // First start, or a file that cannot be read: the defaults go after whatever
  // the file holds, then everything is read back as for any other load.
  for (int i = 0; i < kSettingsCount; ++i) app.table[i] = {key_of(i), kDefaults[i]};
  (void)app.platform.files.append(kFileName, write_step(app.table));
  empty_table(app.table);
  lookup_all(app);
}

Flow save(App& app) {
  auto& gui = app.platform.gui;
  for (const auto& [field, key] : kSaveOrder) app.model[key] = gui.field_text(field);
  for (int i = 0; i < kSettingsCount; ++i) app.table[i] = {key_of(i), app.model[i]};

  if (app.platform.files.replace(kFileName, write_step(app.table))) {
    place_label(app, wid::kSavedNotice, 130, 680, 200, 20, "Data är sparad");
  } else {
    // Never confirm a save that did not happen; the old file is still whole.
    gui.message_box("Information", std::string("Inställningarna kunde inte sparas i ") + kFileName);
  }
  app.platform.beeper.beep(800, 300);
  app.platform.beeper.beep(600, 300);
  place_label(app, wid::kSavedNotice, 125, 680, 200, 20, " ");
  empty_table(app.table);
  return Flow::Rebuild;
}

}  // namespace morsello::settings
