#include "ui/Announce.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QWidget>

namespace {

const char* const kAnnouncerName = "qm_announcer";

// A window's messenger: a label without size that a screen reader meets
// as a notification. Showing it is what the reader speaks; it is hidden
// again at once so that the next message shows it anew.
class TAnnouncer : public QLabel {
 public:
  explicit TAnnouncer(QWidget* window) : QLabel(window) {
    setObjectName(kAnnouncerName);
    setGeometry(0, 0, 0, 0);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
  }
};

class TAccessibleAnnouncer : public QAccessibleWidget {
 public:
  explicit TAccessibleAnnouncer(QWidget* widget)
      : QAccessibleWidget(widget, QAccessible::Notification) {}
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return static_cast<const QLabel*>(widget())->text();
    return QAccessibleWidget::text(t);
  }
};

QAccessibleInterface* AnnouncerFactory(const QString& key, QObject* object) {
  if (key != QLatin1String("QLabel") || object == nullptr ||
      object->objectName() != QLatin1String(kAnnouncerName)) {
    return nullptr;
  }
  return new TAccessibleAnnouncer(static_cast<QWidget*>(object));
}

TAnnouncer* AnnouncerOf(QWidget* window) {
  static const bool installed = (QAccessible::installFactory(AnnouncerFactory), true);
  (void)installed;
  for (QObject* child : window->children()) {
    if (auto* announcer = dynamic_cast<TAnnouncer*>(child)) return announcer;
  }
  return new TAnnouncer(window);
}

}  // namespace

void Announce(QWidget* source, const QString& text) noexcept {
  try {
    if (source == nullptr || text.isEmpty() || !QAccessible::isActive()) return;
    TAnnouncer* announcer = AnnouncerOf(source->window());
    announcer->hide();
    announcer->setText(text);
    QAccessibleEvent renamed(announcer, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
    announcer->show();
  } catch (...) {
    // A message that cannot be spoken is still shown where it stands.
  }
}
