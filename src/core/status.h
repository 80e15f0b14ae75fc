// Status and Result<T>: how every layer reports an outcome without exceptions.
//
// A Status is either ok or an error kind with the operator's text. Where the
// system has a fixed message ("'%s' is not a valid integer value", ...), the
// text is that message verbatim, so callers show Status::message() as it is.
// Values of these types may be copied between threads freely.
#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace orvik::core {

enum class StatusCode {
  kOk = 0,
  kInvalidInteger,   // a text that is not an integer in the parameter syntax
  kDateEncode,       // a day/month/year that is no calendar date
  kDivisionByZero,   // a divisor read from the settings was zero
  kIoError,          // a file or device operation failed
  kInvalidArgument,  // a value the operation cannot carry
  kSocketError,      // the network layer refused an operation
};

class [[nodiscard]] Status {
 public:
  // An ok status.
  Status() = default;

  static Status Ok() { return Status(); }
  static Status Error(StatusCode code, std::string message) {
    assert(code != StatusCode::kOk);
    return Status(code, std::move(message));
  }

  bool ok() const { return code_ == StatusCode::kOk; }
  StatusCode code() const { return code_; }
  // The operator's text; empty for an ok status.
  const std::string& message() const { return message_; }
  // "OK" or the message, for logs and test failure output.
  std::string ToString() const { return ok() ? std::string("OK") : message_; }

  friend bool operator==(const Status&, const Status&) = default;

 private:
  Status(StatusCode code, std::string message) : code_(code), message_(std::move(message)) {}

  StatusCode code_ = StatusCode::kOk;
  std::string message_;
};

// A value or the error that prevented it.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : data_(std::move(value)) {}      // NOLINT: implicit by design
  Result(Status error) : data_(std::move(error)) {  // NOLINT: implicit by design
    assert(!std::get<Status>(data_).ok());
  }

  bool ok() const { return std::holds_alternative<T>(data_); }
  // REQUIRES: ok().
  const T& value() const& { return std::get<T>(data_); }
  T& value() & { return std::get<T>(data_); }
  T&& value() && { return std::get<T>(std::move(data_)); }
  // Status::Ok() when a value is held, else the error.
  Status status() const { return ok() ? Status::Ok() : std::get<Status>(data_); }

 private:
  std::variant<T, Status> data_;
};

}  // namespace orvik::core
