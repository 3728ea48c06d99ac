// A fixture for operator stories on the simulated platform: script the
// operator, run the program, then compare what it did. A failing story
// prints the whole recorded timeline.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/shell/form.h"
#include "core/shell/shell.h"
#include "platform/sim/sim_platform.h"

namespace morsello::test {

// Bytes the test process holds on the heap (heap_counter.cpp).
std::int64_t live_heap_bytes();

class Story : public ::testing::Test {
 protected:
  void TearDown() override {
    if (HasFailure()) std::cerr << "timeline:\n" << sim.timeline();
  }

  // Runs the program to its end; the story must end it (Escape or "Avsluta").
  int run() { return run_program(sim.platform()); }

  // Ends the story at `t` with an Escape press and release.
  void escape_at(std::int64_t t) { sim.escape_down(t, t + 300); }

  // The texts a widget number showed, in order of creation.
  std::vector<std::string> texts_of(int number) const {
    std::vector<std::string> out;
    for (const auto& rec : sim.creations())
      if (rec.spec.number == number) out.push_back(rec.spec.text);
    return out;
  }

  std::string text_of(int number) const {
    const auto* w = sim.widget(number);
    return w ? w->spec.text : std::string("<no widget>");
  }

  // The bytes written on the keying line, as a string.
  std::string line_bytes() const {
    std::string out;
    for (const auto& b : sim.bytes()) out += b.byte;
    return out;
  }

  sim::SimPlatform sim;
};

}  // namespace morsello::test
