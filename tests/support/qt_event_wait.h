// PumpEventsUntil: WaitUntil for tests with a Qt event loop on the test
// thread, which keeps that loop running while it waits. Header only, so that
// the support library itself needs no Qt. Test thread only.
#pragma once

#include <QCoreApplication>
#include <chrono>
#include <functional>

#include "support/wait_until.h"

namespace orvik::testing {

// Processes the test thread's events until `done` returns true or `limit`
// has passed; returns the last answer of `done`.
inline bool PumpEventsUntil(const std::function<bool()>& done,
                            std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  return WaitUntil(
      [&done] {
        QCoreApplication::processEvents();
        return done();
      },
      limit, std::chrono::milliseconds(1));
}

}  // namespace orvik::testing
