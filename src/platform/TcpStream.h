#pragma once
// A connected byte stream as the file transfer uses it: non-blocking sends and
// reads with Windows Sockets error numbers. The real one is TcpSocket; tests
// hand the transfer logic a fake.

#include <cstddef>

#include "common/ByteIo.h"

namespace kova {

struct StreamIo {
    int error = 0;         // 0, or the socket error (10035: would block)
    std::size_t size = 0;  // bytes moved; 0 without error on a read: peer closed
    bool ok() const { return error == 0; }
};

class ITcpStream {
public:
    virtual ~ITcpStream() = default;
    // One non-blocking send; may move fewer bytes than given.
    virtual StreamIo send(ByteSpan bytes) = 0;
    // One non-blocking read of at most buffer.size() bytes.
    virtual StreamIo receive(MutableByteSpan buffer) = 0;
    virtual void setReadNotifications(bool enabled) = 0;
    virtual void close() = 0;
};

}  // namespace kova
