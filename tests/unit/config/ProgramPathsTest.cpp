#include "config/ProgramPaths.h"

#include <gtest/gtest.h>

#include <QDir>

#include "support/TempDir.h"

namespace kova {
namespace {

using test::TempDir;

TEST(ProgramPaths, AProgramFolderCopyComesBeforeTheSharedOneAndMissingAssetsAreEmpty) {
    TempDir dir;
    const QString folder = dir.path("kova");
    const QString shared = findAsset(folder, QStringLiteral("Audio\\RingIn.wav"));
    EXPECT_TRUE(shared.endsWith(QStringLiteral("/Audio/RingIn.wav"))) << shared.toStdString();
    EXPECT_FALSE(shared.startsWith(folder));

    QDir().mkpath(folder + QStringLiteral("/Audio"));
    TempDir::write(folder + QStringLiteral("/Audio/RingIn.wav"), "RIFF");
    EXPECT_EQ(findAsset(folder, QStringLiteral("Audio\\RingIn.wav")),
              folder + QStringLiteral("/Audio/RingIn.wav"));
    EXPECT_TRUE(findAsset(folder, QStringLiteral("Audio/Missing.wav")).isEmpty());
    // No program folder must not make the root folder one.
    EXPECT_TRUE(findAsset({}, QStringLiteral("etc/hostname")).isEmpty());
}

}  // namespace
}  // namespace kova
