#include "ui/FocusRing.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QRegion>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace {

double Channel(int value) {
  const double v = value / 255.0;
  return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& color) {
  const QColor rgb = color.toRgb();
  return 0.2126 * Channel(rgb.red()) + 0.7152 * Channel(rgb.green()) + 0.0722 * Channel(rgb.blue());
}

// What the ring goes round: the widget, or the scroll area whose content it
// is, since the content may be larger than what shows of it.
QWidget* Outline(QWidget* target) {
  QWidget* parent = target->parentWidget();
  if (parent == nullptr) return target;
  if (auto* area = qobject_cast<QAbstractScrollArea*>(parent->parentWidget())) {
    if (area->viewport() == parent) return area;
  }
  return target;
}

// The ring is a sibling laid over the focus widget, as wide as the widget
// and masked to its outer band, so that it neither hides nor catches what
// lies inside. It is always the child of some window and goes with it.
class TFocusRing : public QWidget {
 public:
  explicit TFocusRing(QWidget* parent) : QWidget(parent) {
    setObjectName("qm_focus_ring");
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
  }

  void Follow(QWidget* target) {
    if (outline_ != nullptr) outline_->removeEventFilter(this);
    target_ = target;
    outline_ = nullptr;
    // Windows and the popups of menus and lists show their focus themselves,
    // and so do widgets that say so.
    if (target == nullptr || target->isWindow() || target->parentWidget() == nullptr ||
        target->property(kDrawsOwnFocus).toBool()) {
      hide();
      return;
    }
    outline_ = Outline(target);
    if (parentWidget() != outline_->parentWidget()) setParent(outline_->parentWidget());
    outline_->installEventFilter(this);
    Place();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == outline_ && outline_ != nullptr) {
      switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::ZOrderChange:
          Place();
          break;
        case QEvent::ParentChange:
          Follow(target_.data());
          break;
        default:
          break;
      }
    }
    return QWidget::eventFilter(watched, event);
  }

  void paintEvent(QPaintEvent* event) override {
    if (target_ == nullptr) return;
    QPainter painter(this);
    painter.fillRect(event->rect(), FocusRingColor(target_->palette()));
  }

 private:
  void Place() {
    if (target_ == nullptr || outline_ == nullptr || !outline_->isVisible()) {
      hide();
      return;
    }
    setGeometry(outline_->geometry());
    const QRect whole = rect();
    setMask(QRegion(whole).subtracted(QRegion(
        whole.adjusted(kFocusRingWidth, kFocusRingWidth, -kFocusRingWidth, -kFocusRingWidth))));
    raise();
    show();
    update();
  }

  QPointer<QWidget> target_;
  QPointer<QWidget> outline_;
};

QPointer<TFocusRing>& Ring() {
  static QPointer<TFocusRing> ring;
  return ring;
}

void FollowFocus(QWidget* now) {
  QPointer<TFocusRing>& ring = Ring();
  if (ring == nullptr) {
    // Made only with a parent, so that it never stands alone as a window.
    if (now == nullptr || now->isWindow() || now->parentWidget() == nullptr) return;
    ring = new TFocusRing(Outline(now)->parentWidget());
  }
  ring->Follow(now);
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor FocusRingColor(const QPalette& palette) {
  const QColor around[] = {palette.color(QPalette::Window), palette.color(QPalette::Base),
                           palette.color(QPalette::Button)};
  const auto weakest = [&around](const QColor& ring) {
    double weakest = 21;
    for (const QColor& color : around) weakest = std::min(weakest, ContrastRatio(ring, color));
    return weakest;
  };
  const bool light = Luminance(around[0]) > 0.18;
  QColor ring = palette.color(QPalette::Highlight);
  for (int step = 0; step < 30 && weakest(ring) < kFocusRingContrast; ++step) {
    ring = light ? ring.darker(115) : ring.lighter(115);
  }
  if (weakest(ring) >= kFocusRingContrast) return ring;
  const QColor black(Qt::black);
  const QColor white(Qt::white);
  return weakest(black) >= weakest(white) ? black : white;
}

void InstallFocusRing() {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (app == nullptr || app->property("qm_focus_ring").toBool()) return;
  app->setProperty("qm_focus_ring", true);
  QObject::connect(app, &QApplication::focusChanged, app,
                   [](QWidget*, QWidget* now) { FollowFocus(now); });
}

QWidget* FocusRingWidget() { return Ring().data(); }

// Every window the program or a test makes gets the ring without asking.
Q_COREAPP_STARTUP_FUNCTION(InstallFocusRing)
