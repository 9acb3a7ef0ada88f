#pragma once
// What every call of the library answers: a value, or the text that says why there is none.
#include <string>
#include <utility>

namespace tonalweaver {

// A value, or an error text when the call could not give one. No call of the library throws;
// every failure arrives here.
//
//   auto chord = tonalweaver::parseChord("Cm7");
//   if (chord) std::cout << chord->quality << '\n';    // "m7"
//   else std::cerr << chord.error() << '\n';
template <typename T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}

  // A failed result; an empty text is replaced so that a failure always says something.
  static Result failure(std::string error) {
    Result result;
    result.error_ = error.empty() ? std::string("failed") : std::move(error);
    return result;
  }

  bool ok() const noexcept { return error_.empty(); }
  explicit operator bool() const noexcept { return ok(); }

  // The value; after a failure, a default-constructed one (never undefined behaviour).
  const T& value() const& noexcept { return value_; }
  T&& value() && noexcept { return std::move(value_); }
  const T& operator*() const& noexcept { return value_; }
  const T* operator->() const noexcept { return &value_; }

  // Why the call failed; empty on success.
  const std::string& error() const noexcept { return error_; }

 private:
  Result() = default;

  T value_{};
  std::string error_;
};

}  // namespace tonalweaver
