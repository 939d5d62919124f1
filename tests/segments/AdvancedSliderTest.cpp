#include "segments/AdvancedSlider.h"

#include "segments/SegmentsTestSupport.h"

#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

using namespace vimra;

TEST(AdvancedSliderWidget, ShiftClickSelectsARunAndOnlyTheUserScrolls)
{
    AdvancedSlider slider;
    slider.ReadProperties({{"RangeColor", 0xC0u}, {"StartRangeColor", 0xC000u}, {"dMax", 100.0}});
    slider.resize(694, slider.sizeHint().height()); // 10410 twips: about 100 twips a second
    slider.show();
    for (double t : {10.0, 20.0, 30.0, 40.0})
        slider.iAddRange(t, t + 8, QString("%1 s").arg(t));
    QSignalSpy clicks(&slider, &AdvancedSlider::Click);
    QSignalSpy scrolls(&slider, &AdvancedSlider::Scroll);

    QTest::mouseClick(&slider, Qt::LeftButton, Qt::NoModifier, centreInPixels(slider.boxRect(4)));
    QTest::mouseClick(&slider, Qt::LeftButton, Qt::ShiftModifier, centreInPixels(slider.boxRect(2)));
    ASSERT_EQ(clicks.count(), 2);
    EXPECT_EQ(clicks.at(0).at(0).toInt(), 4);
    EXPECT_EQ(clicks.at(1).at(0).toInt(), 4);
    EXPECT_EQ(slider.colSelectedIndexes(), (std::vector<int>{2, 3, 4}));
    slider.PutBlinkLine(55);
    slider.setDPosition(50);
    saveLook(slider, "slider");
    EXPECT_EQ(slider.Slider1()->value(), 5000);
    EXPECT_EQ(scrolls.count(), 0);
    // Arrows step one frame from frame starts, the page keys one second, Page Down forward.
    slider.setDFrameStep(1001.0 / 30000);
    for (const auto& [key, frames] : {std::pair{Qt::Key_Right, 1500}, {Qt::Key_Right, 1501}, {Qt::Key_Left, 1500},
                                      {Qt::Key_PageDown, 1530}, {Qt::Key_PageUp, 1500}, {Qt::Key_Down, 1499}}) {
        QTest::keyClick(slider.Slider1(), key);
        EXPECT_NEAR(slider.dPosition(), frames * 1001.0 / 30000, key == Qt::Key_Right ? 1e-9 : 0.02) << key;
    }
    EXPECT_EQ(scrolls.count(), 6);

    slider.setDMax(0); // no span: the inner slider cannot be moved
    slider.Refresh();
    EXPECT_FALSE(slider.Slider1()->isEnabled());
}
