// Both ends of a file transfer fed arbitrary bytes: a receiver given an offer
// with a fuzzed size and then fuzzed data in fuzzed pieces (or the raw input as
// its offer), and a sender given fuzzed replies. Neither may write more than
// announced, send more than the file, or answer with anything but reply bytes;
// the file exists exactly when whole, and no part file is left.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>

#include "../unit/transfer/FakeStream.h"
#include "transfer/TransferSocket.h"

namespace {

struct Harness {
    int argc = 1;
    char name[5] = "fuzz";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    QTemporaryDir dir;
    QString source;
    Harness() {
        source = dir.filePath(QStringLiteral("source.bin"));
        QFile f(source);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(9000, 'k'));
    }
};

Harness& harness() {
    static Harness h;
    return h;
}

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

void receiver(const std::uint8_t* data, std::size_t size) {
    kova::test::FakeStream stream;
    kova::CTransferSocket t(stream, nullptr, nullptr);
    const QString target = harness().dir.filePath(QStringLiteral("received.bin"));
    QFile::remove(target);
    QObject::connect(&t, &kova::CTransferSocket::saveRequested,
                     [&](const QString&) { t.onSaveAnswer(target); });
    t.setReceiver();
    std::int32_t announced = -1;
    std::size_t pos = 1;
    if (size >= 3 && (data[0] & 1) != 0) {
        announced = std::int32_t(data[1] | data[2] << 8) - 1000;  // some negative
        kova::OfferHeader h;
        h.size = announced;
        h.name.setText(u"f");
        const auto bytes = h.encode();
        stream.incoming = QByteArray(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        t.onReadNotification(0);
        pos = 3;
    }
    while (pos < size && !t.isClosed()) {
        const std::size_t piece = std::min<std::size_t>(size - pos, 1 + data[pos] * 8);
        stream.incoming.append(reinterpret_cast<const char*>(data + pos), qsizetype(piece));
        pos += piece;
        t.onReadNotification(0);
    }
    stream.peerClosed = true;
    t.onReadNotification(0);
    for (char c : stream.sent) {
        check(c == 'y' || c == '{' || c == '|' || c == 'z');
    }
    const qint64 written = QFile(target).size();
    check(announced < 0 ? !QFile::exists(target) : written <= announced);
    check(t.completed() == QFile::exists(target));
    check(!t.completed() || written == announced);
    check(!QFile::exists(target + kova::CTransferSocket::kPartSuffix));
}

void sender(const std::uint8_t* data, std::size_t size) {
    kova::test::FakeStream stream;
    kova::CTransferSocket t(stream, nullptr, nullptr);
    t.setSender(harness().source, QStringLiteral("source.bin"));
    t.start();
    for (std::size_t i = 0; i < size && !t.isClosed(); ++i) {
        stream.incoming.append(char(data[i]));
        t.onReadNotification(0);
    }
    check(stream.sent.size() <= qsizetype(kova::OfferHeader::kSize) + 9000 + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    harness();
    if (size > 0 && (data[0] & 2) != 0) {
        sender(data + 1, size - 1);
    } else {
        receiver(data, size);
    }
    return 0;
}
