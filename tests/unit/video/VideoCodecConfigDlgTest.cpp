#include "video/VideoCodecConfigDlg.h"

#include <gtest/gtest.h>

#include <QSpinBox>

namespace kova {
namespace {

VideoCodecInfo codec(VideoOptionKind kind, bool temporal) {
    VideoCodecInfo info;
    info.fourCC = fourCC('T', 'E', 'S', 'T');
    info.description = QStringLiteral("Test codec");
    info.temporal = temporal;
    info.options = kind;
    return info;
}

TEST(VideoCodecConfigDlgTest, OffersTheCodecsKnobsAndReturnsTheirValues) {
    VideoCodecOptions start;
    start.quality = 55;
    start.keyFrameInterval = 0;  // shown as 1: "every frame"
    {
        CVideoCodecConfigDlg intra(codec(VideoOptionKind::Quality, false), start);
        ASSERT_NE(intra.qualityBox(), nullptr);
        EXPECT_EQ(intra.bitRateBox(), nullptr);
        EXPECT_EQ(intra.keyFrameBox(), nullptr);
        EXPECT_EQ(intra.qualityBox()->value(), 55);
        intra.qualityBox()->setValue(90);
        EXPECT_EQ(intra.options().quality, 90u);
        EXPECT_EQ(intra.options().keyFrameInterval, 0u);  // untouched
    }
    CVideoCodecConfigDlg inter(codec(VideoOptionKind::BitRate, true), start);
    EXPECT_EQ(inter.qualityBox(), nullptr);
    ASSERT_NE(inter.bitRateBox(), nullptr);
    ASSERT_NE(inter.keyFrameBox(), nullptr);
    EXPECT_EQ(inter.keyFrameBox()->value(), 1);
    inter.bitRateBox()->setValue(1);  // clamped to the lowest rate offered
    inter.keyFrameBox()->setValue(90);
    const VideoCodecOptions chosen = inter.options();
    EXPECT_EQ(chosen.bitRateKbps, VideoCodecOptions::kMinBitRateKbps);
    EXPECT_EQ(chosen.keyFrameInterval, 90u);
    EXPECT_EQ(chosen.quality, 55u);
}

}  // namespace
}  // namespace kova
