#pragma once

// The caller's three callbacks, in one place. Every callback runs on the
// calling thread; a nonzero answer of the status or per-file callback stops
// the run.

#include <string>
#include <string_view>

#include "common/records.h"

namespace zipengine {

class Reporter {
public:
    explicit Reporter(const ZipCommand &cmd) : cmd_(cmd) {}

    // "Item n of m  <verb>: <name>". False when the caller asks to stop.
    bool item(long n, long total, std::string_view verb, std::string_view name);
    // Percentage of the current file. False when the caller asks to stop.
    bool filePercent(std::string_view name, int percent);
    // Status report (message type 11) with one of the status codes; at most one
    // per run, so the caller shows the first failure only.
    void status(int code, std::string_view detail = {});
    // A question or notice; returns the answer, or `fallback` without a callback.
    int message(int type, unsigned style, int n1, int n2, std::string_view text, int fallback);
    bool hasMessageCallback() const { return cmd_.messageCallback != nullptr; }
    bool stopped() const { return stopped_; }

private:
    const ZipCommand &cmd_;
    bool stopped_ = false;
    bool statusSent_ = false;
};

} // namespace zipengine
