#include "segments/AdvancedSlider.h"

#include "segments/SegmentsTestSupport.h"

#include <QPainter>
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

namespace {

// The boxes as a paint of the whole control draws them, each under its own
// clip, over the control's background.
QImage drawnBoxByBox(const AdvancedSlider& slider, const QImage& background)
{
    QImage out = background;
    QPainter p(&out);
    p.scale(1.0 / kTwipsPerPixel, 1.0 / kTwipsPerPixel);
    for (int i = 1; i <= slider.Count(); ++i) {
        const auto& box = slider.boxes()[size_t(i - 1)];
        const TwipsRect r = slider.boxRect(i);
        p.save();
        p.setClipRect(QRectF(r.left, r.top, r.width, r.height));
        p.translate(r.left, r.top);
        const double bar = box.iBarPixels * double(kTwipsPerPixel);
        p.fillRect(QRectF(0, AdvancedSlider::kBarY - bar / 2, r.width, bar), colorFromBgr(box.barColor));
        p.fillRect(QRectF(0, AdvancedSlider::kBarY - AdvancedSlider::kTickReach, kTwipsPerPixel,
                          2 * AdvancedSlider::kTickReach),
                   colorFromBgr(box.leftTickColor));
        p.fillRect(QRectF(r.width - AdvancedSlider::kRightTickInset, AdvancedSlider::kBarY - AdvancedSlider::kTickReach,
                          kTwipsPerPixel, 2 * AdvancedSlider::kTickReach),
                   colorFromBgr(box.rightTickColor));
        p.restore();
    }
    return out;
}

} // namespace

// Painting only the changed places into the kept layer shows what painting
// every box again would: boxes overlapping, thinner than a pixel, moved,
// removed and reselected.
TEST(AdvancedSliderWidget, PartialRepaintsShowWhatAWholePaintShows)
{
    AdvancedSlider slider;
    slider.ReadProperties({{"RangeColor", 0xC0u}, {"StartRangeColor", 0xC000u}, {"dMax", 1000.0}});
    slider.resize(500, slider.sizeHint().height());
    slider.show();
    const QImage background = slider.grab().toImage();
    for (int i = 0; i < 400; ++i)
        slider.iAddRange(i * 2.37, i * 2.37 + (i % 7) * 6.1, QString());
    const auto same = [&](const char* step) {
        QCoreApplication::processEvents();
        const QImage shown = slider.grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(shown, drawnBoxByBox(slider, background.convertToFormat(QImage::Format_RGB32))) << step;
    };
    same("added");
    slider.setIRangeSelectedStart(120);
    slider.setIRangeSelectedEnd(40);
    same("selected");
    slider.UpdateRange(300, 11.3, 17.9);
    slider.UpdateRange(121, 283, 290); // at the run's end, its bar thinner than the run's
    slider.RemoveRanges({7, 7, 390, 200, 38});
    same("moved and removed");
    slider.setIRangeSelectedStart(3);
    slider.PutBlinkLine(20);
    slider.RemoveBlinkLine();
    same("reselected");
}
