#include "framecache.h"

#include <QApplication>
#include <QGroupBox>
#include <QHash>
#include <QPaintEngine>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOption>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <optional>

namespace tallic {

namespace {

// What a control's part can look like: its size, the state the style reads, every colour of
// the palette's group in use, the painter's pen and font, and a group box's title.
struct FrameKey
{
    int element = 0;
    QSize size;
    uint state = 0;
    int direction = 0;
    qreal pixelRatio = 1;
    int features = 0; // a button's, a frame's or a group box's
    // A group box's frame makes room for its title or check box, when it has one.
    bool headed = false;
    // The colour the picture is laid on, when it is laid on one (see groundUnder).
    QRgb ground = 0;
    QRgb pen = 0;
    QFont font;
    QString text;
    std::array<QRgb, QPalette::NColorRoles> colours {};

    FrameKey(int drawn, const QStyleOption &option, const QWidget *widget, const QPainter &painter)
        : element(drawn)
        , size(option.rect.size())
        , state(uint(option.state))
        , direction(int(option.direction))
        , pixelRatio(painter.device()->devicePixelRatio())
        , pen(painter.pen().color().rgba())
        , font(painter.font())
    {
        if (const auto *box = qobject_cast<const QGroupBox *>(widget))
            headed = box->isCheckable() || !box->title().isEmpty();
        if (const auto *button = qstyleoption_cast<const QStyleOptionButton *>(&option)) {
            features = int(button->features);
        } else if (const auto *frame = qstyleoption_cast<const QStyleOptionFrame *>(&option)) {
            features = int(frame->features) | frame->lineWidth << 8 | frame->midLineWidth << 16;
        } else if (const auto *box = qstyleoption_cast<const QStyleOptionGroupBox *>(&option)) {
            features = int(box->features) | box->lineWidth << 8 | box->midLineWidth << 16
                | int(box->textAlignment) << 20;
            text = box->text + u'|' + QString::number(box->textColor.rgba()) + u'|'
                + QString::number(int(box->subControls)) + u'|'
                + QString::number(int(box->activeSubControls));
        }
        for (int role = 0; role < QPalette::NColorRoles; ++role)
            colours[size_t(role)] = option.palette.color(QPalette::ColorRole(role)).rgba();
    }
    bool operator==(const FrameKey &other) const = default;
};

size_t qHash(const FrameKey &key, size_t seed = 0)
{
    // The font by what tells fonts apart most often: its whole key costs more than a paint.
    return qHashMulti(seed, key.element, key.size.width(), key.size.height(), key.state,
                      key.direction, key.pixelRatio, key.features, key.headed, key.ground, key.pen,
                      key.font.family(), key.font.pointSizeF(), key.font.pixelSize(),
                      int(key.font.weight()), key.text,
                      qHashRange(key.colours.begin(), key.colours.end()));
}

// A window has a few dozen frames.
constexpr qsizetype MaxFrames = 256;

// Whether a picture drawn apart and copied in gives what drawing in place gives: the
// painter only moves, and lays paint over what is there.
bool copyable(const QPainter *painter, const QStyleOption *option)
{
    return painter && option && !option->rect.isEmpty() && painter->device()
        && painter->transform().type() <= QTransform::TxTranslate && painter->opacity() == 1.0
        && painter->compositionMode() == QPainter::CompositionMode_SourceOver
        && painter->brush().style() == Qt::NoBrush;
}

// Draws into a picture of the option's size, with the painter's pen and font, what the style
// draws for the option moved to the picture's corner.
template<typename Option, typename Draw>
QPixmap drawApart(const Option &option, const QPainter &painter, Draw draw)
{
    const qreal ratio = painter.device()->devicePixelRatio();
    QPixmap picture(option.rect.size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter onPicture(&picture);
    onPicture.setRenderHints(painter.renderHints());
    onPicture.setPen(painter.pen());
    onPicture.setFont(painter.font());
    Option moved = option;
    moved.rect.moveTo(0, 0);
    draw(&moved, &onPicture);
    return picture;
}

// How far the painter moves what it draws on its device, when it only moves it, and by
// whole pixels.
std::optional<QPoint> wholePixelMove(const QPainter *painter)
{
    const QTransform moved = painter->deviceTransform();
    if (moved.type() > QTransform::TxTranslate || moved.dx() != std::round(moved.dx())
        || moved.dy() != std::round(moved.dy()))
        return std::nullopt;
    return QPoint(int(moved.dx()), int(moved.dy()));
}

// Where on the painter's image the option's rect lies, when the painter draws on an image
// and only moves; an empty rect otherwise.
QRect onImage(const QPainter *painter, const QStyleOption *option)
{
    // A control's painter draws on the window's image through a redirection.
    const QPaintDevice *device
        = painter->paintEngine() ? painter->paintEngine()->paintDevice() : nullptr;
    const std::optional<QPoint> moved = wholePixelMove(painter);
    if (!device || device->devType() != QInternal::Image || !moved)
        return {};
    const QRect area = option->rect.translated(*moved);
    return static_cast<const QImage *>(device)->rect().contains(area) ? area : QRect();
}

// The one colour under a group box, when its window's background fills the box's place and
// no control lies beneath it (a frame is put beneath the controls it holds).
std::optional<QColor> groundUnder(const QWidget *box)
{
    const QWidget *parent = box ? box->parentWidget() : nullptr;
    if (!parent || !parent->autoFillBackground())
        return std::nullopt;
    const QBrush ground = parent->palette().brush(parent->backgroundRole());
    if (ground.style() != Qt::SolidPattern || !ground.isOpaque())
        return std::nullopt;
    // The parent's children go from the bottom up.
    for (const QObject *child : parent->children()) {
        if (child == box)
            return ground.color();
        const auto *beneath = qobject_cast<const QWidget *>(child);
        if (beneath && !beneath->isHidden() && beneath->geometry().intersects(box->geometry()))
            return std::nullopt;
    }
    return std::nullopt;
}

// The picture laid on its ground as the window lays it there: opaque, so that it is copied
// rather than blended, pixel for pixel what blending it in place gives.
QPixmap laidOn(const QPixmap &picture, const QColor &ground)
{
    QPixmap laid(picture.size());
    laid.setDevicePixelRatio(picture.devicePixelRatio());
    laid.fill(ground);
    QPainter onGround(&laid);
    onGround.drawPixmap(0, 0, picture);
    return laid;
}

// A part drawn over what lay under it, and what that was.
struct Overlay
{
    QImage under;
    QImage drawn;
};

// A control painted in part finds under it, beside what its window painted afresh, what it
// showed itself before: a few of those are kept for each look of the part.
constexpr qsizetype OverlaysPerLook = 4;
// Each keeps two images of a text box: far fewer are kept than pictures of frames.
constexpr qsizetype MaxOverlays = 32;

} // namespace

// The frames drawn so far.
struct FrameCacheStyle::Frames
{
    QHash<FrameKey, QPixmap> drawn;
    QHash<FrameKey, QList<Overlay>> overlays;
};

namespace {

// The focus's frame lays two faint outlines over the box, which drawn apart on a clear
// picture would come out a shade off where they cross the edge. Drawn over a copy of what
// lies under it, it comes out exactly as drawn in place, and is copied whole from there
// while that stays the same. False when the painter is not on an image.
bool drawOverlaid(QHash<FrameKey, QList<Overlay>> &overlays, FrameKey key,
                  const QStyleOption &option, QPainter *painter,
                  const std::function<void(const QStyleOption *, QPainter *)> &draw)
{
    const QRect area = onImage(painter, &option);
    if (area.isEmpty())
        return false;
    const QImage under
        = static_cast<const QImage *>(painter->paintEngine()->paintDevice())->copy(area);
    QList<Overlay> kept = overlays.value(key);
    const auto found = std::find_if(kept.begin(), kept.end(), [&under](const Overlay &overlay) {
        return overlay.under == under;
    });
    if (found != kept.end()) {
        std::rotate(kept.begin(), found, found + 1);
    } else {
        if (kept.size() >= OverlaysPerLook)
            kept.removeLast();
        QImage drawn = under.copy();
        QPainter onCopy(&drawn);
        onCopy.setRenderHints(painter->renderHints());
        onCopy.setPen(painter->pen());
        onCopy.setFont(painter->font());
        QStyleOptionFrame moved = *qstyleoption_cast<const QStyleOptionFrame *>(&option);
        moved.rect.moveTo(0, 0);
        draw(&moved, &onCopy);
        onCopy.end();
        kept.prepend({ under, drawn });
    }
    const QPainter::CompositionMode mode = painter->compositionMode();
    painter->setCompositionMode(QPainter::CompositionMode_Source);
    painter->drawImage(option.rect.topLeft(), kept.first().drawn);
    painter->setCompositionMode(mode);
    if (overlays.size() >= MaxOverlays)
        overlays.clear();
    overlays.insert(std::move(key), std::move(kept));
    return true;
}

// Where the painter may paint, in its own coordinates, when that is several rectangles:
// the part of the window being painted afresh, and any clip of the painter's own. Empty
// when it is one rectangle or cannot be told.
QRegion clipRects(const QPainter *painter)
{
    const QPaintEngine *engine = painter->paintEngine();
    const std::optional<QPoint> moved = wholePixelMove(painter);
    if (!engine || !moved || painter->device()->devicePixelRatio() != 1)
        return {};
    QRegion region = engine->systemClip().translated(-*moved);
    if (painter->hasClipping())
        region = region.isEmpty() ? painter->clipRegion() : region & painter->clipRegion();
    return region.rectCount() > 1 ? region : QRegion();
}

// Copies the picture kept for the key, drawn first when there is none. Drawing it can keep
// pictures of the parts it is made of, so it is kept once it is drawn.
template<typename Draw>
void paintKept(QHash<FrameKey, QPixmap> &drawn, FrameKey key, QPainter *painter, const QPoint &at,
               Draw drawNew)
{
    QPixmap picture = drawn.value(key);
    if (picture.isNull()) {
        picture = drawNew();
        if (drawn.size() >= MaxFrames)
            drawn.clear();
        drawn.insert(std::move(key), picture);
    }
    // Clipped to several rectangles, the painter lays each pixel of the whole picture
    // through a slow path; a copy of each rectangle's piece goes the fast way. A group box
    // behind a few changed text boxes is painted three times sooner so.
    const QRegion rects = clipRects(painter);
    if (rects.isEmpty()) {
        painter->drawPixmap(at, picture);
        return;
    }
    const QRect area(at, picture.size());
    for (const QRect &rect : rects) {
        const QRect piece = rect & area;
        if (!piece.isEmpty())
            painter->drawPixmap(piece, picture, piece.translated(-at));
    }
}

} // namespace

FrameCacheStyle::FrameCacheStyle(QStyle *base)
    : QProxyStyle(base)
    , frames_(std::make_unique<Frames>())
{
}

FrameCacheStyle::~FrameCacheStyle() = default;

FrameCacheStyle *FrameCacheStyle::instance()
{
    static QPointer<FrameCacheStyle> style;
    if (!style) {
        // The same style as the application's, in an instance of its own.
        style = new FrameCacheStyle(QStyleFactory::create(QApplication::style()->name()));
        style->setParent(qApp);
    }
    return style;
}

void FrameCacheStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
                                    QPainter *painter, const QWidget *widget) const
{
    const auto *frame = qstyleoption_cast<const QStyleOptionFrame *>(option);
    const auto *button = qstyleoption_cast<const QStyleOptionButton *>(option);
    if (element == PE_FrameLineEdit && frame && (option->state & State_HasFocus)
        && copyable(painter, option)
        && drawOverlaid(frames_->overlays, FrameKey(element, *option, widget, *painter), *option,
                        painter, [&](const QStyleOption *moved, QPainter *onCopy) {
                            QProxyStyle::drawPrimitive(element, moved, onCopy, widget);
                        }))
        return;
    // A text box's whole panel, its fill and its outline, when it has not the focus.
    const bool box = (element == PE_FrameLineEdit || element == PE_PanelLineEdit) && frame
        && !(option->state & State_HasFocus);
    const bool cached = box || (element == PE_FrameGroupBox && frame)
        || (element == PE_PanelButtonCommand && button);
    if (!cached || !copyable(painter, option)) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    paintKept(frames_->drawn, FrameKey(element, *option, widget, *painter), painter,
              option->rect.topLeft(), [&] {
                  const auto draw = [&](const QStyleOption *moved, QPainter *onPicture) {
                      QProxyStyle::drawPrimitive(element, moved, onPicture, widget);
                  };
                  return frame ? drawApart(*frame, *painter, draw)
                               : drawApart(*button, *painter, draw);
              });
}

void FrameCacheStyle::drawControl(ControlElement element, const QStyleOption *option,
                                  QPainter *painter, const QWidget *widget) const
{
    const auto *button = qstyleoption_cast<const QStyleOptionButton *>(option);
    if (element != CE_PushButton || !button || !button->icon.isNull()
        || !copyable(painter, option)) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    // Apart from the primitive elements' and the complex controls' numbers.
    FrameKey key(0x20000 + element, *option, widget, *painter);
    key.text = button->text;
    paintKept(frames_->drawn, std::move(key), painter, option->rect.topLeft(), [&] {
        return drawApart(*button, *painter,
                         [&](const QStyleOptionButton *moved, QPainter *onPicture) {
                             QProxyStyle::drawControl(element, moved, onPicture, widget);
                         });
    });
}

void FrameCacheStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                                         QPainter *painter, const QWidget *widget) const
{
    const auto *box = qstyleoption_cast<const QStyleOptionGroupBox *>(option);
    if (control != CC_GroupBox || !box || !copyable(painter, option)) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    // Apart from the primitive elements' numbers.
    FrameKey key(0x10000 + control, *option, widget, *painter);
    // On its window's plain background a group box's picture is laid on that colour once, and
    // its pieces behind the text boxes a post changes are copied rather than blended.
    const std::optional<QColor> ground
        = widget && painter->device() == widget && option->rect == widget->rect()
        ? groundUnder(widget)
        : std::nullopt;
    key.ground = ground ? ground->rgba() : 0;
    paintKept(frames_->drawn, std::move(key), painter, option->rect.topLeft(), [&] {
        const QPixmap picture = drawApart(
            *box, *painter, [&](const QStyleOptionGroupBox *moved, QPainter *onPicture) {
                QProxyStyle::drawComplexControl(control, moved, onPicture, widget);
            });
        return ground ? laidOn(picture, *ground) : picture;
    });
}

} // namespace tallic
