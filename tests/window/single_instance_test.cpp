// The single-instance policy with a scripted primitive: when a start owns the session, hands over
// to the running instance, or runs alone, and that it never waits long or spins.
#include <gtest/gtest.h>

#include <vector>

#include "window/single_instance.h"

namespace tonvela {
namespace {

using namespace std::chrono_literals;

// Answers tryToOwn from a script (its last answer repeats); the owner answers from a given ask on.
struct ScriptedPrimitive {
  Ownership tryToOwn() {
    const Ownership answer = ownership[std::min(tries, ownership.size() - 1)];
    ++tries;
    return answer;
  }
  void listen() { listening = true; }
  bool askOwnerToComeForward() { return ++asks >= ownerAnswersOnAsk && ownerAnswersOnAsk > 0; }

  std::vector<Ownership> ownership;
  int ownerAnswersOnAsk = 0;  // 0: never
  std::size_t tries = 0;
  int asks = 0;
  bool listening = false;
};

constexpr InstancePatience kPatience{100ms, 10ms};
// Asking once per pause at the most: a start that cannot reach the owner does not spin.
constexpr int kMostAsks = kPatience.total / kPatience.betweenTries + 1;

TEST(SingleInstance, EachStartOwnsHandsOverOrRunsAlone) {
  struct Case {
    const char* name;
    std::vector<Ownership> ownership;
    int ownerAnswersOnAsk;
    InstanceStart expected;
    bool listens;
  };
  using enum Ownership;
  const Case cases[] = {
      {"the first start owns the session and listens", {Owned}, 0, InstanceStart::First, true},
      {"a later start hands over", {HeldByAnother}, 1, InstanceStart::HandedOver, false},
      {"the owner answers once it listens", {HeldByAnother}, 3, InstanceStart::HandedOver, false},
      {"the owner ended meanwhile", {HeldByAnother, HeldByAnother, Owned}, 0, InstanceStart::First,
       true},
      {"no private place for the session", {Unusable}, 0, InstanceStart::Alone, false},
      {"a hung owner", {HeldByAnother}, 0, InstanceStart::Alone, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPrimitive primitive{c.ownership, c.ownerAnswersOnAsk};
    EXPECT_EQ(startInstance(primitive, kPatience), c.expected);
    EXPECT_EQ(primitive.listening, c.listens);
    EXPECT_LE(primitive.asks, kMostAsks);
  }
}

TEST(SingleInstance, AStartThatCannotReachTheOwnerKeepsTryingForThePatienceOnly) {
  ScriptedPrimitive primitive{{Ownership::HeldByAnother}};
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(startInstance(primitive, kPatience), InstanceStart::Alone);
  EXPECT_GE(std::chrono::steady_clock::now() - started, kPatience.total);
  EXPECT_GE(primitive.asks, 2);
  EXPECT_LE(primitive.asks, kMostAsks);
}

}  // namespace
}  // namespace tonvela
