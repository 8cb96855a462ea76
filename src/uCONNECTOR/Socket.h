// The socket calls of the TCP client, one file per platform behind them
// (Socket_posix.cpp, Socket_win32.cpp). Every socket is non-blocking: each
// wait goes through Poll with its own time-out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct addrinfo;

namespace orbantis::sock {

// A file descriptor, or a Winsock SOCKET.
using Handle = std::intptr_t;
inline constexpr Handle kInvalid = -1;

// Name lookup with getaddrinfo's contract (Winsock started first where
// there is one). numericOnly: AI_NUMERICHOST.
int Resolve(const std::string& host, const std::string& service, bool numericOnly, addrinfo** result);
void FreeAddresses(addrinfo* list);
addrinfo* NextAddress(const addrinfo* address);
std::string ResolveErrorText(int error);

// A non-blocking stream socket for the address; kInvalid on failure (see
// LastErrorText).
Handle Open(const addrinfo* address);
// 0: connected; 1: under way (Poll for Write, then ConnectError); -1: failed.
int StartConnect(Handle h, const addrinfo* address);
// The outcome of a connect that was under way: "" when it succeeded.
std::string ConnectError(Handle h);

enum class Wait { Read, Write };
// 1 ready (or hung up: the read tells), 0 time out, -1 error. ms < 0: no limit.
int Poll(Handle h, Wait what, int ms);

// > 0 bytes; 0 the peer closed; -1 nothing there yet; -2 an error.
long Receive(Handle h, std::uint8_t* buffer, std::size_t size);
// > 0 bytes; -1 no room yet; -2 an error (never raises SIGPIPE).
long Send(Handle h, const std::uint8_t* buffer, std::size_t size);
// Bytes received by the system and not read yet.
std::size_t Pending(Handle h);
void SetNoDelay(Handle h, bool on);
void Close(Handle h);

// The system's text for the last failed call of this thread.
std::string LastErrorText();

}  // namespace orbantis::sock
