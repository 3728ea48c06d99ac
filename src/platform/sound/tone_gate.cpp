#include "platform/sound/tone_gate.h"

#include <algorithm>
#include <cmath>

namespace morsello::platform::sound {

namespace {

// Spare frames on top of the latency estimate: covers a request queued while
// a callback was reading the queue, and the device drifting against the
// monotonic clock during a long burst (a 100 ppm clock gains 1 ms in 10 s).
constexpr std::int64_t kMarginMs = 1;
// The first callbacks prime the device's buffer ahead of its steady rhythm;
// their leads are left out of the estimate once these have passed.
constexpr std::uint64_t kSettleCallbacks = 4;

}  // namespace

std::int64_t frame_for(std::int64_t t_ns, std::int64_t t_ref_ns, int rate, std::int64_t anchor) {
  const double frames = static_cast<double>(t_ns - t_ref_ns) * rate * 1e-9;
  return static_cast<std::int64_t>(std::llround(frames)) + anchor;
}

std::uint64_t ToneGate::push(const Request& r) {
  const std::uint64_t w = write_.load(std::memory_order_relaxed);
  ring_[w % kCapacity] = r;
  write_.store(w + 1, std::memory_order_release);
  return r.seq;
}

std::uint64_t ToneGate::request_on(const Tone* tone, std::int64_t t_ns, bool playing) {
  const std::uint64_t used =
      write_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire);
  const std::size_t free_slots = kCapacity - static_cast<std::size_t>(used);
  // After this start, the free slots must still cover every stop owed.
  const std::size_t owed = reserved_ + (playing ? 0 : 1);
  if (free_slots < owed + 1) return 0;
  reserved_ = owed;
  return push(Request{next_seq_++, t_ns, tone, true});
}

std::uint64_t ToneGate::request_off(const Tone* tone, std::int64_t t_ns) {
  if (reserved_ > 0) --reserved_;
  return push(Request{next_seq_++, t_ns, tone, false});
}

// The latency estimate. A callback at time t fills the frames from `position_`
// on; their lead over the time-based frame count, position_ - (t - t_ref) *
// rate, is how far ahead of the clock the output is being written. A request
// seen by this callback was made at most one callback earlier, so with the
// anchor set to the largest lead plus the largest callback size of the recent
// window, its frame is never already written, and its latency is constant.
// The anchor moves only while the gate is idle (no tone sounding, nothing
// queued), so a burst's start and stop always share one anchor; between bursts
// it follows the device's clock drift.
void ToneGate::update_anchor(std::int64_t now_ns, std::uint32_t frames) {
  if (first_) {
    first_ = false;
    t_ref_ = now_ns;
  }
  if (callbacks_.load(std::memory_order_relaxed) == kSettleCallbacks) {
    window_fill_ = 0;
    window_next_ = 0;
  }
  const double lead =
      static_cast<double>(position_) - static_cast<double>(now_ns - t_ref_) * rate_ * 1e-9;
  leads_[window_next_] = lead;
  sizes_[window_next_] = frames;
  window_next_ = (window_next_ + 1) % kWindow;
  window_fill_ = std::min(window_fill_ + 1, kWindow);

  const bool idle = voice_ == nullptr &&
                    read_.load(std::memory_order_relaxed) == write_.load(std::memory_order_acquire);
  if (!idle) return;
  double max_lead = leads_[0];
  std::uint32_t max_size = 0;
  for (std::size_t i = 0; i < window_fill_; ++i) {
    max_lead = std::max(max_lead, leads_[i]);
    max_size = std::max(max_size, sizes_[i]);
  }
  anchor_ = static_cast<std::int64_t>(std::ceil(max_lead)) + max_size + kMarginMs * rate_ / 1000;
  anchor_pub_.store(anchor_, std::memory_order_relaxed);
}

void ToneGate::fill(float* out, std::uint32_t from, std::uint32_t to) {
  if (voice_ == nullptr) {
    std::fill(out + from, out + to, 0.0f);
    return;
  }
  const auto& s = voice_->samples;
  for (std::uint32_t i = from; i < to; ++i) {
    out[i] = s[phase_];
    if (++phase_ == s.size()) phase_ = 0;
  }
}

void ToneGate::render(float* out, std::uint32_t frames, std::int64_t now_ns) {
  update_anchor(now_ns, frames);
  std::uint32_t done = 0;
  std::uint64_t r = read_.load(std::memory_order_relaxed);
  while (r != write_.load(std::memory_order_acquire)) {
    const Request req = ring_[r % kCapacity];
    const std::int64_t at =
        frame_for(req.t_ns, t_ref_, rate_, anchor_) - static_cast<std::int64_t>(position_);
    if (at >= static_cast<std::int64_t>(frames)) break;  // a later callback's frame
    std::uint32_t start = done;
    if (at > static_cast<std::int64_t>(done)) {
      start = static_cast<std::uint32_t>(at);
    } else if (at < static_cast<std::int64_t>(done)) {
      late_.fetch_add(1, std::memory_order_relaxed);
    }
    fill(out, done, start);
    done = start;
    if (req.on) {
      voice_ = req.tone->samples.empty() ? nullptr : req.tone;
      phase_ = 0;
    } else if (voice_ == req.tone) {
      voice_ = nullptr;
    }
    read_.store(++r, std::memory_order_release);
    applied_.store(req.seq, std::memory_order_release);
  }
  fill(out, done, frames);
  position_ += frames;
  callbacks_.fetch_add(1, std::memory_order_release);
}

}  // namespace morsello::platform::sound
