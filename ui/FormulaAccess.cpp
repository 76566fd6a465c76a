#include "ui/FormulaAccess.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <QWindow>
#include <new>

#include "ui/MainUnit.h"
#include "ui/PictureParts.h"

namespace {

class TAccessiblePicture;

// Where the box shows `part`, in screen coordinates.
QRect ScreenRect(const TPaintBox* box, TPictureParts& parts, int part) {
  const TBox place = parts.Box(part);
  return {box->mapToGlobal(QPoint(place.Left, place.Top)), QSize(place.Width, place.Height)};
}

// One part of the picture. It holds no pointer into the parts: a renewal
// makes it invalid, and the picture makes new ones for the new parts.
class TAccessiblePart : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  TAccessiblePart(TPaintBox* box, int part, std::uint64_t generation)
      : box_(box), part_(part), generation_(generation) {}

  int Part() const { return part_; }
  const TPaintBox* Box() const { return box_; }

  bool isValid() const override { return Parts() != nullptr; }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override {
    return box_ != nullptr ? box_->window()->windowHandle() : nullptr;
  }

  QAccessibleInterface* parent() const override;
  QAccessibleInterface* child(int index) const override;
  int childCount() const override {
    TPictureParts* parts = Parts();
    return parts != nullptr ? parts->ChildCount(part_) : 0;
  }
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override;

  // Without the memory for the words, the part has no name.
  QString text(QAccessible::Text t) const override {
    TPictureParts* parts = Parts();
    if (t != QAccessible::Name || parts == nullptr) return {};
    try {
      return parts->Name(part_);
    } catch (const std::bad_alloc&) {
      return {};
    }
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    TPictureParts* parts = Parts();
    return parts != nullptr ? ScreenRect(box_, *parts, part_) : QRect();
  }
  // A part is read, not edited in place: static text, as a label is.
  QAccessible::Role role() const override { return QAccessible::StaticText; }
  QAccessible::State state() const override;

  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                : nullptr;
  }
  QStringList actionNames() const override { return {pressAction(), setFocusAction()}; }
  // Pressing opens the part's editor; from the event loop, so that the
  // modal dialog does not run inside the call that asked for it.
  void doAction(const QString& action) override;
  QStringList keyBindingsForAction(const QString& action) const override {
    return action == pressAction() ? QStringList{"Return"} : QStringList{};
  }

 private:
  TPictureParts* Parts() const {
    if (box_ == nullptr || box_->Parts() == nullptr) return nullptr;
    TPictureParts* parts = box_->Parts();
    return parts->Generation() == generation_ && parts->Exists(part_) ? parts : nullptr;
  }

  QPointer<TPaintBox> box_;
  int part_;
  std::uint64_t generation_;
};

// The picture: a graphic whose children are the whole formula's parts. It
// keeps the interfaces of the parts made for the current renewal.
class TAccessiblePicture : public QAccessibleWidget {
 public:
  explicit TAccessiblePicture(TPaintBox* box) : QAccessibleWidget(box, QAccessible::Graphic) {}
  ~TAccessiblePicture() override { Forget(); }

  TPaintBox* Box() const { return static_cast<TPaintBox*>(widget()); }

  QAccessibleInterface* PartInterface(int part) const {
    TPictureParts* parts = Box()->Parts();
    if (parts == nullptr || part == TPictureParts::kWhole || !parts->Exists(part)) return nullptr;
    if (generation_ != parts->Generation()) {
      Forget();
      generation_ = parts->Generation();
    }
    const auto known = ids_.constFind(part);
    if (known != ids_.constEnd()) {
      if (QAccessibleInterface* made = QAccessible::accessibleInterface(*known)) return made;
    }
    auto* made = new (std::nothrow) TAccessiblePart(Box(), part, generation_);
    if (made != nullptr) ids_.insert(part, QAccessible::registerAccessibleInterface(made));
    return made;
  }

  int childCount() const override {
    TPictureParts* parts = Box()->Parts();
    return parts != nullptr ? parts->ChildCount(TPictureParts::kWhole) : 0;
  }
  QAccessibleInterface* child(int index) const override {
    TPictureParts* parts = Box()->Parts();
    return parts != nullptr ? PartInterface(parts->Child(TPictureParts::kWhole, index)) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* part = dynamic_cast<const TAccessiblePart*>(child);
    TPictureParts* parts = Box()->Parts();
    if (part == nullptr || part->Box() != Box() || parts == nullptr || !part->isValid() ||
        parts->Parent(part->Part()) != TPictureParts::kWhole) {
      return -1;
    }
    return parts->IndexInParent(part->Part());
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    TPictureParts* parts = Box()->Parts();
    if (parts == nullptr) return nullptr;
    const QPoint at = Box()->mapFromGlobal(QPoint(x, y));
    int part = parts->PartAt(at.x(), at.y());
    while (part != TPictureParts::kWhole && parts->Parent(part) != TPictureParts::kWhole) {
      part = parts->Parent(part);
    }
    return PartInterface(part);
  }
  QAccessibleInterface* focusChild() const override {
    if (Box()->hasFocus()) {
      if (QAccessibleInterface* part = PartInterface(Box()->CurrentPart())) return part;
    }
    return QAccessibleWidget::focusChild();
  }

