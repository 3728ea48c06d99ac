// The settings file as the operator meets it: first start, "Spara", a file
// edited by hand, and files that cannot be read or written.
#include "core/settings/settings.h"
#include "story.h"

namespace morsello::test {
namespace {

const int kFields[] = {wid::kToneField,         wid::kDotField,   wid::kTextField,
                       wid::kCarrierField,      wid::kRepeatPauseField, wid::kCountField,
                       wid::kCarrierPauseField, wid::kPortField,  wid::kStartField,
                       wid::kStopField};  // in key order TK001..TK010

std::string ten_lines(const std::vector<std::string>& values) {
  std::string out;
  for (int i = 0; i < 10; ++i) out += settings::key_of(i) + "    " + values[i] + "\r\n";
  return out;
}

TEST_F(Story, SaveWritesEveryFieldInKeyOrderConfirmsAndRebuilds) {
  const std::vector<std::string> typed{"700", "60", " CQ ÅÄÖ ", "0",  "3000",
                                       "2",   "500", "COM4",    "2026-01-01 00:00", ""};
  for (int i = 0; i < 10; ++i) sim.set_field(100, kFields[i], typed[i]);
  sim.click(200, wid::kSaveButton);
  escape_at(2000);
  run();

  EXPECT_EQ(sim.file("taktell.cnf"), ten_lines(typed));
  EXPECT_EQ(texts_of(wid::kSavedNotice), (std::vector<std::string>{"Data är sparad", " "}));
  ASSERT_EQ(sim.beeps().size(), 2u);
  EXPECT_EQ(sim.beeps()[0].hz, 800);
  EXPECT_EQ(sim.beeps()[0].ms, 300);
  EXPECT_EQ(sim.beeps()[1].hz, 600);
  EXPECT_EQ(sim.beeps()[1].t, sim.beeps()[0].t + 300);
  const auto* notice = sim.widget(wid::kSavedNotice);
  EXPECT_EQ(notice, nullptr);  // gone with the rebuild
  EXPECT_EQ(sim.window_opens(win::kMain), 2);
  // The rebuilt form shows what the file holds, spaces and letters intact.
  for (int i = 0; i < 10; ++i) EXPECT_EQ(text_of(kFields[i]), typed[i]) << kFields[i];
}

TEST_F(Story, SaveWithEveryFieldEmptyWritesTenBareKeys) {
  for (int f : kFields) sim.set_field(100, f, "");
  sim.click(200, wid::kSaveButton);
  escape_at(2000);
  run();
  const std::string file = *sim.file("taktell.cnf");
  EXPECT_EQ(file, ten_lines(std::vector<std::string>(10, "")));
  EXPECT_EQ(file.size(), 110u);
  for (int f : kFields) EXPECT_EQ(text_of(f), "") << f;
}

TEST_F(Story, AHandEditedFileLoadsAsWrittenAndIsNotCompleted) {
  sim.write_file("taktell.cnf", "TK003    HELLO  \nTK001      900\rtk002    99\nTK003    LAST\r\n");
  escape_at(500);
  run();
  EXPECT_EQ(text_of(wid::kTextField), "LAST");
  EXPECT_EQ(text_of(wid::kToneField), "  900");
  // Keys the file lacks load as empty text, not as the previous key's value.
  EXPECT_EQ(text_of(wid::kDotField), "");
  EXPECT_EQ(text_of(wid::kPortField), "");
  EXPECT_EQ(sim.file("taktell.cnf")->find("TK004"), std::string::npos);
}

TEST_F(Story, AnUnreadableFileGetsTheDefaultsAppendedAndTenBoxes) {
  sim.write_file("taktell.cnf", "OLD\r\n");
  sim.fail_file_reads(true);
  escape_at(500);
  run();
  ASSERT_EQ(sim.boxes().size(), 10u);
  for (const auto& b : sim.boxes()) {
    EXPECT_EQ(b.title, "Information");
    EXPECT_EQ(b.text, "Couldn't open the file");
  }
  const std::string file = *sim.file("taktell.cnf");
  EXPECT_EQ(file.substr(0, 5), "OLD\r\n");  // kept, the defaults after it
  EXPECT_EQ(file.size(), 5u + 181u);
  for (int f : kFields) EXPECT_EQ(text_of(f), "") << f;
}

TEST_F(Story, AFailedSaveSaysSoAndKeepsTheOldFile) {
  const std::string old = ten_lines({"800", "50", "OLD", "0", "1", "2", "3", "", "", ""});
  sim.write_file("taktell.cnf", old);
  sim.fail_file_writes(true);  // a full disk or a read-only file
  sim.set_field(100, wid::kToneField, "700");
  sim.click(200, wid::kSaveButton);
  escape_at(2000);
  run();
  EXPECT_EQ(sim.file("taktell.cnf"), old);
  ASSERT_EQ(sim.boxes().size(), 1u);
  EXPECT_EQ(sim.boxes()[0].text, "Inställningarna kunde inte sparas i taktell.cnf");
  for (const auto& t : texts_of(wid::kSavedNotice)) EXPECT_NE(t, "Data är sparad");
  EXPECT_EQ(sim.beeps().size(), 2u);
  EXPECT_EQ(sim.window_opens(win::kMain), 2);
  EXPECT_EQ(text_of(wid::kToneField), "800");  // what the file still holds
  EXPECT_EQ(text_of(wid::kTextField), "OLD");
}

}  // namespace
}  // namespace morsello::test
