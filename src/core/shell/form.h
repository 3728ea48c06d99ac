// The main window form: window and widget numbers, the build of the form and
// the two helpers by which every activity shows its progress.
#pragma once

#include <string>

#include "core/app.h"

namespace morsello {

namespace win {
inline constexpr int kMain = 7;
inline constexpr int kInfo = 54;
inline constexpr int kMainTimer = 123;
inline constexpr int kMainTimerPeriodMs = 250;
}  // namespace win

// Widget numbers of the main window.
namespace wid {
inline constexpr int kStatus = 9;
inline constexpr int kCarrierStatus = 10;
inline constexpr int kBanner = 11;
inline constexpr int kCurrentText = 12;
inline constexpr int kSavedNotice = 13;
inline constexpr int kCurrentTextCaption = 14;
inline constexpr int kTestNotice = 15;
inline constexpr int kCountedNotice = 16;
inline constexpr int kClock = 17;
inline constexpr int kSentCountCaption = 19;
inline constexpr int kSentCount = 20;
inline constexpr int kPortField = 24;
inline constexpr int kToneField = 26;
inline constexpr int kDotField = 28;
inline constexpr int kTextField = 30;
inline constexpr int kCarrierField = 32;
inline constexpr int kCarrierPauseField = 34;
inline constexpr int kRepeatPauseField = 36;
inline constexpr int kCountField = 38;
inline constexpr int kStartField = 40;
inline constexpr int kStopField = 42;
inline constexpr int kSaveButton = 45;
inline constexpr int kFetchTimeButton = 46;
inline constexpr int kFindPortsButton = 47;
inline constexpr int kTestButton = 48;
inline constexpr int kCountedButton = 49;
inline constexpr int kTimedButton = 50;
inline constexpr int kInfoButton = 51;
inline constexpr int kQuitButton = 53;
}  // namespace wid

inline constexpr platform::Rgb kWhite{255, 255, 255};
inline constexpr platform::Rgb kBannerBlue{100, 100, 255};
inline constexpr platform::Rgb kHintGrey{100, 100, 100};

// "Morsello version 005" followed by 90 spaces.
std::string window_title();

// The banner label; made before the settings are loaded.
void build_banner(App& app);
// Every other widget of the form, from the settings model.
void build_form(App& app);

// Creates a plain (or sunken) label in the main window anew under `number`.
void place_label(App& app, int number, int x, int y, int w, int h, const std::string& text,
                 bool sunken = false);
// Creates an edit field in the main window anew under `number`.
void place_field(App& app, int number, int x, int y, int w, int h, const std::string& text);

}  // namespace morsello
