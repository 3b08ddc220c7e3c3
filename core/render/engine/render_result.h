#pragma once

#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <utility>
#include <variant>

namespace quillmere {

// The outcome of an asynchronous engine operation: its value, or the error it ended with
// (CancellationError when it was cancelled).
template <class T>
class RenderResult {
public:
    RenderResult(T value) : outcome_(std::move(value)) {}
    // `error` must not be null.
    RenderResult(std::exception_ptr error) : outcome_(std::move(error)) {}

    bool hasValue() const { return outcome_.index() == 0; }
    // The error; null when there is a value.
    std::exception_ptr error() const {
        return hasValue() ? nullptr : std::get<std::exception_ptr>(outcome_);
    }
    // The value; rethrows the error when there is none.
    T& value() & {
        rethrowIfError();
        return std::get<T>(outcome_);
    }
    T&& value() && {
        rethrowIfError();
        return std::get<T>(std::move(outcome_));
    }

private:
    void rethrowIfError() const {
        if (!hasValue()) std::rethrow_exception(std::get<std::exception_ptr>(outcome_));
    }

    std::variant<T, std::exception_ptr> outcome_;
};

// Receives the outcome of an asynchronous engine operation, once.
template <class T>
using RenderCompletion = std::function<void(RenderResult<T>)>;

// Starts an operation by calling `start` with a completion, and returns a future of its outcome:
//   futureOf<OpenedPhoto>([&](auto done) { engine.open(url, {}, done); }).get()
template <class T, class Start>
std::future<T> futureOf(Start&& start) {
    auto promise = std::make_shared<std::promise<T>>();
    std::future<T> future = promise->get_future();
    std::forward<Start>(start)(RenderCompletion<T>([promise](RenderResult<T> result) {
        if (result.hasValue()) {
            promise->set_value(std::move(result).value());
        } else {
            promise->set_exception(result.error());
        }
    }));
    return future;
}

}  // namespace quillmere
