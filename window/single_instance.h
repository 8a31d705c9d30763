#pragma once

#include <chrono>
#include <concepts>
#include <thread>

namespace tonvela {

// What a front-end's instance primitive reports when it tries to own the user's session.
enum class Ownership {
  Owned,         // this start now holds the session's instance
  HeldByAnother, // a running (or just starting) instance holds it
  Unusable,      // no private place to hold it in, or it cannot be held: run alone
};

// The platform's way to be the one instance of the user's session: a lock no crash can leave
// stale (a killed owner's is free again) and a way for later starts to reach the owner. Nothing
// of it may wait: every call returns at once.
template <typename T>
concept InstancePrimitive = requires(T primitive) {
  { primitive.tryToOwn() } -> std::same_as<Ownership>;
  // Starts taking requests to come forward; called once, when owned.
  primitive.listen();
  // True when the owner was reached and asked to come forward (it does so as soon as its event
  // loop is free).
  { primitive.askOwnerToComeForward() } -> std::convertible_to<bool>;
};

enum class InstanceStart {
  First,       // the session's instance: it listens for later starts
  HandedOver,  // another instance runs and was asked to come forward: end with status 0
  Alone,       // runs without a single instance
};

struct InstancePatience {
  // How long a start waits for an owner that holds the session but does not answer yet.
  std::chrono::milliseconds total{500};
  std::chrono::milliseconds betweenTries{20};
};

// One reminder per user and session: the first start owns it, a later start hands over to the
// running one and ends. Never waits long: an owner that does not answer within the patience (hung,
// or still starting), or a session that cannot be owned at all, leaves this start running alone,
// since two reminders are better than none.
template <InstancePrimitive Primitive>
InstanceStart startInstance(Primitive& primitive, InstancePatience patience = {}) {
  const auto deadline = std::chrono::steady_clock::now() + patience.total;
  while (true) {
    switch (primitive.tryToOwn()) {
      case Ownership::Owned:
        primitive.listen();
        return InstanceStart::First;
      case Ownership::Unusable:
        return InstanceStart::Alone;
      case Ownership::HeldByAnother:
        if (primitive.askOwnerToComeForward()) {
          return InstanceStart::HandedOver;
        }
        break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return InstanceStart::Alone;
    }
    std::this_thread::sleep_for(patience.betweenTries);
  }
}

}  // namespace tonvela
