// The settings file's bytes, as written and as read back.
#include <gtest/gtest.h>

#include "core/settings/settings.h"

namespace morsello::settings {
namespace {

TEST(SettingsFormat, WriteStepPadsKeysToNineAndEndsLinesWithCrLf) {
  SettingsTable t;
  for (int i = 0; i < kSettingsCount; ++i) t[i] = {key_of(i), ""};
  t[0].value = "800";
  t[2].value = " ÅÄÖ ";
  const std::string out = write_step(t);
  EXPECT_EQ(out.substr(0, 14), std::string("TK001    800\r\n"));
  EXPECT_EQ(out.substr(25, 19), std::string("TK003     \xC3\x85\xC3\x84\xC3\x96 \r\n"));
  EXPECT_EQ(out.size(), 10u * 11 + 3 + 8);
}

struct Read {
  const char* name;
  std::string file;
  const char* key;
  std::string expected;
};

TEST(SettingsFormat, ReaderToleratesWhatOtherEditorsWrite) {
  const Read cases[] = {
      {"LF ends", "TK001    800\nTK002    50\n", "TK002", "50"},
      {"CR ends", "TK001    800\rTK002    50\r", "TK002", "50"},
      {"CR LF ends", "TK001    800\r\nTK002    50\r\n", "TK001", "800"},
      {"no final end", "TK001    800\r\nTK002    50", "TK002", "50"},
      {"any order", "TK010    b\r\nTK001    a\r\n", "TK001", "a"},
      {"last wins", "TK001    800\r\nTK001    700\r\n", "TK001", "700"},
      {"lower-case key", "tk001    800\r\n", "TK001", ""},
      {"tab after key", "TK001\t   800\r\n", "TK001", ""},
      {"byte-order mark", "\xEF\xBB\xBFTK001    800\r\n", "TK001", ""},
      {"key only", "TK001\r\n", "TK001", ""},
      {"extra spaces kept", "TK001      800 \r\n", "TK001", "  800 "},
      {"unknown keys ignored", "XX001    1\r\nTK001    2\r\nTK0011   3\r\n", "TK001", "2"},
      {"invalid UTF-8 kept", "TK003    A\xFF\xFE" "B\r\n", "TK003", "A\xFF\xFE" "B"},
      {"empty lines", "\r\n\r\nTK004    4000\r\n", "TK004", "4000"},
      {"no such key", "TK001    800\r\n", "TK002", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(value_in(c.file, c.key), c.expected) << c.name;
}

}  // namespace
}  // namespace morsello::settings
