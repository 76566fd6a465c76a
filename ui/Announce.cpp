#include "ui/Announce.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

const char* const kAnnouncerName = "qm_announcer";
constexpr int kAfterFocusMillis = 250;

// A window's messenger: a widget without size that assistive technology
// meets as a notification. Orca 43 speaks a notification when it is shown
// (its role, then its name), whatever has the focus; a changed name or
// description it ignores, because Qt 6.4 sends the object with the event
// instead of the new text. So each message shows the messenger anew.
class TAnnouncer : public QWidget {
 public:
  explicit TAnnouncer(QWidget* window) : QWidget(window) {
    setObjectName(kAnnouncerName);
    setGeometry(0, 0, 0, 0);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
  }
  QString Message;
};

class TAccessibleAnnouncer : public QAccessibleWidget {
 public:
  explicit TAccessibleAnnouncer(TAnnouncer* announcer)
      : QAccessibleWidget(announcer, QAccessible::Notification) {}
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return static_cast<const TAnnouncer*>(widget())->Message;
    return QAccessibleWidget::text(t);
  }
};

QAccessibleInterface* AnnouncerFactory(const QString& key, QObject* object) {
  if (key != QLatin1String("QWidget") || object == nullptr ||
      object->objectName() != QLatin1String(kAnnouncerName)) {
    return nullptr;
  }
  auto* announcer = dynamic_cast<TAnnouncer*>(object);
  return announcer != nullptr ? new TAccessibleAnnouncer(announcer) : nullptr;
}

TAnnouncer* AnnouncerOf(QWidget* window) {
  static const bool installed = (QAccessible::installFactory(AnnouncerFactory), true);
  (void)installed;
  for (QObject* child : window->children()) {
    if (auto* announcer = dynamic_cast<TAnnouncer*>(child)) return announcer;
  }
  return new TAnnouncer(window);
}

void ShowMessage(QWidget* window, const QString& text) {
  TAnnouncer* announcer = AnnouncerOf(window);
  announcer->hide();
  announcer->Message = text;
  announcer->show();
}

}  // namespace

void Announce(QWidget* source, const QString& text) noexcept {
  try {
    if (source == nullptr || text.isEmpty()) return;
    // A command's message comes while its menu or dialog is still closing;
    // the focus that then comes back is spoken too, and would cut the
    // message off. So the message waits until the focus has been told.
    // Without a listener Qt drops the events; the messenger costs next to
    // nothing.
    QPointer<QWidget> window = source->window();
    QTimer::singleShot(kAfterFocusMillis, window, [window, text]() noexcept {
      try {
        if (window != nullptr) ShowMessage(window, text);
      } catch (...) {
        // A message that cannot be spoken is still shown where it stands.
      }
    });
  } catch (...) {
    // As above.
  }
}
