// SIGINT and SIGTERM asking a long render to stop after the frame in hand,
// so that it can say what it wrote and leave no half-written file.
#pragma once

namespace lenti {

// From now on the two signals only set a flag (the first thread to look
// sees it); the previous handlers come back when the object goes.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool requested() const;
};

}  // namespace lenti
