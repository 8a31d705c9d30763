#include "platform/sound/pulse/pulse_playback.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/program_identity.h"
#include "platform/sound/playable_rates.h"

namespace tonvela {
namespace {

using SteadyClock = std::chrono::steady_clock;

// The stream keeps this much ahead of the sink, what the server gives a client that asks for
// nothing (paplay): a player held up by a busy machine for less than that is heard without a gap.
// A tenth of it ran dry in the middle of a sound in about one playback in ten beside two busy
// cores (bench/sound/recording_rates.sh).
constexpr pa_usec_t kBufferedUs = 2 * PA_USEC_PER_SEC;
// It is topped up in steps of this, which with early requests is also all the sink holds: a stop
// is heard at once even on a sink that cannot take back what it has already rendered.
constexpr pa_usec_t kRequestUs = 50 * PA_USEC_PER_MSEC;
// A length beyond this is a damaged header, not a sound; it would only push the deadline away.
constexpr double kLongestSoundSeconds = 24.0 * 3600.0;

struct ProplistDeleter {
  void operator()(pa_proplist* list) const { pa_proplist_free(list); }
};
using Proplist = std::unique_ptr<pa_proplist, ProplistDeleter>;

SteadyClock::duration soundLength(const AudioSource& source) {
  double seconds = static_cast<double>(source.frames()) / source.sampleRate();
  seconds = std::clamp(seconds, 0.0, kLongestSoundSeconds);
  return std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(seconds));
}

// One connection, one stream, one sound: everything is made and freed within a single call.
class PulseSession {
 public:
  PulseSession(AudioSource& source, const std::string& mediaName, const PulseOptions& options,
               std::stop_token stop)
      : source_(source), mediaName_(mediaName), options_(options), stop_(std::move(stop)) {}
  ~PulseSession();
  PulseSession(const PulseSession&) = delete;
  PulseSession& operator=(const PulseSession&) = delete;

  PlaybackOutcome play();

 private:
  // Where the session is: the server's answers move it on; a failure is final, wherever it came.
  enum class Phase {
    Connecting,   // until the server has accepted the connection
    Filling,      // the stream takes the sound as fast as the server asks for it
    Draining,     // every sample is written; the server has been asked to drain
    Drained,      // the server has taken the last sample into its device buffer
    TimingKnown,  // how long the device buffer still plays is known
    Failed,       // the connection, the stream, a write or the drain failed
  };
  enum class Wait { Done, Failed, TimedOut, Stopped };

  bool connect();
  bool createStream();
  Wait runUntil(const std::function<bool()>& done, SteadyClock::time_point deadline);
  Wait runUntilPhase(Phase phase, SteadyClock::time_point deadline);
  std::optional<PlaybackOutcome> outcomeOf(Wait wait) const;
  void advanceTo(Phase phase);
  void fillStream(std::size_t bytesWanted);
  void startDrain();
  Wait waitForPlayout(SteadyClock::time_point deadline);
  std::size_t frameBytes() const {
    return sizeof(float) * static_cast<std::size_t>(source_.channels());
  }

  static void onContextState(pa_context* context, void* self);
  static void onStreamState(pa_stream* stream, void* self);
  static void onWriteRequest(pa_stream* stream, std::size_t bytes, void* self);
  static void onDrained(pa_stream* stream, int success, void* self);
  static void onTimingUpdated(pa_stream* stream, int success, void* self);

