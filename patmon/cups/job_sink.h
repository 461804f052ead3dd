// Where the print queue's backend sends a job: the printer's PJL port, or
// the USB printer device; and how the printer confirms it has the job.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "transports/transport.h"

namespace patmon {

class JobSink {
public:
    using Clock = std::chrono::steady_clock;
    enum class Confirmation { Confirmed, Waiting, Failed };
    virtual ~JobSink() = default;
    virtual bool Open(Clock::time_point deadline, std::string *error) = 0;
    // > 0 bytes taken, -2 nothing taken before `deadline`, -1 the printer is gone.
    virtual long Write(const char *data, size_t size, Clock::time_point deadline) = 0;
    // After the job and the echo request: whether the printer has answered
    // `echo` by `deadline`. Failed is final: a printer that reset or closed
    // the connection before echoing never confirms the job afterwards.
    virtual Confirmation Confirm(const std::string &echo, Clock::time_point deadline) = 0;
    // Whether the printer can be polled while the job is open (a USB
    // printer can be opened only once).
    virtual bool PollsWhileOpen() const = 0;
};

// The sink for a target: TCP for tcp targets, the device for usb ones.
std::unique_ptr<JobSink> JobSinkFor(const Target &target);

}  // namespace patmon
