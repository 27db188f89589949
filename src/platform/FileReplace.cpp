#include "platform/FileReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <QFile>
#include <QRandomGenerator>

namespace kova {

namespace {

FileReplaceResult failed(int error) {
    return {false, QString::fromLocal8Bit(std::strerror(error))};
}

// Closes the temporary file on every path out and removes it unless renamed.
class TempFile {
public:
    explicit TempFile(QByteArray path) : path_(std::move(path)) {}
    ~TempFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!renamed_) {
            ::unlink(path_.constData());
        }
    }
    bool create(mode_t mode) {
        fd_ = ::open(path_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        return fd_ >= 0;
    }
    int fd() const { return fd_; }
    // close(2) can report a write the kernel could not finish (NFS, quotas).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }
    bool renameTo(const QByteArray& target) {
        renamed_ = ::rename(path_.constData(), target.constData()) == 0;
        return renamed_;
    }

private:
    QByteArray path_;
    int fd_ = -1;
    bool renamed_ = false;
};

bool writeAll(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

}  // namespace

FileReplaceResult replaceFile(const QString& path, const QByteArray& bytes) {
    const QByteArray target = QFile::encodeName(path);
    // The old file's permissions carry over; a new file gets the usual ones.
    mode_t mode = 0666;
    if (struct stat st{}; ::stat(target.constData(), &st) == 0) {
        mode = st.st_mode & 07777;
    }
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x~", QRandomGenerator::global()->generate());
    TempFile temp(target + suffix);
    if (!temp.create(mode)) {
        return failed(errno);
    }
    if (!writeAll(temp.fd(), bytes) || ::fsync(temp.fd()) != 0 || !temp.close() ||
        !temp.renameTo(target)) {
        return failed(errno);
    }
    return {};
}

}  // namespace kova
