#include "platform/AvError.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <cerrno>

namespace kova {
namespace {

// libavutil's tagged codes, spelled out: this side of the layer sees no libav header.
constexpr int avTag(unsigned char a, unsigned char b, unsigned char c, unsigned char d) {
    return -static_cast<int>(a | b << 8 | c << 16 | static_cast<unsigned>(d) << 24);
}

QStringList g_logged;

void capture(QtMsgType, const QMessageLogContext&, const QString& text) {
    g_logged << text;
}

TEST(AvError, CodesBecomeResultsAndOnlyFailuresAreLoggedWithTheLibraryText) {
    QLoggingCategory category("kova.test.av");
    category.setEnabled(QtDebugMsg, true);
    const QtMessageHandler previous = qInstallMessageHandler(capture);
    g_logged.clear();

    EXPECT_EQ(avResult(0, category, "call"), AvResult::Ok);
    EXPECT_EQ(avResult(1234, category, "call"), AvResult::Ok);  // a byte or sample count
    EXPECT_EQ(avResult(-EAGAIN, category, "call"), AvResult::Again);
    EXPECT_EQ(avResult(avTag('E', 'O', 'F', ' '), category, "call"), AvResult::End);
    EXPECT_TRUE(g_logged.isEmpty());

    EXPECT_EQ(avResult(-ENOMEM, category, "av_frame_get_buffer"), AvResult::NoMemory);
    EXPECT_EQ(avResult(avTag('I', 'N', 'D', 'A'), category, "avcodec_send_packet"),
              AvResult::BadData);
    EXPECT_EQ(avResult(-EINVAL, category, "avcodec_open2"), AvResult::Unsupported);
    EXPECT_EQ(avResult(avTag(0xF8, 'E', 'N', 'C'), category, "avcodec_open2"),
              AvResult::Unsupported);
    EXPECT_FALSE(avOk(-EIO, category, "sws_scale"));
    EXPECT_EQ(avResult(-EIO, category, "sws_scale"), AvResult::Failed);

    qInstallMessageHandler(previous);
    ASSERT_EQ(g_logged.size(), 6);
    EXPECT_EQ(g_logged[1], "avcodec_send_packet: Invalid data found when processing input");
    EXPECT_TRUE(g_logged[4].startsWith("sws_scale: ")) << g_logged[4].toStdString();

    category.setEnabled(QtDebugMsg, false);
    g_logged.clear();
    qInstallMessageHandler(capture);
    avResult(-EIO, category, "sws_scale");
    qInstallMessageHandler(previous);
    EXPECT_TRUE(g_logged.isEmpty());
}

}  // namespace
}  // namespace kova
