#pragma once

#include <QString>

#include <utility>

namespace kelvaro {

// What an operation that can fail gives back: ok, or the reason, in words a user can read.
struct Result {
    bool ok = true;
    QString reason;
    static Result Success() { return {}; }
    static Result Failure(QString why) { return {false, std::move(why)}; }
    explicit operator bool() const { return ok; }
};

// What an operation that makes a value and can fail gives back: its Result and, when that is ok,
// the value (default-made otherwise).
template <class T> struct ResultOf {
    Result result;
    T value{};

    static ResultOf Success(T made) { return {Result::Success(), std::move(made)}; }
    static ResultOf Failure(QString why) { return {Result::Failure(std::move(why)), T{}}; }
    explicit operator bool() const { return result.ok; }
    const QString& reason() const { return result.reason; }
    const T& operator*() const { return value; }
    const T* operator->() const { return &value; }
};

} // namespace kelvaro
