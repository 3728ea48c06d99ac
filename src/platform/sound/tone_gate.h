// The side tone's on/off switch between the user-interface thread and the
// audio callback, with no locks: the UI thread queues each start and stop with
// the monotonic time it was asked for, and the callback carries each out at the
// output frame that plays a fixed latency after that time. Every burst then
// lasts exactly as long as its request span, whatever the device's period.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

namespace morsello::platform::sound {

// One period of a tone, played looped. Read by the audio thread while it plays.
struct Tone {
  std::vector<float> samples;
  std::uint64_t last_seq = 0;  // UI thread only: the last request naming this tone
};

class ToneGate {
 public:
  static constexpr std::size_t kCapacity = 256;  // queued requests
  static constexpr std::size_t kWindow = 128;    // callbacks behind the latency estimate

  explicit ToneGate(int sample_rate) : rate_(sample_rate) {}

  // ---- user-interface thread
  // Starts `tone` from its first sample at time `t_ns`. `playing` tells that
  // the tone is already on (a restart). Returns the request's sequence number,
  // or 0 when the queue has no room (the device has stalled): the request is
  // dropped, and a tone that did not start needs no stop.
  std::uint64_t request_on(const Tone* tone, std::int64_t t_ns, bool playing);
  // Stops `tone` at `t_ns` if it is still the one sounding; only for a tone
  // whose start was accepted. Always accepted: every start reserves its stop.
  std::uint64_t request_off(const Tone* tone, std::int64_t t_ns);
  // Sequence number of the last request the callback has carried out; a tone
  // whose last_seq is at most this is no longer used by the audio thread.
  std::uint64_t applied() const { return applied_.load(std::memory_order_acquire); }
  std::uint64_t callbacks() const { return callbacks_.load(std::memory_order_acquire); }
  // Requests that came too late for their frame and were carried out at the
  // start of a callback instead (their burst is that much off).
  std::uint64_t late() const { return late_.load(std::memory_order_relaxed); }
  // Current distance in frames from a request's time to its output frame,
  // measured from the device's first callback; for diagnostics.
  std::int64_t anchor_frames() const { return anchor_pub_.load(std::memory_order_relaxed); }

  // ---- audio thread
  // Fills `frames` mono samples; `now_ns` is the monotonic time of this call.
  void render(float* out, std::uint32_t frames, std::int64_t now_ns);

 private:
  struct Request {
    std::uint64_t seq;
    std::int64_t t_ns;
    const Tone* tone;
    bool on;
  };

  std::uint64_t push(const Request& r);
  void update_anchor(std::int64_t now_ns, std::uint32_t frames);
  void fill(float* out, std::uint32_t from, std::uint32_t to);

  const int rate_;

  // Single producer (UI thread), single consumer (audio thread).
  std::array<Request, kCapacity> ring_{};
  std::atomic<std::uint64_t> write_{0};
  std::atomic<std::uint64_t> read_{0};
  std::atomic<std::uint64_t> applied_{0};
  std::atomic<std::uint64_t> callbacks_{0};
  std::atomic<std::uint64_t> late_{0};
  std::atomic<std::int64_t> anchor_pub_{0};

  // UI thread only.
  std::uint64_t next_seq_ = 1;
  std::size_t reserved_ = 0;  // stops owed to accepted starts

  // Audio thread only.
  bool first_ = true;
  std::int64_t t_ref_ = 0;      // time of the first callback
  std::uint64_t position_ = 0;  // frames rendered so far
  std::array<double, kWindow> leads_{};
  std::array<std::uint32_t, kWindow> sizes_{};
  std::size_t window_fill_ = 0;
  std::size_t window_next_ = 0;
  std::int64_t anchor_ = 0;
  const Tone* voice_ = nullptr;
  std::size_t phase_ = 0;
};

// The frame a request made at `t_ns` lands on: its time measured in frames
// from the first callback at `t_ref_ns`, plus `anchor` frames.
std::int64_t frame_for(std::int64_t t_ns, std::int64_t t_ref_ns, int rate, std::int64_t anchor);

}  // namespace morsello::platform::sound
