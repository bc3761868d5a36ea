#include "ui/AnchorLayout.h"

#include <algorithm>

#include <QWidget>
#include <QWidgetItem>

namespace barvik {

AnchorLayout::AnchorLayout(QWidget* parent, QSize design_window)
    : QLayout(parent), design_window_(design_window) {
  setContentsMargins(0, 0, 0, 0);
}

AnchorLayout::~AnchorLayout() {
  for (Entry& e : entries_) delete e.item;
}

void AnchorLayout::Add(QWidget* widget, QRect design, unsigned anchors) {
  addChildWidget(widget);
  entries_.push_back({new QWidgetItem(widget), design, anchors});
  invalidate();
}

void AnchorLayout::addItem(QLayoutItem* item) {
  entries_.push_back({item, QRect(QPoint(0, 0), item->sizeHint()), kAnchorTopLeft});
}

int AnchorLayout::count() const { return static_cast<int>(entries_.size()); }

QLayoutItem* AnchorLayout::itemAt(int index) const {
  return index >= 0 && index < count() ? entries_[static_cast<size_t>(index)].item : nullptr;
}

QLayoutItem* AnchorLayout::takeAt(int index) {
  if (index < 0 || index >= count()) return nullptr;
  QLayoutItem* item = entries_[static_cast<size_t>(index)].item;
  entries_.erase(entries_.begin() + index);
  return item;
}

QSize AnchorLayout::sizeHint() const { return {0, 0}; }

QSize AnchorLayout::minimumSize() const {
  // The widgets that do not follow the right (bottom) edge stand where the design puts them
  // whatever the size, so the layout must reach their right (bottom) edge.
  QSize size(0, 0);
  for (const Entry& e : entries_) {
    const QSize extent = e.design.size().isEmpty() ? e.item->sizeHint() : e.design.size();
    if (!(e.anchors & kAnchorRight))
      size.setWidth(std::max(size.width(), e.design.x() + extent.width()));
    if (!(e.anchors & kAnchorBottom)) {
      size.setHeight(std::max(size.height(), e.design.y() + extent.height()));
    }
  }
  return size;
}

void AnchorLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  const QWidget* top = parentWidget() ? parentWidget()->window() : nullptr;
  const QSize growth = top ? top->size() - design_window_ : QSize(0, 0);
  for (const Entry& e : entries_) {
    QRect design = e.design;
    if (design.size().isEmpty()) design.setSize(e.item->sizeHint());
    int x = design.x(), w = design.width(), y = design.y(), h = design.height();
    if (e.anchors & kAnchorRight) {
      if (e.anchors & kAnchorLeft) {
        w += growth.width();
      } else {
        x += growth.width();
      }
    }
    if (e.anchors & kAnchorBottom) {
      if (e.anchors & kAnchorTop) {
        h += growth.height();
      } else {
        y += growth.height();
      }
    }
    const QRect r(rect.x() + x, rect.y() + y, std::max(w, 0), std::max(h, 0));
    // Exactly the anchored rectangle: the widget's own size limits do not move it.
    if (QWidget* widget = e.item->widget()) {
      widget->setGeometry(r);
    } else {
      e.item->setGeometry(r);
    }
  }
}

}  // namespace barvik
