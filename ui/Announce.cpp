#include "ui/Announce.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QWidget>

namespace {

const char* const kAnnouncerName = "qm_announcer";

// A window's messenger: a label without size that assistive technology
// meets as a notification. Orca 43 speaks a notification when it is shown
// (its role, then its name), whatever has the focus; a changed name
// or description it ignores, because Qt 6.4 sends the object with the
// event instead of the new text. So each message shows the label anew.
class TAnnouncer : public QLabel {
 public:
  explicit TAnnouncer(QWidget* window) : QLabel(window) {
    setObjectName(kAnnouncerName);
    setTextFormat(Qt::PlainText);
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
    if (source == nullptr || text.isEmpty()) return;
    // Without a listener Qt drops the events; the label costs next to nothing.
    TAnnouncer* announcer = AnnouncerOf(source->window());
    announcer->hide();
    announcer->setText(text);
    announcer->show();
  } catch (...) {
    // A message that cannot be spoken is still shown where it stands.
  }
}
