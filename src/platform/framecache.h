#pragma once

#include <QProxyStyle>

#include <memory>

namespace tallic {

// The window's style for its text boxes, buttons and frames, drawing exactly what the
// application's style draws. A text box's outline and a button's face, rounded and drawn
// with antialiasing, cost most of their paint, as a frame's border does; each looks the
// same for every control of one size, state and palette, so it is drawn once into a
// picture and copied from there. A button's caption, over its opaque face, goes with it; so
// does a text box's fill under its outline while it has not the focus.
class FrameCacheStyle final : public QProxyStyle
{
public:
    // One for the process; it goes with the application.
    static FrameCacheStyle *instance();

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget = nullptr) const override;

    ~FrameCacheStyle() override;

private:
    explicit FrameCacheStyle(QStyle *base);

    struct Frames;
    std::unique_ptr<Frames> frames_;
};

} // namespace tallic