  AudioSource& source_;
  const std::string& mediaName_;
  const PulseOptions& options_;
  std::stop_token stop_;
  pa_mainloop* mainloop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  Phase phase_ = Phase::Connecting;
  std::int64_t framesWritten_ = 0;
};

PulseSession::~PulseSession() {
  if (stream_ != nullptr) {
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
  }
  if (context_ != nullptr) {
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
  }
  if (mainloop_ != nullptr) {
    pa_mainloop_free(mainloop_);
  }
}

PulseSession::Wait PulseSession::runUntil(const std::function<bool()>& done,
                                          SteadyClock::time_point deadline) {
  // The wake-up makes a stop from another thread end the poll at once, not at its timeout.
  std::stop_callback wakeOnStop(stop_, [this] { pa_mainloop_wakeup(mainloop_); });
  while (!done()) {
    if (stop_.stop_requested()) {
      return Wait::Stopped;
    }
    if (phase_ == Phase::Failed) {
      return Wait::Failed;
    }
    auto remaining = deadline - SteadyClock::now();
    if (remaining <= SteadyClock::duration::zero()) {
      return Wait::TimedOut;
    }
    auto micros = std::chrono::duration_cast<std::chrono::microseconds>(remaining).count();
    // Rounded up so the loop does not spin through the last fraction of a microsecond.
    int timeout = static_cast<int>(std::min<long long>(micros + 1, INT_MAX));
    if (pa_mainloop_prepare(mainloop_, timeout) < 0 || pa_mainloop_poll(mainloop_) < 0 ||
        pa_mainloop_dispatch(mainloop_) < 0) {
      return Wait::Failed;
    }
  }
  return Wait::Done;
}

PulseSession::Wait PulseSession::runUntilPhase(Phase phase, SteadyClock::time_point deadline) {
  return runUntil([this, phase] { return phase_ == phase; }, deadline);
}

// The one reading of how a wait ended: nothing when it reached its goal, else why the playback
// ends. A failure before there is a stream can only be the connection's: no server to play on.
std::optional<PlaybackOutcome> PulseSession::outcomeOf(Wait wait) const {
  switch (wait) {
    case Wait::Done:
      return std::nullopt;
    case Wait::Failed:
      break;
    case Wait::TimedOut:
      return PlaybackOutcome::TimedOut;
    case Wait::Stopped:
      return PlaybackOutcome::Stopped;
  }
  if (stream_ == nullptr) {
    return PlaybackOutcome::NoServer;
  }
  return source_.failed() ? PlaybackOutcome::SourceFailed : PlaybackOutcome::ServerFailed;
}

// A failure is final: no later callback may move the session on from it.
void PulseSession::advanceTo(Phase phase) {
  if (phase_ != Phase::Failed) {
    phase_ = phase;
  }
}

bool PulseSession::connect() {
  mainloop_ = pa_mainloop_new();
  if (mainloop_ == nullptr) {
    return false;
  }
  Proplist props(pa_proplist_new());
  const std::string name(kProgramName);
  pa_proplist_sets(props.get(), PA_PROP_APPLICATION_NAME, name.c_str());
  pa_proplist_sets(props.get(), PA_PROP_APPLICATION_ID, std::string(kProgramId).c_str());
  pa_proplist_sets(props.get(), PA_PROP_APPLICATION_ICON_NAME,
                   std::string(kProgramIconName).c_str());
  context_ =
      pa_context_new_with_proplist(pa_mainloop_get_api(mainloop_), name.c_str(), props.get());
  if (context_ == nullptr) {
    return false;
  }
  pa_context_set_state_callback(context_, &PulseSession::onContextState, this);
  const char* server = options_.serverAddress.empty() ? nullptr : options_.serverAddress.c_str();
  // No autospawn: starting a sound server is the desktop's business, and it could take long.
  return pa_context_connect(context_, server, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
}

bool PulseSession::createStream() {
  pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(source_.sampleRate()),
                      static_cast<std::uint8_t>(source_.channels())};
  pa_channel_map map;
  pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_WAVEEX);
  Proplist props(pa_proplist_new());
  // "event": the desktop mixer lists it with its own volume, under the system-sounds control.
  pa_proplist_sets(props.get(), PA_PROP_MEDIA_ROLE, "event");
  pa_proplist_sets(props.get(), PA_PROP_MEDIA_NAME, mediaName_.c_str());
  stream_ = pa_stream_new_with_proplist(context_, mediaName_.c_str(), &spec, &map, props.get());
  if (stream_ == nullptr) {
    return false;
  }
  pa_stream_set_state_callback(stream_, &PulseSession::onStreamState, this);
  pa_stream_set_write_callback(stream_, &PulseSession::onWriteRequest, this);
  // prebuf left to the server: it starts the sound only once the buffer is full, or at the drain
  // of a sound shorter than that, so a sound that fits is wholly in the server before it begins.
  pa_buffer_attr buffer{};
  buffer.maxlength = UINT32_MAX;
  buffer.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kBufferedUs, &spec));
  buffer.prebuf = UINT32_MAX;
  buffer.minreq = static_cast<std::uint32_t>(pa_usec_to_bytes(kRequestUs, &spec));
  buffer.fragsize = UINT32_MAX;
  return pa_stream_connect_playback(stream_, nullptr, &buffer, PA_STREAM_EARLY_REQUESTS, nullptr,
                                    nullptr) >= 0;
}

// Writes straight into the server's buffer, chunk by chunk, so no copy of the sound is kept.
void PulseSession::fillStream(std::size_t bytesWanted) {
  while (phase_ == Phase::Filling && bytesWanted >= frameBytes()) {
    void* buffer = nullptr;
    std::size_t bytes = bytesWanted;
    if (pa_stream_begin_write(stream_, &buffer, &bytes) < 0) {
      advanceTo(Phase::Failed);
      return;
    }
    std::size_t maxFrames = std::min(bytes, bytesWanted) / frameBytes();
    std::size_t frames = maxFrames == 0 ? 0 : source_.read(static_cast<float*>(buffer), maxFrames);
    if (frames == 0) {
      pa_stream_cancel_write(stream_);
      startDrain();
      return;
    }
    if (pa_stream_write(stream_, buffer, frames * frameBytes(), nullptr, 0, PA_SEEK_RELATIVE) < 0) {
      advanceTo(Phase::Failed);
      return;
    }
    framesWritten_ += static_cast<std::int64_t>(frames);
    bytesWanted -= frames * frameBytes();
    // Known end: drain now rather than wait for the server to ask for more.
    if (framesWritten_ >= source_.frames()) {
      startDrain();
    }
  }
}

