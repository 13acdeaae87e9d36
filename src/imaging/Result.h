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

} // namespace kelvaro
