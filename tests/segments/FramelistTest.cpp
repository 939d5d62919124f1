#include "segments/Framelist.h"

#include "segments/SegmentsTestSupport.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace vimra;

TEST(FramelistWidget, ShiftClickLeftOfTheAnchorReportsTheAnchor)
{
    Framelist strip;
    strip.ReadProperties({{"SquareColor", 0xC0u}, {"StartSquareColor", 0xC000u}});
    strip.resize(334, strip.sizeHint().height()); // 5010 twips
    strip.show();
    QImage picture(40, 30, QImage::Format_RGB32);
    for (int p = 1; p <= 5; ++p) {
        picture.fill(QColor::fromHsv(p * 60, 160, 220));
        strip.iAddImage(picture, p, QString("segment %1").arg(p));
    }
    EXPECT_TRUE(strip.HScroll1()->isVisibleTo(&strip));
    EXPECT_EQ(strip.HScroll1()->maximum(), 5600 - 5010);
    QSignalSpy clicks(&strip, &Framelist::ImageClick);

    const auto at = [&](int i) { return centreInPixels(strip.images()[size_t(i - 1)].slot.image); };
    QTest::mouseClick(&strip, Qt::LeftButton, Qt::NoModifier, at(4));
    QTest::mouseClick(&strip, Qt::LeftButton, Qt::ShiftModifier, at(2));
    ASSERT_EQ(clicks.count(), 2);
    EXPECT_EQ(clicks.at(1), (QList<QVariant>{4, 4}));
    EXPECT_EQ(strip.iSelectedEnd(), 2);
    saveLook(strip, "strip");

    QTest::mouseClick(&strip, Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier, at(3));
    EXPECT_EQ(clicks.at(2), (QList<QVariant>{3, 3}));

    strip.HScroll1()->setValue(strip.HScroll1()->maximum());
    EXPECT_EQ(strip.canvasLeft(), -590);
}
