#pragma once
// An offer's bytes as they travel, for tests that play the sending peer.

#include <QByteArray>
#include <QString>

#include "transfer/OfferHeader.h"

namespace kova::test {

inline QByteArray offerBytes(std::int32_t size, const QString& name) {
    OfferHeader h;
    h.size = size;
    h.name.setText(name.toStdU16String());
    const auto bytes = h.encode();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

}  // namespace kova::test
