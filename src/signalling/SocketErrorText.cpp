#include "signalling/SocketErrorText.h"

#include <array>
#include <utility>

namespace kova {

namespace {
// The texts users of every copy of the program know, letter for letter.
constexpr std::array<std::pair<int, const char*>, 20> kTexts{{
    {10013, "The requested address is a broadcast address, but the appropriate flag was not set."},
    {10014,
     "The lpBuf or lpSockAddr parameters are not part of the user address space, or the "
     "lpSockAddr argument is too small (less than the size of a SOCKADDR structure)."},
    {10022, "The host name is invalid."},
    {10035, "The socket is marked as nonblocking and the requested operation would block."},
    {10036, "A blocking Windows Sockets operation is in progress."},
    {10038, "The descriptor is not a socket."},
    {10039, "A destination address is required."},
    {10040,
     "The socket is of type SOCK_DGRAM, and the datagram is larger than the maximum supported "
     "by the Windows Sockets implementation."},
    {10045, "MSG_OOB was specified, but the socket is not of type SOCK_STREAM."},
    {10047, "Addresses in the specified family cannot be used with this socket."},
    {10049, "The specified address is not available from the local machine."},
    {10050, "The Windows Sockets implementation detected that the network subsystem failed."},
    {10051, "The network cannot be reached from this host at this time."},
    {10052, "The connection must be reset because the Windows Sockets implementation dropped it."},
    {10053, "The virtual circuit was aborted due to timeout or other failure."},
    {10054, "The virtual circuit was reset by the remote side."},
    {10055, "The Windows Sockets implementation reports a buffer deadlock."},
    {10057, "The socket is not connected (SOCK_STREAM only)."},
    {10058,
     "The socket has been shut down; it is not possible to call SendTo on a socket after "
     "ShutDown has been invoked with nHow set to 1 or 2."},
    {10093, "A successful AfxSocketInit must occur before using this API."},
}};
}  // namespace

void SocketErrorText(QString& text, int error) {
    for (const auto& [number, message] : kTexts) {
        if (number == error) {
            text = QString::fromLatin1(message);
            return;
        }
    }
}

}  // namespace kova
