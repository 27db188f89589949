#pragma once
// Socket failures as the Windows Sockets numbers that peers' error texts are
// keyed by. errno and resolver codes become those numbers here and nowhere else.

namespace kova {

enum class SocketErrorSource { Errno, Resolver };

// Numbers the program acts on, not only shows.
constexpr int kWsaWouldBlock = 10035;
constexpr int kWsaNotSocket = 10038;
constexpr int kWsaDestAddrRequired = 10039;
constexpr int kWsaMsgSize = 10040;
constexpr int kWsaAddrInUse = 10048;
constexpr int kWsaNetDown = 10050;
// A send to a name the resolver does not know fails with "invalid argument",
// whose text reads "The host name is invalid."
constexpr int kWsaInvalidHost = 10022;

// 0 stays 0. A code without a counterpart comes back unchanged: errno values lie
// far below 10000, so no error text matches them.
int toSocketError(int code, SocketErrorSource source = SocketErrorSource::Errno);

// The calling thread's last socket error, left by the socket adapter's failed
// operations (each thread has its own, as sends come from worker threads too).
int lastSocketError();
void setLastSocketError(int error);

}  // namespace kova