void PulseSession::startDrain() {
  advanceTo(Phase::Draining);
  pa_operation* operation = pa_stream_drain(stream_, &PulseSession::onDrained, this);
  if (operation == nullptr) {
    advanceTo(Phase::Failed);
    return;
  }
  pa_operation_unref(operation);
}

PlaybackOutcome PulseSession::play() {
  const auto start = SteadyClock::now();
  if (!connect()) {
    return PlaybackOutcome::NoServer;
  }
  auto contextReady = [this] { return pa_context_get_state(context_) == PA_CONTEXT_READY; };
  if (auto ended = outcomeOf(runUntil(contextReady, start + options_.connectTimeout))) {
    return *ended;
  }
  if (!createStream()) {
    return PlaybackOutcome::ServerFailed;
  }
  advanceTo(Phase::Filling);
  const auto deadline = start + soundLength(source_) + options_.deadlineSlack;
  if (auto ended = outcomeOf(runUntilPhase(Phase::Drained, deadline))) {
    return *ended;
  }
  // A source that stopped early still ends in a drain: what it gave was played, but not the sound.
  if (source_.failed()) {
    return PlaybackOutcome::SourceFailed;
  }
  return outcomeOf(waitForPlayout(deadline)).value_or(PlaybackOutcome::Played);
}

// The server acknowledges a drain once the sink has taken the last sample into its device
// buffer, not once it has been heard; what is still in that buffer is waited out here, so the
// call does not return while the sound is still playing.
PulseSession::Wait PulseSession::waitForPlayout(SteadyClock::time_point deadline) {
  pa_operation* operation =
      pa_stream_update_timing_info(stream_, &PulseSession::onTimingUpdated, this);
  if (operation == nullptr) {
    advanceTo(Phase::Failed);
    return Wait::Failed;
  }
  pa_operation_unref(operation);
  if (Wait wait = runUntilPhase(Phase::TimingKnown, deadline); wait != Wait::Done) {
    return wait;
  }
  pa_usec_t latency = 0;
  int negative = 0;
  if (pa_stream_get_latency(stream_, &latency, &negative) != 0 || negative != 0) {
    return Wait::Done;  // nothing left to hear
  }
  auto playedOut = std::min(deadline, SteadyClock::now() + std::chrono::microseconds(latency));
  // Nothing ends this wait early but a stop or a failure: its timeout is the goal.
  Wait wait = runUntil([] { return false; }, playedOut);
  return wait == Wait::TimedOut ? Wait::Done : wait;
}

void PulseSession::onContextState(pa_context* context, void* self) {
  pa_context_state_t state = pa_context_get_state(context);
  if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
    static_cast<PulseSession*>(self)->advanceTo(Phase::Failed);
  }
}

void PulseSession::onStreamState(pa_stream* stream, void* self) {
  pa_stream_state_t state = pa_stream_get_state(stream);
  if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
    static_cast<PulseSession*>(self)->advanceTo(Phase::Failed);
  }
}

void PulseSession::onWriteRequest(pa_stream*, std::size_t bytes, void* self) {
  static_cast<PulseSession*>(self)->fillStream(bytes);
}

void PulseSession::onDrained(pa_stream*, int success, void* self) {
  static_cast<PulseSession*>(self)->advanceTo(success != 0 ? Phase::Drained : Phase::Failed);
}

void PulseSession::onTimingUpdated(pa_stream*, int, void* self) {
  static_cast<PulseSession*>(self)->advanceTo(Phase::TimingKnown);
}

}  // namespace

bool pulseCanTake(int sampleRate, int channels) {
  if (channels < 1 || channels > static_cast<int>(PA_CHANNELS_MAX) || !isPlayableRate(sampleRate) ||
      static_cast<std::uint32_t>(sampleRate) > PA_RATE_MAX) {
    return false;
  }
  pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(sampleRate),
                      static_cast<std::uint8_t>(channels)};
  return pa_sample_spec_valid(&spec) != 0 && pa_channels_valid(spec.channels) != 0;
}

PlaybackOutcome playThroughPulse(AudioSource& source, const std::string& mediaName,
                                 const PulseOptions& options, std::stop_token stop) {
  if (!pulseCanTake(source.sampleRate(), source.channels()) || source.frames() <= 0) {
    return PlaybackOutcome::Unplayable;
  }
  PulseSession session(source, mediaName, options, std::move(stop));
  return session.play();
}

}  // namespace tonvela