 private:
  // The parts' interfaces of an earlier renewal name parts that are gone.
  void Forget() const {
    for (const QAccessible::Id id : std::as_const(ids_)) {
      if (QAccessible::accessibleInterface(id) != nullptr)
        QAccessible::deleteAccessibleInterface(id);
    }
    ids_.clear();
  }

  mutable QHash<int, QAccessible::Id> ids_;
  mutable std::uint64_t generation_ = 0;
};

TAccessiblePicture* PictureOf(TPaintBox* box) {
  return box != nullptr
             ? dynamic_cast<TAccessiblePicture*>(QAccessible::queryAccessibleInterface(box))
             : nullptr;
}

QAccessibleInterface* TAccessiblePart::parent() const {
  TPictureParts* parts = Parts();
  if (parts == nullptr) return nullptr;
  const int parent = parts->Parent(part_);
  if (parent == TPictureParts::kWhole) return QAccessible::queryAccessibleInterface(box_);
  TAccessiblePicture* picture = PictureOf(box_);
  return picture != nullptr ? picture->PartInterface(parent) : nullptr;
}

QAccessibleInterface* TAccessiblePart::child(int index) const {
  TPictureParts* parts = Parts();
  TAccessiblePicture* picture = PictureOf(box_);
  return parts != nullptr && picture != nullptr ? picture->PartInterface(parts->Child(part_, index))
                                                : nullptr;
}

int TAccessiblePart::indexOfChild(const QAccessibleInterface* child) const {
  const auto* part = dynamic_cast<const TAccessiblePart*>(child);
  TPictureParts* parts = Parts();
  if (part == nullptr || part->Box() != box_ || parts == nullptr || !part->isValid() ||
      parts->Parent(part->Part()) != part_) {
    return -1;
  }
  return parts->IndexInParent(part->Part());
}

QAccessibleInterface* TAccessiblePart::childAt(int x, int y) const {
  for (int i = 0; i < childCount(); ++i) {
    QAccessibleInterface* inside = child(i);
    if (inside != nullptr && inside->rect().contains(x, y)) return inside;
  }
  return nullptr;
}

QAccessible::State TAccessiblePart::state() const {
  QAccessible::State state;
  TPictureParts* parts = Parts();
  if (parts == nullptr) {
    state.invalid = true;
    return state;
  }
  state.focusable = true;
  state.selectable = true;
  const bool current = box_->CurrentPart() == part_;
  state.focused = current && box_->hasFocus();
  state.selected = current;
  state.invisible = !box_->isVisible();
  // Scrolled out of the window's view.
  const TBox place = parts->Box(part_);
  state.offscreen = !box_->visibleRegion().intersects(
      QRect(place.Left, place.Top, place.Width, place.Height).adjusted(-1, -1, 1, 1));
  return state;
}

void TAccessiblePart::doAction(const QString& action) {
  if (Parts() == nullptr) return;
  const bool open = action == pressAction();
  if (!open && action != setFocusAction()) return;
  QMetaObject::invokeMethod(
      box_,
      [box = box_, part = part_, open] {
        if (box == nullptr || box->Parts() == nullptr || !box->Parts()->Exists(part)) return;
        box->setFocus(Qt::OtherFocusReason);
        box->ChoosePart(part);
        if (open) box->OpenCurrentPart();
      },
      Qt::QueuedConnection);
}

QAccessibleInterface* PictureFactory(const QString& key, QObject* object) {
  if (key != QLatin1String("TPaintBox")) return nullptr;
  auto* box = qobject_cast<TPaintBox*>(object);
  return box != nullptr ? new TAccessiblePicture(box) : nullptr;
}

}  // namespace

void InstallFormulaAccess() {
  static const bool installed = (QAccessible::installFactory(PictureFactory), true);
  (void)installed;
}

QAccessibleInterface* PictureChildInterface(TPaintBox* box, int part) {
  TAccessiblePicture* picture = PictureOf(box);
  return picture != nullptr ? picture->PartInterface(part) : nullptr;
}
