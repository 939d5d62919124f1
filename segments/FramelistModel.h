#pragma once

#include "segments/Persisted.h"
#include "widgets/Twips.h"

#include <QImage>
#include <QString>
#include <QVariantMap>

#include <vector>

namespace vimra {

// ---- geometry of the keyframe strip, in twips ----

struct StripSlot {
    TwipsRect square;
    TwipsRect image;
    bool operator==(const StripSlot&) const = default;
};
// Position p (1-based) is drawn one pitch (imageX + 100) after p - 1; the
// thumbnail sits 50 in from its square.
StripSlot stripSlot(int position, int imageX, int imageY);

struct StripScroll {
    int stripWidth = 0;
    int smallChange = 0;
    int largeChange = 0;
    int max = 0; // 0 when the strip fits
    bool visible = false;
    bool operator==(const StripScroll&) const = default;
};
StripScroll stripScroll(int imageX, int imageCount, double controlWidth);

// ---- the strip without its widget ----

class FramelistModel {
public:
    struct StripImage {
        QImage picture;
        QString label;
        int element = 0; // never reused, so it names the image across removals
        int position = 0;
        StripSlot slot;
        bool squareVisible = false;
        quint32 squareColor = 0xFFFFFF;
    };
    // What a mouse event reports; index 0 when there is nothing to report.
    struct ImageEvent {
        int index = 0;
        int position = 0;
        bool operator==(const ImageEvent&) const = default;
    };

    FramelistModel();
    virtual ~FramelistModel() = default;

    int ImageX() const { return m_imageX; }
    void setImageX(int value);
    int ImageY() const { return m_imageY; }
    void setImageY(int value);
    // Answers the new image's index. An image already at that position, and
    // every image after it, moves one place right; into a gap nothing moves.
    int iAddImage(const QImage& picture, int position, const QString& label);
    void RemoveSelected();
    void RemoveImage(int index);
    // RemoveImage for each index in turn (each counting without the ones
    // before it), in one pass and with one change shown.
    void RemoveImages(const std::vector<int>& indexes);
    void Refresh();
    int iSelectedStart() const { return m_iStart; }
    void setISelectedStart(int value);
    int iSelectedEnd() const { return m_iEnd; }
    void setISelectedEnd(int value);
    quint32 SquareColor() const { return m_squareColor; }
    void setSquareColor(quint32 value);
    quint32 StartSquareColor() const { return m_startSquareColor; }
    void setStartSquareColor(quint32 value);

    void ReadProperties(const QVariantMap& saved);
    QVariantMap WriteProperties() const;

    // ---- for the view ----
    int Count() const { return int(m_images.size()); }
    const std::vector<StripImage>& images() const { return m_images; }
    const StripScroll& scrollRange() const { return m_scroll; }
    double canvasLeft() const { return m_canvasLeft; }
    double canvasHeight() const { return m_height - m_scrollBarHeight; }
    // The thumbnail under a point of the control; 0 for none.
    int ImageAt(double x, double y) const;
    void Resize(double widthTwips, double heightTwips, double scrollBarHeightTwips);
    // The scroll bar's value changed: the strip shows from that x on.
    void ScrollTo(int value);

    // ---- user input ----
    ImageEvent PressImage(int index, bool bShiftAlone);
    ImageEvent DoubleClickImage(int index);

protected:
    virtual void Changed() {}

private:
    bool inRun(int index) const;
    void showRun();
    void layOut();
    int& heldAt(int position);
    void countPositions();
    void applyColours();
    void checkInvariants() const;
    std::vector<PersistedProperty> persisted();

    std::vector<StripImage> m_images;
    int m_imageX = 1000;
    int m_imageY = 750;
    int m_iStart = -1;
    int m_iEnd = -1;
    quint32 m_squareColor = 0xFFFFFF;
    quint32 m_startSquareColor = 0xFFFFFF;
    StripScroll m_scroll;
    double m_canvasLeft = 0;
    double m_width = 0;
    double m_height = 0;
    double m_scrollBarHeight = 0;
    int m_nextElement = 1;
    std::vector<int> m_heldAt;   // how many images each position from 1 on holds
    // Images without a position of their own: those below 1, and all but
    // one at each position held more than once.
    int m_iUndistinct = 0;
    bool m_bSlotsStale = false;  // the picture size changed since the last layout
};

} // namespace vimra
