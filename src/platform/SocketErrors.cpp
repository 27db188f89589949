#include "platform/SocketErrors.h"

#include <netdb.h>

#include <cerrno>

namespace kova {

namespace {
thread_local int tLastSocketError = 0;

int fromErrno(int e) {
    switch (e) {
        case 0:
            return 0;
        case EINTR:
            return 10004;
        case EBADF:
        case ENOTSOCK:
            return 10038;
        case EACCES:
        case EPERM:
            return 10013;
        case EFAULT:
            return 10014;
        case EINVAL:
            return 10022;
        case EMFILE:
        case ENFILE:
            return 10024;
        case EWOULDBLOCK:
#if EAGAIN != EWOULDBLOCK
        case EAGAIN:
#endif
            return kWsaWouldBlock;
        case EINPROGRESS:
            return 10036;
        case EALREADY:
            return 10037;
        case EDESTADDRREQ:
            return kWsaDestAddrRequired;
        case EMSGSIZE:
            return kWsaMsgSize;
        case EPROTOTYPE:
            return 10041;
        case ENOPROTOOPT:
            return 10042;
        case EPROTONOSUPPORT:
            return 10043;
        case ESOCKTNOSUPPORT:
            return 10044;
        case EOPNOTSUPP:
            return 10045;
        case EPFNOSUPPORT:
            return 10046;
        case EAFNOSUPPORT:
            return 10047;
        case EADDRINUSE:
            return kWsaAddrInUse;
        case EADDRNOTAVAIL:
            return 10049;
        case ENETDOWN:
            return kWsaNetDown;
        case ENETUNREACH:
            return 10051;
        case ENETRESET:
            return 10052;
        case ECONNABORTED:
            return 10053;
        case ECONNRESET:
            return 10054;
        case ENOBUFS:
        case ENOMEM:
            return 10055;
        case EISCONN:
            return 10056;
        case ENOTCONN:
            return 10057;
        case ESHUTDOWN:
            return 10058;
        case ETIMEDOUT:
            return 10060;
        case ECONNREFUSED:
            return 10061;
        case ELOOP:
            return 10062;
        case ENAMETOOLONG:
            return 10063;
        case EHOSTDOWN:
            return 10064;
        case EHOSTUNREACH:
            return 10065;
        default:
            return e;
    }
}

int fromResolver(int rc) {
    switch (rc) {
        case 0:
            return 0;
        case EAI_MEMORY:
            return 10055;
        case EAI_FAMILY:
            return 10047;
        default:
            // Any failed look-up of a peer's name reads as an invalid host name.
            return kWsaInvalidHost;
    }
}
}  // namespace

int toSocketError(int code, SocketErrorSource source) {
    return source == SocketErrorSource::Resolver ? fromResolver(code) : fromErrno(code);
}

int lastSocketError() {
    return tLastSocketError;
}

void setLastSocketError(int error) {
    tLastSocketError = error;
}

}  // namespace kova
