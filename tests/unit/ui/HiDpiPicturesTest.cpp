#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "ui/Pictures.h"

namespace kova {
namespace {

// Pictures installed in a program folder of the test's own.
class PictureFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        hadConfigHome_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        configHome_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.path()));
        ASSERT_TRUE(QDir().mkpath(dir_.path() + "/kova/Pictures"));
    }
    void TearDown() override {
        if (hadConfigHome_) {
            qputenv("XDG_CONFIG_HOME", configHome_);
        } else {
            qunsetenv("XDG_CONFIG_HOME");
        }
    }
    void install(const QImage& image, const QString& name) {
        ASSERT_TRUE(image.save(dir_.path() + "/kova/Pictures/" + name));
    }
    static QImage filled(QSize size, QColor colour) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        return image;
    }

    QTemporaryDir dir_;
    bool hadConfigHome_ = false;
    QByteArray configHome_;
};

TEST_F(PictureFiles, LargePictureAboveRatioOneWithItsStoredDepth) {
    install(filled({10, 6}, Qt::red), "9901.png");
    const QImage large = filled({20, 12}, Qt::blue).convertToFormat(QImage::Format_Indexed8);
    install(large, "9901@2x.png");

    const QImage normal = pictureImage(9901, 1.0);
    EXPECT_EQ(normal.size(), QSize(10, 6));
    EXPECT_EQ(normal.devicePixelRatio(), 1.0);
    EXPECT_EQ(normal.pixelColor(0, 0), QColor(Qt::red));

    for (qreal ratio : {1.5, 2.0, 3.0}) {
        const QImage image = pictureImage(9901, ratio);
        EXPECT_EQ(image.size(), QSize(20, 12)) << ratio;
        EXPECT_EQ(image.devicePixelRatio(), 2.0) << ratio;
        EXPECT_EQ(logicalSize(image), QSize(10, 6)) << ratio;
        EXPECT_EQ(image.depth(), 8) << "a palette picture is not recoloured";
        EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::blue)) << ratio;
    }
}

TEST_F(PictureFiles, NormalPictureWhenTheLargeOneIsMissingOrOfAnotherSize) {
    install(filled({10, 6}, Qt::red), "9902.png");
    EXPECT_EQ(pictureImage(9902, 2.0).size(), QSize(10, 6));
    EXPECT_EQ(pictureImage(9902, 2.0).devicePixelRatio(), 1.0);

    install(filled({10, 6}, Qt::red), "9903.png");
    install(filled({21, 12}, Qt::blue), "9903@2x.png");
    const QImage image = pictureImage(9903, 2.0);
    EXPECT_EQ(image.size(), QSize(10, 6));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::red));

    install(filled({20, 12}, Qt::blue), "9904@2x.png");
    EXPECT_TRUE(pictureImage(9904, 2.0).isNull()) << "no picture without its normal size";
}

}  // namespace
}  // namespace kova
