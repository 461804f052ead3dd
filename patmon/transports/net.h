// Sockets on both platforms (POSIX, Winsock): just what the transports and
// the simulator need, with deadlines instead of blocking forever.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace patmon::net {

#ifdef _WIN32
using Socket = uintptr_t;
#else
using Socket = int;
#endif
extern const Socket kNoSocket;

using Clock = std::chrono::steady_clock;

// Starts the socket library once (Winsock); harmless elsewhere.
void Startup();

// Connects before `deadline`; kNoSocket with `error` set otherwise.
Socket Connect(const std::string &host, uint16_t port, Clock::time_point deadline, std::string *error);
// Sends everything before `deadline`.
bool SendAll(Socket s, const std::string &data, Clock::time_point deadline);
// Waits for data until `deadline`: > 0 bytes read, 0 peer closed, -1 error,
// -2 deadline passed.
long Receive(Socket s, char *buffer, size_t size, Clock::time_point deadline);
void Close(Socket s);

// A listening TCP socket; `port` 0 picks a free one, returned in *bound.
Socket Listen(const std::string &host, uint16_t port, uint16_t *bound, std::string *error);
// Waits up to `wait` for a connection; kNoSocket if none came.
Socket Accept(Socket listener, std::chrono::milliseconds wait);

}  // namespace patmon::net
